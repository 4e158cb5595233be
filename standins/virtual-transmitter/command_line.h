// The command line of virtual-transmitter.exe.
#pragma once

#include <string>

#include "standins/virtual-transmitter/device_store.h"

namespace vandrel::standin {

enum class Command { Plug, Unplug, UnplugAll, List, ServiceInstall, ServiceRemove };

struct CommandLine {
    Command command = Command::List;
    DeviceSettings settings;   // plug
    std::wstring instanceId;   // unplug
};

// Reads the arguments after the program name; false when they do not form a command.
bool ParseCommandLine(int argc, const wchar_t* const* argv, CommandLine& out);

// The usage text, with the format of the list lines.
const wchar_t* UsageText();

}  // namespace vandrel::standin
