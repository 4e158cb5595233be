// vandrel-remote: drives a running Vandrel.exe from the command line, as a user would, for the demo
// script and for manual checks. Each command prints what it saw and exits 0 on success, 1 otherwise.
//
//   vandrel-remote wait                 wait for the initialised main dialog, print its title
//   vandrel-remote click BUTTON         click start-writing, confirm-version or select (or a control id)
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

#include "common/unique_handle.h"
#include "resources/resource.h"
#include "tests/support/window_driver.h"

using namespace vandrel;
using namespace vandrel::test;

namespace {

// The main dialog once it is ready: it is shown only after WM_INITDIALOG has returned, with the driver
// installed and the library bound; a click before that goes into the tool's start-up.
HWND FindTool(DWORD timeoutMs = 30000) {
    HWND dialog = nullptr;
    WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(0))
                if (::GetDlgItem(w, IDC_START_WRITING) && ::GetDlgItem(w, IDC_CONFIRM_VERSION) && WindowText(w).find(L"Quorra2") != std::wstring::npos &&
                    WindowText(w).find(L" v") != std::wstring::npos && IsShown(w))
                    dialog = w;
            return dialog != nullptr;
        },
        timeoutMs);
    return dialog;
}

DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    return id;
}

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

// Waits for a message box and prints it; presses its OK button unless told to leave it open.
int ReadBox(HWND dialog, DWORD timeoutMs, bool dismiss) {
    MessageBoxInfo box;
    if (!WaitForMessageBox(ProcessOf(dialog), &box, timeoutMs)) {
        Print(L"no message box appeared");
        return 1;
    }
    Print(box.caption + L" | " + OneLine(box.text));
    if (!dismiss) return 0;
    DismissMessageBox(box.window);
    WaitFor([&] { return !::IsWindow(box.window); }, 5000);
    return 0;
}

int SelectFile(HWND dialog, const std::wstring& path) {
    Click(dialog, IDC_SELECT);
    HWND picker = nullptr;
    WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(ProcessOf(dialog)))
                if (WindowText(w) == L"Select Firmware File") picker = w;
            return picker != nullptr;
        },
        15000);
    if (!picker) {
        Print(L"the file dialog did not open");
        return 1;
    }
    // The file-name box: an Edit with id 1152 under Wine (inside combo 0x47C on Windows).
    HWND name = ::GetDlgItem(picker, 1152);
    if (!name) name = ::FindWindowExW(::GetDlgItem(picker, 0x47C), nullptr, L"Edit", nullptr);
    if (!name) {
        Print(L"no file-name box in the file dialog");
        return 1;
    }
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(picker, IDOK)));
    const bool picked = WaitFor([&] { return WindowText(::GetDlgItem(dialog, IDC_FIRMWARE_PATH)) == path; }, 15000);
    Print(picked ? L"selected " + path : L"the path did not arrive in the dialog");
    return picked ? 0 : 1;
}

}  // namespace

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
    HWND dialog = FindTool();
    if (!dialog) {
        Print(L"no running Vandrel main dialog found");
        return 1;
    }
    const DWORD seconds = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 30;
    if (command == L"wait") {
        Print(WindowText(dialog));
        return 0;
    }
    if (command == L"click" && argc > 2) {
        Click(dialog, ButtonId(argv[2]));
        return 0;
    }
    if (command == L"box") return ReadBox(dialog, seconds * 1000, true);
    if (command == L"show-box") return ReadBox(dialog, seconds * 1000, false);
    if (command == L"select-file" && argc > 2) return SelectFile(dialog, argv[2]);
    if (command == L"lines") {
        for (const auto& line : ListBoxLines(::GetDlgItem(dialog, IDC_MESSAGE_LIST))) Print(OneLine(line));
        return 0;
    }
    if (command == L"close") {
        UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(dialog)));
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        const bool ended = process && ::WaitForSingleObject(process.get(), seconds * 1000) == WAIT_OBJECT_0;
        Print(ended ? L"closed" : L"the tool is still running");
        return ended ? 0 : 1;
    }
    Print(L"unknown command " + command);
    return 2;
}
