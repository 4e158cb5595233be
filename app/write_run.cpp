// "Start Writing": the firmware write run. StartWriting prepares everything on the dialog's thread
// (workspace, unpacking, image choice, secure copy); WriteRun does the device work on a worker thread
// and cleans up after itself.
#include "app/vandrel_dlg.h"

#include <algorithm>
#include <vector>

#include "app/device_status_view.h"
#include "app/firmware_extension.h"
#include "app/messages.h"
#include "common/background_work.h"
#include "common/phase_marks.h"
#include "common/sha256.h"
#include "common/text.h"
#include "driver/driver_status.h"
#include "package/image_selection.h"
#include "package/package_listing.h"
#include "package/package_unpacking.h"
#include "resources/resource.h"
#include "upgrade/target_device.h"
#include "workspace/real_path.h"
#include "workspace/decoys.h"
#include "workspace/file_facts.h"
#include "workspace/housekeeping.h"
#include "workspace/secure_delete.h"
#include "workspace/secure_image.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

void ShowError(CVandrelDlg& dialog, UINT textId, UINT captionId) {
    dialog.ShowMessageBox(LoadText(textId), captionId ? LoadText(captionId).c_str() : nullptr, MB_ICONERROR);
}

// path as the package names it: below the run folder.
std::wstring PathInPackage(const std::wstring& path) {
    const std::wstring run = CurrentRunFolder();
    return AsciiLower(path).compare(0, run.size(), AsciiLower(run)) == 0 ? path.substr(run.size()) : path;
}

// The product ids of the devices a write could go to (mode 1 or 2), each once.
std::vector<uint16_t> UpgradableProducts(const DeviceList& devices) {
    std::vector<uint16_t> products;
    for (int i = 0; i < devices.count; ++i)
        if (FindTargetDevice(devices.records + i, 1) == 0 &&
            std::find(products.begin(), products.end(), devices.records[i].productId) == products.end())
            products.push_back(devices.records[i].productId);
    return products;
}

}  // namespace

void CVandrelDlg::StartWriting() {
    // The button is enabled in Idle alone; a command that reaches the dialog otherwise acts on nothing.
    if (state_ != RunState::Idle) return;
    MarkPhase(kPhaseClick);
    // From the click on, the dialog answers its messages while it prepares; the state greys what would
    // otherwise start a second run, close the tool or end the session.
    EnterState(RunState::Preparing);
    OpenRecord(L"write");
    if (!PrepareRun()) {
        FinishRecord();
        EnterState(RunState::Idle);
        return;
    }
    MarkPhase(kPhasePrepared);
    messageList_.ResetContent();
    EnterState(RunState::Writing);
    StartWorker();
}

bool CVandrelDlg::PrepareRun() {
    // Everything below answers the dialog's messages while it waits or copies, through pump_.
    CleanWorkspace(pump_);
    MarkPhase(kPhaseHousekeepingDone);
    GetRunFolder(true);
    MarkPhase(kPhaseRunFolderMade);
    // Three look-alike images of random bytes beside each run, 256 KiB to 1 MiB each, so that the run
    // folder is not the only place in the workspace that holds a firmware-like file. Made beside the
    // preparation, which takes longer; done before this returns, whatever the outcome.
    const BackgroundWork decoys([] { CreateDecoyImages(3, 1, 256, 1024); MarkPhase(kPhaseDecoysDone); }, pump_);
    firmwarePath_ = CWnd(GetDlgItem(IDC_FIRMWARE_PATH)).GetWindowText();
    {
        const std::lock_guard<std::mutex> lock(recordGuard_);
        record_.fields.firmwarePath = firmwarePath_;
    }
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
    targetProductId_.reset();
    expectedImage_ = ExpectedImage();
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
    if (package ? !ImageFromPackage(image) : !PickedImageFitsTheDevices()) return false;
    if (!package) {
        image = firmwarePath_;
        expectedImage_.bytes = QueryFileSize(image);
        RecordImage(image.substr(image.find_last_of(L"\\/") + 1), expectedImage_.bytes);
    }
    // An empty image would be written and reported as a success, leaving the device without firmware.
    if (expectedImage_.bytes == 0) {
        RefuseRun(LoadText(IDS_EMPTY_IMAGE), IDS_CAPTION_ERROR);
        return false;
    }
    return true;
}

bool CVandrelDlg::PickedImageFitsTheDevices() {
    // A picked image names no hardware version: with transmitters of two versions attached, it would go to
    // whichever the library lists first.
    const std::vector<uint16_t> products = UpgradableProducts(binding_->Scan());
    if (products.size() > 1) {
        RefuseRun(LoadText(IDS_CONNECT_ONE_TRANSMITTER), IDS_CAPTION_ERROR);
        return false;
    }
    if (products.size() == 1) {
        targetProductId_ = products.front();
        RecordDevice(products.front());
    }
    return true;
}

bool CVandrelDlg::ImageFromPackage(std::wstring& image) {
    std::vector<PackageEntry> listing;
    if (!UnpackPackage(firmwarePath_, *this, &listing, pump_)) {
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
    RecordDevice(*targetProductId_);
    const int hardwareVersion = HardwareVersionOf(*targetProductId_);
    std::vector<std::wstring> conflicting;
    switch (FindImageForHardwareVersion(GetRunFolder(false), L"*.img", hardwareVersion, image, &conflicting, pump_)) {
    case ImageChoice::kChosen: break;
    case ImageChoice::kNone:
        RefuseRun(Format(LoadText(IDS_NO_IMAGE_FOR_VERSION).c_str(), hardwareVersion), IDS_CAPTION_FILE_NOT_FOUND);
        return false;
    case ImageChoice::kAmbiguous: {
        std::wstring names;
        for (const std::wstring& path : conflicting) names += L"  " + PathInPackage(path) + L"\n";
        RefuseRun(Format(LoadText(IDS_IMAGES_DIFFER).c_str(), hardwareVersion, names.c_str()), IDS_CAPTION_ERROR);
        return false;
    }
    }
    MarkPhase(kPhaseImageChosen);
    // What the package says the image is: the unpacked file must be exactly that.
    expectedImage_.name = PathInPackage(image);
    const PackageEntry* entry = FindPackageEntry(listing, expectedImage_.name);
    if (entry) expectedImage_.listed = *entry;
    expectedImage_.bytes = entry ? entry->size : QueryFileSize(image);
    RecordImage(expectedImage_.name, expectedImage_.bytes);
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
    const CopyOutcome copy = CopyFileToHandle(image, secure.get(), pump_);
    secure.reset();
    if (copy.copied && copy.bytes > 0 && IsWhole(copy)) {
        secureImagePath_ = securePath;
        return true;
    }
    // Judged before the partial copy gives its space back: a full disk, whatever code the system gave
    // for it, has less room left than the copy still needed.
    const bool diskFull = !copy.copied && (IsDiskFull(copy.error) ||
                                           FreeBytesOn(CurrentRunFolder()) < expectedImage_.bytes - copy.bytes);
    DeleteFileWithRetry(securePath, 0);  // one attempt; the run folder goes next in any case
    RefuseCopy(copy, diskFull);
    return false;
}

bool CVandrelDlg::IsWhole(const CopyOutcome& copy) const {
    // A picked image: the size read before its copy. An unpacked one: what its package lists for it.
    if (expectedImage_.name.empty()) return expectedImage_.bytes == copy.bytes;
    return expectedImage_.listed && MatchesEntry(*expectedImage_.listed, copy.bytes, copy.crc32);
}

void CVandrelDlg::RefuseCopy(const CopyOutcome& copy, bool diskFull) {
    // The system's reason, for whoever reads the message list.
    if (!copy.copied) AppendLine(Format(L"The secure copy failed after %I64u bytes (error %lu).", copy.bytes, copy.error));
    if (diskFull) {
        RefuseRun(Format(LoadText(IDS_COPY_DISK_FULL).c_str(), GetWorkspaceBaseFolder().c_str()), IDS_CAPTION_ERROR);
    } else if (!copy.copied) {
        RefuseRun(LoadText(IDS_SECURE_COPY_FAILED), IDS_CAPTION_ERROR);
    } else if (copy.bytes == 0) {
        // Emptied after it was looked at: an empty image is never written.
        RefuseRun(LoadText(IDS_EMPTY_IMAGE), IDS_CAPTION_ERROR);
    } else if (expectedImage_.name.empty()) {
        RefuseRun(Format(LoadText(IDS_IMAGE_CHANGED).c_str(), expectedImage_.bytes, copy.bytes), IDS_CAPTION_ERROR);
    } else {
        // Cut short or changed after the package was made: never to be written.
        const std::wstring line =
            Format(LoadText(IDS_IMAGE_NOT_WHOLE).c_str(), expectedImage_.name.c_str(), expectedImage_.bytes,
                   expectedImage_.listed ? expectedImage_.listed->crc.value_or(0) : 0, copy.bytes, copy.crc32);
        AppendLine(line);
        RefuseRun(line, IDS_CAPTION_7Z_FAILED);
    }
}

void CVandrelDlg::DiscardRunFolder() { RemoveFolderTree(CurrentRunFolder(), pump_); }

void CVandrelDlg::RefuseRun(const std::wstring& text, UINT captionId) {
    DiscardRunFolder();
    ShowMessageBox(text, LoadText(captionId).c_str(), MB_ICONERROR);
}

void CVandrelDlg::StartWorker() {
    if (startThread_(WriteThreadProc, this)) return;
    // Nothing will run the write: the image copy and what was unpacked go, and the run ends as any other.
    DeleteOrScheduleAtReboot(secureImagePath_, kDeleteBudgetMs, pump_);
    DiscardRunFolder();
    OnWriteEnded(kWriteNotStarted);
}

UINT __cdecl CVandrelDlg::WriteThreadProc(LPVOID param) {
    MarkPhase(kPhaseWorkerStarted);
    auto* dialog = static_cast<CVandrelDlg*>(param);
    const WPARAM outcome = dialog->WriteRun() ? kWriteSucceeded : kWriteFailed;
    // The worker's last act: once it is through, the dialog's thread may end the dialog at any moment.
    // A post the system refuses (a full message queue) would leave the tool busy for ever: the end is then
    // sent, which waits until the dialog's thread has taken it.
    const HWND window = dialog->m_hWnd;
    if (!dialog->postRunEnd_(window, kMsgWriteEnded, outcome, 0)) ::SendMessageW(window, kMsgWriteEnded, outcome, 0);
    return 0;
}

void CVandrelDlg::OnWriteEnded(WPARAM outcome) {
    MarkPhase(kPhaseRunEnded);
    // The write itself makes the device come and go: the buttons follow it as it is now.
    driverStatus_ = QueryDriverStatus();
    EnterState(RunState::Idle);
    if (outcome == kWriteNotStarted) {
        ShowError(*this, IDS_WRITE_NOT_STARTED, IDS_CAPTION_ERROR);
    } else {
        const bool written = outcome == kWriteSucceeded;
        ShowMessageBox(LoadText(written ? IDS_WRITE_SUCCESSFUL : IDS_WRITE_FAILED),
                       LoadText(IDS_CAPTION_MESSAGE).c_str(), written ? MB_ICONINFORMATION : MB_ICONERROR);
    }
    FinishRecord();
}

bool CVandrelDlg::WriteRun() {
    // Before the device is written (which takes minutes): no decrypted image is left on disk but the
    // secure copy, should the power fail or the tool be ended meanwhile.
    EmptyFolderExcept(CurrentRunFolder(), secureImagePath_);
    MarkPhase(kPhaseUnpackedDeleted);
    // For the write history: the image as it goes to the device, hashed before the library may take the
    // file for itself; the firmware file, which the library never opens, beside the device's write.
    const std::wstring imageSha256 = Sha256OfFile(secureImagePath_);
    std::wstring firmwareSha256;
    uint64_t firmwareSize = 0;
    bool written = false;
    {
        const BackgroundWork firmwareHash([&] { firmwareSha256 = Sha256OfFile(firmwarePath_, &firmwareSize); }, NoPump());
        written = WriteToTargetDevice();
        MarkPhase(kPhaseDeviceWritten);
    }
    {
        const std::lock_guard<std::mutex> lock(recordGuard_);
        record_.fields.imageSha256 = imageSha256;
        record_.fields.firmwareSha256 = firmwareSha256;
        if (!firmwareSha256.empty()) record_.fields.firmwareSize = firmwareSize;
    }
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
    RecordDevice(devices.records[chosen].productId);
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
    if (!binding_->IsInitialized()) binding_->Initialize(logFolder_.ForLibrary(*this));  // checked as handed over
}

}  // namespace vandrel
