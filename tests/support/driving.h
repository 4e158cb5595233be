// The tests drive the tool, and find its windows, through the one tool driver (tool-driver/).
#pragma once

#include "tool-driver/tool_driver.h"
#include "tool-driver/window_driver.h"

namespace vandrel::test {
using namespace vandrel::driving;
}  // namespace vandrel::test
