// The real tool started and driven from outside, for the benchmark and the soak: start, result box,
// close, memory.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <memory>
#include <string>

#include "tests/support/window_driver.h"

namespace vandrel::test {

struct ToolSession {
    std::unique_ptr<Process> process;
    HWND dialog = nullptr;
};

// Starts Vandrel.exe beside this program and waits for its main dialog.
bool StartTool(ToolSession& tool);
// Puts path into the firmware box, as Select would.
void SetFirmwarePath(const ToolSession& tool, const std::wstring& path);
// Waits for the next message box of the tool, reads and dismisses it.
bool WaitForResult(const ToolSession& tool, DWORD timeoutMs, std::wstring* text);
// Sends the close request; ends the process when it does not end within a minute.
void CloseTool(ToolSession& tool);
// The tool's process memory counters; false when they cannot be read.
bool ReadMemory(const ToolSession& tool, PROCESS_MEMORY_COUNTERS_EX* counters);

}  // namespace vandrel::test
