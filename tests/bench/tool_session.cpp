#include "tests/bench/tool_session.h"
#include "resources/resource.h"

#include <psapi.h>

namespace vandrel::test {

bool StartTool(ToolSession& tool) {
    tool.process = std::make_unique<Process>(BinFolder() + L"Vandrel.exe");
    tool.dialog = WaitForMainDialog(*tool.process);
    return tool.dialog != nullptr;
}

void SetFirmwarePath(const ToolSession& tool, const std::wstring& path) {
    ::SendMessageW(::GetDlgItem(tool.dialog, IDC_FIRMWARE_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

bool WaitForResult(const ToolSession& tool, DWORD timeoutMs, std::wstring* text) {
    MessageBoxInfo box;
    if (!WaitForMessageBox(tool.process->id(), &box, timeoutMs)) return false;
    *text = box.text;
    DismissMessageBox(box.window);
    return WaitFor([&] { return !::IsWindow(box.window); });
}

void CloseTool(ToolSession& tool) {
    ::PostMessageW(tool.dialog, WM_CLOSE, 0, 0);
    if (!tool.process->WaitForExit(60000)) tool.process->Kill();
}

bool ReadMemory(const ToolSession& tool, PROCESS_MEMORY_COUNTERS_EX* counters) {
    *counters = {};
    counters->cb = sizeof *counters;
    return ::GetProcessMemoryInfo(tool.process->handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(counters),
                                  sizeof *counters) != FALSE;
}

}  // namespace vandrel::test
