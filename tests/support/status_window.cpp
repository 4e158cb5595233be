#include "tests/support/status_window.h"

#include "resources/resource.h"
#include "tests/support/driving.h"

namespace vandrel::test {

namespace {

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int y) {
    return ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 200, 20, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

}  // namespace

StatusWindow::StatusWindow() {
    window_ = ::CreateWindowExW(0, L"STATIC", L"status test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
    Child(window_, L"BUTTON", L"Start Writing", BS_PUSHBUTTON, IDC_START_WRITING, 10);
    Child(window_, L"BUTTON", L"Confirming FW version", BS_PUSHBUTTON, IDC_CONFIRM_VERSION, 40);
    Child(window_, L"STATIC", L" Please connect the transmitter.", 0, IDC_CONNECT_HINT, 70);
    Child(window_, L"STATIC", L"Please install USB drivers", 0, IDC_DRIVER_HINT, 100);
    // Unsorted like the dialog's message list, so lines stay in the order they were added.
    ::CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VSCROLL | LBS_NOTIFY, 10, 130, 300, 100, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MESSAGE_LIST)), nullptr, nullptr);
}

StatusWindow::~StatusWindow() {
    if (window_) ::DestroyWindow(window_);
}

bool StatusWindow::Visible(int id) const { return (::GetWindowLongW(item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
bool StatusWindow::Enabled(int id) const { return (::GetWindowLongW(item(id), GWL_STYLE) & WS_DISABLED) == 0; }
std::vector<std::wstring> StatusWindow::Lines() const { return ListBoxLines(item(IDC_MESSAGE_LIST)); }
int StatusWindow::Selection() const { return static_cast<int>(::SendMessageW(item(IDC_MESSAGE_LIST), LB_GETCURSEL, 0, 0)); }

}  // namespace vandrel::test
