// The main dialog: the tool's only window.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/history_record.h"
#include "app/log_folder.h"
#include "app/progress_display.h"
#include "app/run_state.h"
#include "common/dialog_output.h"
#include "common/dispatching_wait.h"
#include "common/unique_handle.h"
#include "driver/driver_status.h"
#include "framework/afxwin.h"
#include "package/package_listing.h"
#include "upgrade/rk_upgrade_api.h"
#include "upgrade/upgrade_library.h"

namespace vandrel {

struct CopyOutcome;

class CVandrelDlg : public CDialog, public DialogOutput {
public:
    CVandrelDlg();
    ~CVandrelDlg() override;

    // The template's caption in the user-interface language: the title without the version suffix.
    static std::wstring TemplateCaption();

    // Starts a thread running proc(param); false when it could not be started. Tests replace it to
    // make the start fail.
    using ThreadStarter = bool (*)(AFX_THREADPROC proc, LPVOID param);
    void SetThreadStarter(ThreadStarter starter) { startThread_ = starter; }
    // Posts the end of a write run to the dialog (PostMessageW); tests replace it to refuse the post.
    using MessagePoster = BOOL(WINAPI*)(HWND window, UINT message, WPARAM wp, LPARAM lp);
    void SetRunEndPoster(MessagePoster poster) { postRunEnd_ = poster; }
    // An event the dialog sets once its initialisation is done, so that a second start can wait for it
    // before it raises this window; none by default.
    void SetReadyEvent(HANDLE ready) { readyEvent_ = ready; }

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
    // The one place that changes the state: it enables exactly the controls that can act, greys the
    // close box while a close would be refused, sets the cursor and keeps the session from ending while
    // firmware is at stake.
    void EnterState(RunState next);
    // The device buttons and hints follow the driver status (the buttons only where the state lets them).
    void ShowDriverStatus(bool withLine);
    bool OnSetCursor();

    bool OnCommand(UINT id, UINT code);
    bool OnPaint();
    // Ends the dialog through the close sequence, unless the state refuses it or the sequence does.
    void RequestClose();
    // Drops the device notifications, removes the driver, cleans up and uninitialises the library; false
    // when the driver removal failed, mayRefuse is set, and the dialog must stay. Lines and boxes go to
    // output.
    bool RunCloseSequence(DialogOutput& output, bool mayRefuse);
    // The session ends (logoff, shutdown): when idle, the close sequence without boxes, then the dialog
    // ends; under a run or a close, the workspace is emptied at once, what is held registered for restart.
    void OnEndSession(bool ending);
    void OnTimer(UINT_PTR id);
    void SelectFirmware();
    void OnConfirmFirmwareVersion();
    bool OnQueryEndSession(LRESULT& result);
    void OnDeviceChange(UINT eventCode);

    // The write run (write_run.cpp): preparation on the dialog's thread, device work on a worker.
    void StartWriting();
    // Everything before the worker: workspace, decoys, checks, image, secure copy; false when refused.
    bool PrepareRun();
    bool PrepareImage(std::wstring& image);
    // False, after a refusal, when transmitters of more than one product are attached for a picked image.
    bool PickedImageFitsTheDevices();
    bool ImageFromPackage(std::wstring& image);
    bool MakeSecureCopy(const std::wstring& image);
    // Whether the copy is the image as expected: its size, and its CRC where the package lists one.
    bool IsWhole(const CopyOutcome& copy) const;
    // Ends a run whose secure copy failed (for want of disk space, or else) or is not the expected image,
    // saying which.
    void RefuseCopy(const CopyOutcome& copy, bool diskFull);
    // Removes the run folder with whatever was unpacked into it.
    void DiscardRunFolder();
    // Ends a run refused after the unpacking: the decrypted firmware goes before the user reads why.
    void RefuseRun(const std::wstring& text, UINT captionId);
    void StartWorker();
    static UINT __cdecl WriteThreadProc(LPVOID param);
    bool WriteRun();
    bool WriteToTargetDevice();
    void CleanUpAfterRun();
    // The end of every write run, on the dialog's thread: back to idle, then the result box.
    void OnWriteEnded(WPARAM outcome);

    // The write history (run_history.cpp): a record is opened by the click of a write run or a version
    // read, filled as the run goes, ended with the text of the box that ends the run, and appended to
    // the log folder's history.csv once that box has been answered.
    void OpenRecord(const wchar_t* action);
    // The box that ends the run or read: its text is the record's result.
    void ResolveRecord(const std::wstring& boxText);
    void FinishRecord();
    // The device a write or read went to: its product id and, when the system names it, its instance.
    void RecordDevice(uint16_t productId);
    // The image chosen for the device: its name (in the package) and size.
    void RecordImage(const std::wstring& name, uint64_t size);

    void SetTitleWithVersion();
    void BindUpgradeLibrary();
    void CreateProgressBar();
    void RegisterDeviceNotifications();

    std::wstring moduleFolder_;
    // Log\ beside the tool, or the workspace's when that is refused: the history and the library's log.
    LogFolder logFolder_;
    CListBox messageList_;
    HICON icon_ = nullptr;
    CProgressCtrl progressBar_;
    ProgressDisplay progress_;
    UniqueDeviceNotify deviceNotification_;
    std::unique_ptr<UpgradeLibrary> binding_;
    // Changed only on the dialog's thread, by EnterState.
    RunState state_ = RunState::Starting;
    // The last evaluation of the device and driver, which the device buttons follow in Idle.
    DriverStatus driverStatus_ = DriverStatus::NoDriverNoDevice;
    // Keeps the window answering while the dialog's thread waits or copies.
    DispatchingPump pump_;
    ThreadStarter startThread_;
    MessagePoster postRunEnd_ = &::PostMessageW;
    HANDLE readyEvent_ = nullptr;
    // A close request was refused for a failed driver removal: the next one ends the tool regardless.
    bool closeRefused_ = false;
    std::wstring firmwarePath_;
    std::wstring secureImagePath_;
    // The product id of the device the image was chosen for; the worker writes into no other. Empty for
    // a picked image when no upgradable device was there. Set on the dialog's thread before the worker.
    std::optional<uint16_t> targetProductId_;
    // What the image to be copied must be: the size read before the copy (a picked image), or what the
    // package lists for it (name: its path in the package; empty for a picked image).
    struct ExpectedImage {
        std::wstring name;
        std::optional<PackageEntry> listed;  // the package's own entry for it
        uint64_t bytes = 0;
    };
    ExpectedImage expectedImage_;
    // The record of the write run or version read under way. Its lines also come from the worker, under
    // recordGuard_; its other fields are set by one thread at a time (the worker's only while it runs).
    struct RunRecord {
        HistoryRecord fields;
        ULONGLONG started = 0;
        bool open = false;
        bool resolved = false;
    };
    RunRecord record_;
    std::mutex recordGuard_;
};

}  // namespace vandrel
