// vandrel-remote: drives a running Vandrel.exe from the command line through the tool driver, as a user
// would, for the demo and screenshot scripts and for manual checks. Each command prints what it saw and
// exits 0 on success, 1 otherwise.
//
//   vandrel-remote wait                 wait until the main window can be used, print its title
//   vandrel-remote click BUTTON         click start-writing, confirm-version or select (or a control id);
//                                       fails when a user could not click it
//   vandrel-remote box [SECONDS]        wait for a message box, print "caption | text", press OK
//   vandrel-remote show-box [SECONDS]   the same, leaving the box open (for a screenshot)
//   vandrel-remote select-file PATH     click Select and pick PATH in the file dialog
//   vandrel-remote lines                print the hidden message list
//   vandrel-remote close [SECONDS]      send the close request and wait for the tool to end
// With "--desktop NAME" first, the windows are looked for on that desktop (a Wine virtual desktop
// started with "explorer /desktop=NAME,...") instead of the default one.
#include <windows.h>

#include <cstdio>
#include <string>

#include "resources/resource.h"
#include "tool-driver/tool_driver.h"

using namespace vandrel::driving;

namespace {

void Print(const std::wstring& text) {
    // UTF-8 so that the Japanese and Chinese texts survive the console.
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], size, nullptr, nullptr);
    std::printf("%s\n", utf8.c_str());
    std::fflush(stdout);
}

std::wstring OneLine(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\n' || c == L'\r') c = L' ';
    return text;
}

// Moves this thread to the named desktop, where the tool's windows are; false when it cannot.
// The desktop appears only once the tool has been started on it, so give it time.
bool UseDesktop(const wchar_t* name) {
    HDESK desktop = nullptr;
    WaitFor([&] { return (desktop = ::OpenDesktopW(name, 0, FALSE, GENERIC_ALL)) != nullptr; }, 30000);
    return desktop && ::SetThreadDesktop(desktop);
}

// A button by the name the command line gives it, or a control id given as a number.
int ButtonId(const std::wstring& name) {
    if (name == L"start-writing") return IDC_START_WRITING;
    if (name == L"confirm-version") return IDC_CONFIRM_VERSION;
    if (name == L"select") return IDC_SELECT;
    return _wtoi(name.c_str());
}

int ReadBox(const ToolDriver& tool, DWORD timeoutMs, bool dismiss) {
    MessageBoxInfo box;
    if (!tool.NextBox(&box, timeoutMs, dismiss)) {
        Print(L"no message box appeared");
        return 1;
    }
    Print(box.caption + L" | " + OneLine(box.text));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 2 && std::wstring(argv[1]) == L"--desktop") {
        if (!UseDesktop(argv[2])) {
            Print(L"no desktop named " + std::wstring(argv[2]));
            return 1;
        }
        argc -= 2;
        argv += 2;
    }
    if (argc < 2) {
        Print(L"usage: vandrel-remote wait | click BUTTON | box [SECONDS] | show-box [SECONDS] | select-file PATH | lines | "
              L"close [SECONDS]");
        return 2;
    }
    const std::wstring command = argv[1];
    const DWORD seconds = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 30;
    // The tool may still be starting (its first start in a new Wine prefix takes seconds): a command
    // acts only once the window can be used, or, for a box, once the window exists.
    std::unique_ptr<ToolDriver> tool = ToolDriver::Attach(0, 60000);
    if (!tool) {
        Print(L"no running Vandrel main dialog found");
        return 1;
    }
    if (command == L"box") return ReadBox(*tool, seconds * 1000, true);
    if (command == L"show-box") return ReadBox(*tool, seconds * 1000, false);
    if (command == L"lines") {
        for (const auto& line : tool->Lines()) Print(OneLine(line));
        return 0;
    }
    if (command == L"close") {
        const bool ended = tool->Close(seconds * 1000);
        Print(ended ? L"closed" : L"the tool is still running");
        return ended ? 0 : 1;
    }
    if (!tool->WaitUntilReady(60000)) {
        Print(L"the main window did not become ready");
        return 1;
    }
    if (command == L"wait") {
        Print(WindowText(tool->window()));
        return 0;
    }
    if (command == L"click" && argc > 2) {
        const bool clicked = tool->Click(ButtonId(argv[2]));
        if (!clicked) Print(L"the button cannot be clicked now");
        return clicked ? 0 : 1;
    }
    if (command == L"select-file" && argc > 2) {
        std::wstring why;
        const bool picked = tool->PickFile(argv[2], &why);
        Print(picked ? L"selected " + std::wstring(argv[2]) : why);
        return picked ? 0 : 1;
    }
    Print(L"unknown command " + command);
    return 2;
}
