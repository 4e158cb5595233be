// "Start Writing": the firmware write run. StartWriting prepares everything on the dialog's thread
// (workspace, unpacking, image choice, secure copy); WriteRun does the device work on a worker thread
// and cleans up after itself.
#include "app/vandrel_dlg.h"

#include "app/device_status_view.h"
#include "app/firmware_extension.h"
#include "app/messages.h"
#include "common/phase_marks.h"
#include "common/text.h"
#include "driver/driver_status.h"
#include "package/image_selection.h"
#include "package/package_unpacking.h"
#include "resources/resource.h"
#include "upgrade/target_device.h"
#include "workspace/decoys.h"
#include "workspace/file_toolkit.h"
#include "workspace/housekeeping.h"
#include "workspace/secure_delete.h"
#include "workspace/secure_image.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

void ShowError(CVandrelDlg& dialog, UINT textId, UINT captionId) {
    dialog.ShowMessageBox(LoadText(textId), captionId ? LoadText(captionId).c_str() : nullptr, MB_ICONERROR);
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
    // Three look-alike images of random bytes beside each run, 256 KiB to 1 MiB each, so that the run
    // folder is not the only place in the workspace that holds a firmware-like file.
    CreateDecoyImages(3, 1, 256, 1024);
    MarkPhase(kPhaseDecoysDone);
    firmwarePath_ = CWnd(GetDlgItem(IDC_FIRMWARE_PATH)).GetWindowText();
    if (firmwarePath_.empty()) {
        ShowError(*this, IDS_SELECT_FIRMWARE, IDS_CAPTION_MESSAGE);
        return false;
    }
    if (!binding_) {
        ShowError(*this, IDS_LIBRARY_NOT_LOADED, 0);
        return false;
    }
    if (!binding_->IsInitialized()) {
        ShowError(*this, IDS_LOADER_NOT_INITIALIZED, 0);
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
        ShowError(*this, IDS_UNSUPPORTED_FORMAT, IDS_CAPTION_ERROR);
        return false;
    }
    // Otherwise 7za would blame the password for a file that is simply not there.
    if (!IsExistingFile(firmwarePath_)) {
        ShowMessageBox(Format(LoadText(IDS_FIRMWARE_NOT_FOUND).c_str(), firmwarePath_.c_str()),
                       LoadText(IDS_CAPTION_FILE_NOT_FOUND).c_str(), MB_ICONERROR);
        return false;
    }
    if (package && !ImageFromPackage(image)) return false;
    if (!package) image = firmwarePath_;
    // An empty image would be written and reported as a success, leaving the device without firmware.
    if (QueryFileSize(image) == 0) {
        RefuseRun(LoadText(IDS_EMPTY_IMAGE), IDS_CAPTION_ERROR);
        return false;
    }
    return true;
}

bool CVandrelDlg::ImageFromPackage(std::wstring& image) {
    if (!UnpackPackage(firmwarePath_, *this)) {
        DiscardRunFolder();
        return false;
    }
    const DeviceList devices = binding_->Scan();
    MarkPhase(kPhaseScanned);
    if (devices.count == 0) {
        // The message list is hidden: the line alone would leave the user with no reaction at all.
        AppendLine(LoadText(IDS_NO_DEVICE));
        RefuseRun(LoadText(IDS_NO_DEVICE), IDS_CAPTION_MESSAGE);
        return false;
    }
    // The image is for the device the worker will write to. Without one in an upgradable mode the last
    // record decides, and the worker then finds nothing to write to.
    const int target = FindTargetDevice(devices.records, devices.count);
    targetProductId_ = devices.records[target >= 0 ? target : devices.count - 1].productId;
    const int hardwareVersion = HardwareVersionOf(*targetProductId_);
    if (!FindImageForHardwareVersion(GetRunFolder(false), L"*.img", hardwareVersion, image)) {
        RefuseRun(Format(LoadText(IDS_NO_IMAGE_FOR_VERSION).c_str(), hardwareVersion), IDS_CAPTION_FILE_NOT_FOUND);
        return false;
    }
    MarkPhase(kPhaseImageChosen);
    return true;
}

bool CVandrelDlg::MakeSecureCopy(const std::wstring& image) {
    std::wstring securePath;
    UniqueFile secure;
    if (!CreateSecureImageFile(securePath, secure)) {
        RefuseRun(LoadText(IDS_SECURE_FILE_FAILED), IDS_CAPTION_ERROR);
        return false;
    }
    MarkPhase(kPhaseCopyStarted);
    const bool copied = CopyFileToHandle(image, secure.get());
    secure.reset();
    if (!copied) {
        DeleteFileWithRetry(securePath, 0);  // one attempt; the run folder goes next in any case
        RefuseRun(LoadText(IDS_SECURE_COPY_FAILED), IDS_CAPTION_ERROR);
        return false;
    }
    secureImagePath_ = securePath;
    // An image unpacked from the package goes at once; one the user picked is left alone.
    if (IsInRunFolder(image)) DeleteOrScheduleAtReboot(image);
    MarkPhase(kPhaseUnpackedDeleted);
    return true;
}

void CVandrelDlg::DiscardRunFolder() { RemoveFolderTree(GetRunFolder(false)); }

void CVandrelDlg::RefuseRun(const std::wstring& text, UINT captionId) {
    DiscardRunFolder();
    ShowMessageBox(text, LoadText(captionId).c_str(), MB_ICONERROR);
}

void CVandrelDlg::StartWorker() {
    ::ShutdownBlockReasonCreate(m_hWnd, LoadText(IDS_SHUTDOWN_REASON).c_str());
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
        ShowError(*this, IDS_WRITE_NOT_STARTED, IDS_CAPTION_ERROR);
        return;
    }
    const bool written = outcome == kWriteSucceeded;
    ShowMessageBox(LoadText(written ? IDS_WRITE_SUCCESSFUL : IDS_WRITE_FAILED), LoadText(IDS_CAPTION_MESSAGE).c_str(),
                   written ? MB_ICONINFORMATION : MB_ICONERROR);
}

bool CVandrelDlg::WriteRun() {
    const bool written = WriteToTargetDevice();
    CleanUpAfterRun();
    return written;
}

bool CVandrelDlg::WriteToTargetDevice() {
    const DeviceList devices = binding_->Scan();
    if (devices.count == 0) {
        AppendLine(LoadText(IDS_NO_DEVICE));
        return false;
    }
    // Only a device of the product the image was chosen for: another one would get the wrong firmware.
    const int chosen = FindTargetDevice(devices.records, devices.count, targetProductId_);
    if (chosen < 0) {
        if (targetProductId_ && FindTargetDevice(devices.records, devices.count) >= 0)
            AppendLine(Format(L"No found device with product id 0x%04X to upgrade: the image is for V%d, "
                              L"nothing was written.", *targetProductId_, HardwareVersionOf(*targetProductId_)));
        else
            AppendLine(L"No found device to upgrade!");
        return false;
    }
    const uint32_t layer = devices.records[chosen].layer;
    binding_->SetFirmware(secureImagePath_);
    AppendLine(L"Download firmware...");
    PostMessage(kMsgStartProgress);
    const bool written = binding_->Upgrade(layer);
    AppendLine(written ? L"Download firmware ok" : L"Download firmware failed!");
    PostMessage(kMsgStopProgress);
    return written;
}

// On the worker, before it hands the dialog back: the library lets go of the image, the image and the
// workspace go, and the library is made ready for the next run.
void CVandrelDlg::CleanUpAfterRun() {
    if (binding_->IsInitialized()) {
        binding_->Uninitialize();
        // The library may still be letting go of the image for a moment after it is uninitialised; the
        // pause spares the deletion below its first retries.
        ::Sleep(100);
    }
    if (IsInRunFolder(secureImagePath_)) DeleteOrScheduleAtReboot(secureImagePath_, kSecureImageDeleteBudgetMs);
    CleanWorkspace();
    if (!binding_->IsInitialized()) binding_->Initialize(logFolder_);
}

}  // namespace vandrel
