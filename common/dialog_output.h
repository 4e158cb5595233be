// What the subsystems need of the main dialog to report: lines for the hidden message list and
// message boxes owned by the dialog.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel {

class DialogOutput {
public:
    virtual ~DialogOutput() = default;
    // Appends a line to the message list (the list box is hidden; the lines are a diagnostic log).
    virtual void AppendLine(const std::wstring& line) = 0;
    // A modal message box owned by the dialog; a null caption gives the application's name.
    virtual int ShowMessageBox(const std::wstring& text, const wchar_t* caption, UINT type) = 0;
};

}  // namespace vandrel
