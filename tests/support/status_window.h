// A hidden top-level window holding what the status display touches: the Start Writing and Confirming
// FW version buttons, the two hints (all enabled and visible at first, as in the dialog template) and
// the message list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vandrel::test {

class StatusWindow {
public:
    StatusWindow();
    ~StatusWindow();
    StatusWindow(const StatusWindow&) = delete;
    StatusWindow& operator=(const StatusWindow&) = delete;

    HWND get() const { return window_; }
    HWND item(int id) const { return ::GetDlgItem(window_, id); }
    // Own visibility (WS_VISIBLE) and enabled state, independent of the hidden parent.
    bool Visible(int id) const;
    bool Enabled(int id) const;
    std::vector<std::wstring> Lines() const;
    int Selection() const;

private:
    HWND window_ = nullptr;
};

}  // namespace vandrel::test
