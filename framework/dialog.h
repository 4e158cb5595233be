// CDialog: a modal dialog built from a template resource, with a virtual message table.
#pragma once

#include "framework/wnd.h"

// The dialog whose controls DoDataExchange binds; the tool exchanges no values, only controls.
class CDataExchange {
public:
    explicit CDataExchange(CWnd* dialog) : m_pDlgWnd(dialog) {}
    CWnd* m_pDlgWnd;
};

// Binds a dialog control to a wrapper object.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog modally; returns the EndDialog result, or -1 when it could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Binds the controls; called once, from OnInitDialog.
    virtual void DoDataExchange(CDataExchange* pDX) {}

    // The derived dialog's message table. Return true when the message is fully handled, with its
    // result in `result`; false passes it on to the framework's default handling.
    virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return false; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    bool OnDefaultCommand(UINT id);

    UINT templateId_;
    CWnd* parent_;
};
