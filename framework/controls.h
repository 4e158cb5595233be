// Wrappers for the two common controls the tool drives: the list box and the progress bar.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/wnd.h"

class CListBox : public CWnd {
public:
    int AddString(const std::wstring& text) const {
        return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
    void ResetContent() const { SendMessage(LB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int SetCurSel(int index) const { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
};

class CProgressCtrl : public CWnd {
public:
    // Creates the control as a child of parent with the given style, rectangle and id.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        m_hWnd = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", style, rect.left, rect.top, rect.right - rect.left,
                                   rect.bottom - rect.top, parent->m_hWnd,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
        return m_hWnd != nullptr;
    }
    void SetRange(short lower, short upper) const { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
    int SetPos(int position) const { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
};
