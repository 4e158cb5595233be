// The main dialog: the tool's only window.
#pragma once

#include <memory>
#include <string>

#include "app/progress_display.h"
#include "common/dialog_output.h"
#include "common/unique_handle.h"
#include "framework/afxwin.h"
#include "upgrade/upgrade_library.h"

namespace vandrel {

class CVandrelDlg : public CDialog, public DialogOutput {
public:
    CVandrelDlg();
    ~CVandrelDlg() override;

    // The template's caption in the user-interface language: the title without the version suffix.
    static std::wstring TemplateCaption();

    // Enables or disables the run controls 1007, 1011, 1000, 1001 and 1004 together.
    void EnableRunControls(bool enable);

    // DialogOutput: the hidden message list and message boxes owned by this dialog.
    void AppendLine(const std::wstring& line) override;
    int ShowMessageBox(const std::wstring& text, const wchar_t* caption, UINT type) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    bool OnCommand(UINT id, UINT code);
    bool OnPaint();
    bool OnClose();
    void OnTimer(UINT_PTR id);
    void SelectFirmware();
    void OnConfirmFirmwareVersion();

    void SetTitleWithVersion();
    void BindUpgradeLibrary();
    void CreateProgressBar();
    void RegisterDeviceNotifications();

    std::wstring moduleFolder_;
    std::wstring logFolder_;
    CListBox messageList_;
    HICON icon_ = nullptr;
    CProgressCtrl progressBar_;
    ProgressDisplay progress_;
    UniqueDeviceNotify deviceNotification_;
    std::unique_ptr<UpgradeLibrary> binding_;
    // Set on the dialog's thread before a write run's worker starts; cleared by the worker at its end.
    volatile LONG busy_ = 0;
    std::wstring firmwarePath_;
    std::wstring secureImagePath_;
};

}  // namespace vandrel
