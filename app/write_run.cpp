// "Start Writing": the firmware write run. StartWriting prepares everything on the dialog's thread
// (workspace, unpacking, image choice, secure copy); WriteRun does the device work on a worker thread
// and cleans up after itself.
#include "app/vandrel_dlg.h"

#include "app/firmware_extension.h"
#include "app/messages.h"
#include "common/phase_marks.h"
#include "common/text.h"
#include "driver/driver_status.h"
#include "driver/status_display.h"
#include "package/image_selection.h"
#include "package/package_unpacking.h"
#include "resources/resource.h"
#include "upgrade/target_device.h"
#include "workspace/decoys.h"
#include "workspace/embedded_files.h"
#include "workspace/housekeeping.h"
#include "workspace/secure_delete.h"
#include "workspace/secure_image.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

constexpr wchar_t kNoDevice[] = L"No found device!";

bool IsExistingFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring LoadResourceString(UINT id) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

void CVandrelDlg::StartWriting() {
    // One write at a time: a device event may have enabled the button again during a run.
    if (busy_) return;
    MarkPhase(kPhaseClick);
    // Busy from the click on: the dialog answers its messages while it prepares, and none of them may start
    // a second run, close the tool or end the session meanwhile.
    SetBusy(true);
    if (!PrepareRun()) {
        SetBusy(false);
        // Device events met the busy flag meanwhile and left the buttons alone.
        ShowDeviceStatusControls(m_hWnd, QueryDriverStatus());
        return;
    }
    messageList_.ResetContent();
    EnableRunControls(false);
    StartWorker();
}

bool CVandrelDlg::PrepareRun() {
    CleanWorkspace();
    MarkPhase(kPhaseHousekeepingDone);
    GetRunFolder(true);
    CreateDecoyImages(3, 1, 256, 1024);
    MarkPhase(kPhaseDecoysDone);
    firmwarePath_ = CWnd(GetDlgItem(IDC_FIRMWARE_PATH)).GetWindowText();
    if (firmwarePath_.empty()) {
        ShowMessageBox(LoadResourceString(IDS_SELECT_FIRMWARE), L"Message", MB_ICONERROR);
        return false;
    }
    if (!binding_) {
        ShowMessageBox(L"RKUpgrade did not be loaded!", nullptr, MB_ICONERROR);
        return false;
    }
    if (!binding_->initialised) {
        ShowMessageBox(L"Loader did not initialize!", nullptr, MB_ICONERROR);
        return false;
    }
    std::wstring image;
    return PrepareImage(image) && MakeSecureCopy(image);
}

bool CVandrelDlg::PrepareImage(std::wstring& image) {
    // A picked image names no hardware version: it goes to whichever device is upgradable.
    targetProductId_.reset();
    const std::wstring extension = FirmwareExtension(firmwarePath_);
    const bool package = extension == L"7z" || extension == L"bin";
    if (!package && extension != L"img") {
        ShowMessageBox(L"Unsupported firmware format.", L"Error", MB_ICONERROR);
        return false;
    }
    // Otherwise 7za would blame the password for a file that is simply not there.
    if (!IsExistingFile(firmwarePath_)) {
        ShowMessageBox(Format(L"The firmware file was not found:\n%s", firmwarePath_.c_str()), L"File Not Found",
                       MB_ICONERROR);
        return false;
    }
    if (package && !ImageFromPackage(image)) return false;
    if (!package) image = firmwarePath_;
    // An empty image would be written and reported as a success, leaving the device without firmware.
    if (QueryFileSize(image) == 0) {
        RefuseRun(LoadResourceString(IDS_EMPTY_IMAGE), L"Error");
        return false;
    }
    return true;
}

bool CVandrelDlg::ImageFromPackage(std::wstring& image) {
    if (!UnpackPackage(firmwarePath_, *this)) {
        DiscardRunFolder();
        return false;
    }
    DeviceRecord* records = nullptr;
    const int count = binding_->RK_ScanDeviceW(&records);
    MarkPhase(kPhaseScanned);
    if (count <= 0 || !records) {
        // The message list is hidden: the line alone would leave the user with no reaction at all.
        AppendLine(kNoDevice);
        RefuseRun(kNoDevice, L"Message");
        return false;
    }
    // The image is for the device the worker will write to. Without one in an upgradable mode the last
    // record decides, and the worker then finds nothing to write to.
    const int target = FindTargetDevice(records, count);
    targetProductId_ = records[target >= 0 ? target : count - 1].productId;
    const int hardwareVersion = HardwareVersionOf(*targetProductId_);
    if (!FindImageForHardwareVersion(GetRunFolder(false), L"*.img", hardwareVersion, image)) {
        RefuseRun(Format(L"No .img file for V%d was found in the extracted folder.", hardwareVersion),
                  L"File Not Found");
        return false;
    }
    MarkPhase(kPhaseImageChosen);
    return true;
}

bool CVandrelDlg::MakeSecureCopy(const std::wstring& image) {
    std::wstring securePath;
    UniqueFile secure;
    if (!CreateSecureImageFile(securePath, secure)) {
        RefuseRun(L"Failed to create secure temporary file.", L"Error");
        return false;
    }
    MarkPhase(kPhaseCopyStarted);
    const bool copied = CopyFileToHandle(image, secure.get());
    secure.reset();
    if (!copied) {
        ::DeleteFileW(securePath.c_str());
        RefuseRun(L"Failed to write to the secure temporary file.", L"Error");
        return false;
    }
    secureImagePath_ = securePath;
    // An image unpacked from the package goes at once; one the user picked is left alone.
    if (IsInRunFolder(image)) DeleteOrScheduleAtReboot(image);
    MarkPhase(kPhaseUnpackedDeleted);
    return true;
}

void CVandrelDlg::DiscardRunFolder() { RemoveFolderTree(GetRunFolder(false)); }

void CVandrelDlg::RefuseRun(const std::wstring& text, const wchar_t* caption) {
    DiscardRunFolder();
    ShowMessageBox(text, caption, MB_ICONERROR);
}

void CVandrelDlg::StartWorker() {
    ::ShutdownBlockReasonCreate(m_hWnd, L"Firmware is being written to the transmitter.");
    if (startThread_(WriteThreadProc, this)) return;
    // Nothing will run the write: the image copy goes, and the run ends as any other does.
    DeleteOrScheduleAtReboot(secureImagePath_);
    OnWriteEnded(kWriteNotStarted);
}

UINT __cdecl CVandrelDlg::WriteThreadProc(LPVOID param) {
    MarkPhase(kPhaseWorkerStarted);
    auto* dialog = static_cast<CVandrelDlg*>(param);
    const bool written = dialog->WriteRun();
    // The worker's last act: once posted, the dialog's thread may end the dialog at any moment.
    ::PostMessageW(dialog->m_hWnd, kMsgWriteEnded, written ? kWriteSucceeded : kWriteFailed, 0);
    return 0;
}

void CVandrelDlg::OnWriteEnded(WPARAM outcome) {
    SetBusy(false);
    EnableRunControls(true);
    ShowDeviceStatusControls(m_hWnd, QueryDriverStatus());
    ::ShutdownBlockReasonDestroy(m_hWnd);
    if (outcome == kWriteNotStarted) {
        ShowMessageBox(L"The write could not be started.", L"Error", MB_ICONERROR);
        return;
    }
    const bool written = outcome == kWriteSucceeded;
    ShowMessageBox(LoadResourceString(written ? IDS_WRITE_SUCCESSFUL : IDS_WRITE_FAILED), L"Message",
                   written ? MB_ICONINFORMATION : MB_ICONERROR);
}

bool CVandrelDlg::WriteRun() {
    const bool written = WriteToTargetDevice();
    CleanUpAfterRun();
    return written;
}

bool CVandrelDlg::WriteToTargetDevice() {
    UpgradeOptions options{};
    DeviceRecord* records = nullptr;
    const int count = binding_->RK_ScanDeviceW(&records);
    if (count <= 0 || !records) {
        AppendLine(kNoDevice);
        return false;
    }
    // Only a device of the product the image was chosen for: another one would get the wrong firmware.
    const int chosen = FindTargetDevice(records, count, targetProductId_);
    if (chosen < 0) {
        if (targetProductId_ && FindTargetDevice(records, count) >= 0)
            AppendLine(Format(L"No found device with product id 0x%04X to upgrade: the image is for V%d, "
                              L"nothing was written.", *targetProductId_, HardwareVersionOf(*targetProductId_)));
        else
            AppendLine(L"No found device to upgrade!");
        return false;
    }
    const uint32_t layer = records[chosen].layer;
    binding_->RK_SetFirmwareW(secureImagePath_.c_str(), 0);
    AppendLine(L"Download firmware...");
    PostMessage(kMsgStartProgress);
    options.word44 = 1;
    options.word48 = 1;
    const bool written = binding_->RK_UpgradeW(&options, layer) != 0;
    AppendLine(written ? L"Download firmware ok" : L"Download firmware failed!");
    PostMessage(kMsgStopProgress);
    return written;
}

// On the worker, before it hands the dialog back: the library lets go of the image, the image and the
// workspace go, and the library is made ready for the next run.
void CVandrelDlg::CleanUpAfterRun() {
    if (binding_->initialised) {
        binding_->Uninitialize();
        ::Sleep(100);
    }
    if (IsInRunFolder(secureImagePath_) && !DeleteFileWithRetry(secureImagePath_, kSecureImageDeleteBudgetMs))
        ::MoveFileExW(secureImagePath_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    CleanWorkspace();
    if (!binding_->initialised) binding_->Initialize(logFolder_);
}

}  // namespace vandrel
