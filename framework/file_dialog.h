// CFileDialog: the Vista-style open-file dialog (IFileOpenDialog) with the classic constructor.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

#include "framework/wnd.h"

class CFileDialog {
public:
    // Only the open dialog exists here; filter is "Name|*.ext|...||" as in the classic API.
    CFileDialog(BOOL openFileDialog, const wchar_t* defaultExtension = nullptr, const wchar_t* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY, const wchar_t* filter = nullptr, CWnd* parent = nullptr,
                DWORD size = 0, BOOL vistaStyle = TRUE);

    // IDOK when the user picked a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    std::wstring GetPathName() const { return path_; }

    // The caller may set lpstrTitle before DoModal.
    OPENFILENAMEW m_ofn{};

private:
    std::wstring defaultExtension_;
    std::wstring fileName_;
    std::wstring filter_;
    CWnd* parent_;
    std::wstring path_;
};
