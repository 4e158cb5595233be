// The dialog framework the tool is built on.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/file_dialog.h"
#include "framework/thread.h"
#include "framework/win_app.h"
#include "framework/wnd.h"
