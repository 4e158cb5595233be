#include "app/vandrel_dlg.h"

#include <dbt.h>
#include <shlwapi.h>

#include "app/device_status_view.h"
#include "app/dialog_template.h"
#include "app/history_log.h"
#include "app/messages.h"
#include "app/run_state.h"
#include "app/window_title.h"
#include "common/hidden_process.h"
#include "common/module_path.h"
#include "common/phase_marks.h"
#include "common/text.h"
#include "driver/driver_install.h"
#include "driver/driver_status.h"
#include "driver/status_report.h"
#include "resources/resource.h"
#include "upgrade/library_loader.h"
#include "upgrade/version_confirmation.h"
#include "workspace/housekeeping.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}
constexpr GUID kUsbDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

bool StartWorkerThread(AFX_THREADPROC proc, LPVOID param) {
    return AfxBeginThread(proc, param, THREAD_PRIORITY_NORMAL, 0, 0, nullptr) != nullptr;
}

// The dialog's lines without its boxes: at the end of a session nobody is there to answer one.
class LinesOnly : public DialogOutput {
public:
    explicit LinesOnly(DialogOutput& dialog) : dialog_(dialog) {}
    void AppendLine(const std::wstring& line) override { dialog_.AppendLine(line); }
    int ShowMessageBox(const std::wstring&, const wchar_t*, UINT) override { return IDOK; }

private:
    DialogOutput& dialog_;
};

}  // namespace

CVandrelDlg::CVandrelDlg() : CDialog(IDD_VANDREL_DIALOG), startThread_(StartWorkerThread) {
    icon_ = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CVandrelDlg::~CVandrelDlg() = default;

std::wstring CVandrelDlg::TemplateCaption() { return DialogTemplateCaption(IDD_VANDREL_DIALOG); }

void CVandrelDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MESSAGE_LIST, messageList_);
}

BOOL CVandrelDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(icon_, TRUE);
    SetIcon(icon_, FALSE);
    // Nothing can act until the tool is ready: the driver step below answers messages while it waits.
    EnterState(RunState::Starting);

    moduleFolder_ = ExecutableFolder();
    SetTitleWithVersion();
    CleanWorkspace(pump_);
    if (IsWorkspaceCheckPartial())
        AppendLine(L"[Workspace] This system keeps no owner or label on folders: the work folder was judged by its owner and access list only.");
    // Without the driver no device can be reached: the dialog ends once its initialisation is done, and
    // without the close sequence. The driver tool has just failed, so asking it to take the driver out
    // would fail alike, and no run has left anything behind; the driver package written for the
    // pre-install stays in the workspace until the next start empties it.
    if (!PreInstallDriver(*this, pump_)) {
        ShowMessageBox(LoadText(IDS_PREINSTALL_FAILED), LoadText(IDS_CAPTION_ERROR).c_str(), MB_ICONERROR);
        EndDialog(IDCANCEL);
    }

    // Loaded by the application at start already; a dialog run on its own (in a test) loads it here. A
    // failure shows below, as a binding that could not be made.
    LoadUpgradeLibrary();
    logFolder_.Open(moduleFolder_ + kLogFolderName, *this);
    BindUpgradeLibrary();

    CreateProgressBar();
    ApplyInitialDriverStatus(m_hWnd, QueryDriverStatus());
    RegisterDeviceNotifications();
    driverStatus_ = QueryDriverStatus();
    EnterState(RunState::Idle);
    ShowDriverStatus(true);
    MarkPhase(kPhaseFirstStatus);
    if (readyEvent_) ::SetEvent(readyEvent_);
    return TRUE;
}

void CVandrelDlg::SetTitleWithVersion() {
    SetWindowText(GetWindowText() + VersionSuffix(ExecutablePath()));
}

void CVandrelDlg::BindUpgradeLibrary() {
    binding_ = UpgradeLibrary::Bind(UpgradeLibraryModule());
    if (binding_) {
        // Checked again as it is handed over: the library follows whatever the path leads to.
        binding_->Initialize(logFolder_.ForLibrary(*this));
        return;
    }
    ShowMessageBox(Format(LoadText(IDS_BINDING_FAILED).c_str(), UpgradeLibraryPath().c_str()), nullptr, MB_ICONERROR);
}

void CVandrelDlg::CreateProgressBar() {
    RECT list{};
    messageList_.GetWindowRect(&list);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&list), 2);
    const RECT bar{list.left, list.bottom + 8, list.right, list.bottom + 28};
    progressBar_.Create(WS_CHILD | WS_VISIBLE, bar, this, IDC_PROGRESS);
    progressBar_.ShowWindow(SW_HIDE);
    progressBar_.SetRange(0, ProgressDisplay::kRange);
    progressBar_.SetPos(0);
    progress_.Attach(m_hWnd, progressBar_.m_hWnd, GetDlgItem(IDC_WRITING_LABEL));
}

void CVandrelDlg::RegisterDeviceNotifications() {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = 32;  // the fixed part with an empty name, as the system expects for a filter
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kUsbDeviceInterface;
    // A refusal is not reported: the dialog then sees only the events broadcast to every window.
    deviceNotification_.reset(::RegisterDeviceNotificationW(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

void CVandrelDlg::EnterState(RunState next) {
    state_ = next;
    const StateRules rules = RulesOf(next);
    if (rules.maySessionEnd)
        ::ShutdownBlockReasonDestroy(m_hWnd);
    else
        ::ShutdownBlockReasonCreate(m_hWnd, LoadText(IDS_SHUTDOWN_REASON).c_str());
    ::EnableMenuItem(::GetSystemMenu(m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND | (rules.mayClose ? MF_ENABLED : MF_GRAYED));
    if (rules.deviceButtons) {
        ShowDeviceStatusControls(m_hWnd, driverStatus_);
    } else {
        ::EnableWindow(GetDlgItem(IDC_START_WRITING), FALSE);
        ::EnableWindow(GetDlgItem(IDC_CONFIRM_VERSION), FALSE);
    }
    // Select last: once it can be clicked, everything else of the new state is in place.
    for (int id : {IDC_FIRMWARE_PATH, IDC_OPEN, IDC_SELECT}) ::EnableWindow(GetDlgItem(id), rules.runControls);
    // The cursor changes at once where it rests over the window, not only at the next mouse move.
    POINT at{};
    if (::GetCursorPos(&at)) {
        const HWND under = ::WindowFromPoint(at);
        if (under == m_hWnd || ::IsChild(m_hWnd, under)) OnSetCursor();
    }
}

void CVandrelDlg::ShowDriverStatus(bool withLine) {
    const bool buttonsFollow = RulesOf(state_).deviceButtons;
    if (withLine)
        ApplyDriverStatus(m_hWnd, driverStatus_, !buttonsFollow);
    else if (buttonsFollow)
        ShowDeviceStatusControls(m_hWnd, driverStatus_);
}

bool CVandrelDlg::OnSetCursor() {
    const LPCWSTR cursor = RulesOf(state_).cursor;
    if (!cursor) return false;
    ::SetCursor(::LoadCursorW(nullptr, cursor));
    return true;
}

void CVandrelDlg::AppendLine(const std::wstring& line) {
    {
        // Also from the worker: the lines of a run go into its history record too.
        const std::lock_guard<std::mutex> lock(recordGuard_);
        if (record_.open && !record_.resolved) record_.fields.lines.push_back(line);
    }
    messageList_.AddString(line);
}

int CVandrelDlg::ShowMessageBox(const std::wstring& text, const wchar_t* caption, UINT type) {
    // The box that ends a write run or a version read is its result, as the user sees it.
    ResolveRecord(text);
    return MessageBox(text.c_str(), caption, type);
}

void CVandrelDlg::OnOK() {
    // Enter never ends the dialog.
}

void CVandrelDlg::OnCancel() {
    // Escape ends the dialog as the close button does: the driver must not stay behind.
    RequestClose();
}

bool CVandrelDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_PAINT: return OnPaint();
    case WM_QUERYDRAGICON: result = reinterpret_cast<LRESULT>(icon_); return true;
    case WM_COMMAND: return OnCommand(LOWORD(wp), HIWORD(wp));
    case WM_SETCURSOR: result = TRUE; return OnSetCursor();
    case WM_CLOSE: RequestClose(); result = 0; return true;
    case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wp)); return false;
    case kMsgStartProgress: progress_.Start(::GetTickCount()); result = 0; return true;
    case kMsgStopProgress: progress_.Stop(); result = 0; return true;
    case kMsgWriteEnded: OnWriteEnded(wp); result = 0; return true;
    case WM_QUERYENDSESSION: return OnQueryEndSession(result);
    case WM_ENDSESSION: OnEndSession(wp != FALSE); result = 0; return true;
    case WM_DEVICECHANGE: OnDeviceChange(static_cast<UINT>(wp)); return false;
    default: return false;
    }
}

bool CVandrelDlg::OnCommand(UINT id, UINT code) {
    if (code != BN_CLICKED) return false;
    switch (id) {
    case IDC_SELECT: SelectFirmware(); return true;
    case IDC_START_WRITING: StartWriting(); return true;
    case IDC_CONFIRM_VERSION: OnConfirmFirmwareVersion(); return true;
    default: return false;
    }
}

bool CVandrelDlg::OnPaint() {
    if (!IsIconic()) return false;
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    GetClientRect(&client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, icon_);
    ::EndPaint(m_hWnd, &paint);
    return true;
}

void CVandrelDlg::OnTimer(UINT_PTR id) {
    if (id == ProgressDisplay::kTimerId) progress_.Tick(::GetTickCount());
}

void CVandrelDlg::RequestClose() {
    // Never under a run: the worker still uses the library, the image and the workspace. Nor twice: the
    // driver step of this close answers messages while it waits. The close box shows it, greyed.
    if (!RulesOf(state_).mayClose) return;
    MarkPhase(kPhaseCloseRequested);
    EnterState(RunState::Closing);
    if (!RunCloseSequence(*this, true)) {
        EnterState(RunState::Idle);
        return;
    }
    MarkPhase(kPhaseCloseDone);
    EndDialog(IDCANCEL);
}

bool CVandrelDlg::RunCloseSequence(DialogOutput& output, bool mayRefuse) {
    deviceNotification_.reset();
    MarkPhase(kPhaseDriverRemovalStarted);
    const bool removed = PreUninstallDriver(output, pump_);
    MarkPhase(kPhaseDriverRemovalEnded);
    if (!removed && mayRefuse) {
        if (!closeRefused_) {
            closeRefused_ = true;
            output.ShowMessageBox(LoadText(IDS_PREUNINSTALL_FAILED), LoadText(IDS_CAPTION_ERROR).c_str(), MB_ICONERROR);
            return false;
        }
        // Asked again after a refusal: the user must always be able to end the tool.
        output.ShowMessageBox(LoadText(IDS_PREUNINSTALL_FAILED_AGAIN), LoadText(IDS_CAPTION_ERROR).c_str(),
                              MB_ICONWARNING);
    }
    ExitCleanup(secureImagePath_, pump_);
    binding_.reset();  // uninitialises the library before letting it go
    return true;
}

void CVandrelDlg::OnDeviceChange(UINT eventCode) {
    // During start-up the status is evaluated at its end anyway, after the driver step's line.
    if (state_ == RunState::Starting || !IsDriverStatusEvent(eventCode)) return;
    // The event data is not looked at: any device's arrival or removal may change the status.
    driverStatus_ = QueryDriverStatus();
    ShowDriverStatus(true);
}

void CVandrelDlg::OnEndSession(bool ending) {
    // While starting, nothing of a run is on disk yet.
    if (!ending || state_ == RunState::Starting) return;
    if (state_ != RunState::Idle) {
        // The session ends under a run or a close after all (the refusal of WM_QUERYENDSESSION was
        // overridden), and the process may be ended any moment: no decrypted firmware may stay on disk.
        // 7za is stopped, and every file of the workspace goes now or at the next restart; the run itself
        // is cut short with the process.
        EndHelpersNow();
        CleanWorkspaceAtOnce();
        return;
    }
    // The driver and the workspace must not stay behind.
    EnterState(RunState::Closing);
    LinesOnly quiet(*this);
    RunCloseSequence(quiet, false);
    EndDialog(IDCANCEL);
}

bool CVandrelDlg::OnQueryEndSession(LRESULT& result) {
    // Ending the session mid-run would end the process under the worker and cut the write short.
    if (RulesOf(state_).maySessionEnd) return false;
    result = FALSE;
    return true;
}

void CVandrelDlg::OnConfirmFirmwareVersion() {
    // The button is enabled in Idle alone; a command that reaches the dialog otherwise acts on nothing.
    if (state_ != RunState::Idle) return;
    EnterState(RunState::ReadingVersion);
    OpenRecord(L"version read");
    uint16_t productId = 0;
    ConfirmFirmwareVersion(binding_.get(), *this, &productId);
    if (productId != 0) RecordDevice(productId);
    FinishRecord();
    driverStatus_ = QueryDriverStatus();
    EnterState(RunState::Idle);
}

void CVandrelDlg::SelectFirmware() {
    if (state_ != RunState::Idle) return;  // the path of a run in preparation or in progress stays
    const std::wstring filter = LoadText(IDS_FIRMWARE_FILTER);
    const std::wstring title = LoadText(IDS_SELECT_FIRMWARE_TITLE);
    CFileDialog dialog(TRUE, L"bin", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, filter.c_str(), this, 0, TRUE);
    dialog.m_ofn.lpstrTitle = title.c_str();
    if (dialog.DoModal() == IDOK) ::SetWindowTextW(GetDlgItem(IDC_FIRMWARE_PATH), dialog.GetPathName().c_str());
}

}  // namespace vandrel
