#include "framework/dialog.h"

#include "framework/win_app.h"

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (!control.m_hWnd) control.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(id);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

INT_PTR CDialog::DoModal() {
    // The template is found through the ordinary resource lookup, which follows the UI language.
    const INT_PTR result = ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(templateId_),
                                             parent_ ? parent_->m_hWnd : nullptr, DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::OnInitDialog() {
    CDataExchange dx(this);
    DoDataExchange(&dx);
    return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lp);
        dialog->m_hWnd = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        return dialog->OnInitDialog();
    }
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    return dialog ? dialog->Dispatch(msg, wp, lp) : FALSE;
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (OnMessage(msg, wp, lp, result)) {
        // These messages return their value directly; all others go through DWLP_MSGRESULT.
        switch (msg) {
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
    // Clicks, menu commands and the Enter/Escape keys (BN_CLICKED and menu notifications are both 0).
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED && OnDefaultCommand(LOWORD(wp))) return TRUE;
    return FALSE;
}

bool CDialog::OnDefaultCommand(UINT id) {
    switch (id) {
    case IDOK: OnOK(); return true;
    case IDCANCEL: OnCancel(); return true;
    default: return false;
    }
}
