// The write history, as the main dialog keeps it: which firmware went into which transmitter, when,
// and how it ended, one record per write run (refusals included) and per version read.
#include "app/vandrel_dlg.h"

#include "app/window_title.h"
#include "common/module_path.h"
#include "common/sha256.h"
#include "driver/present_devices.h"
#include "workspace/file_facts.h"

namespace vandrel {

namespace {

constexpr uint16_t kRockchipVendor = 0x2207;

// "1.8.0.0" out of the title's " v1.8.0.0"; empty without version information.
std::wstring ToolVersion() {
    const std::wstring suffix = VersionSuffix(ExecutablePath());
    return suffix.size() > 2 ? suffix.substr(2) : std::wstring();
}

}  // namespace

void CVandrelDlg::OpenRecord(const wchar_t* action) {
    const std::lock_guard<std::mutex> lock(recordGuard_);
    record_ = RunRecord();
    record_.fields.time = LocalTimeIso8601();
    record_.fields.toolVersion = ToolVersion();
    record_.fields.action = action;
    record_.started = ::GetTickCount64();
    record_.open = true;
}

void CVandrelDlg::ResolveRecord(const std::wstring& boxText) {
    const std::lock_guard<std::mutex> lock(recordGuard_);
    if (!record_.open || record_.resolved) return;
    record_.fields.result = boxText;
    record_.fields.resultCode = ResultCodeOf(boxText);
    record_.fields.durationMs = ::GetTickCount64() - record_.started;
    record_.resolved = true;
}

void CVandrelDlg::RecordDevice(uint16_t productId) {
    const std::vector<std::wstring> instances = DeviceInstancesOf(kRockchipVendor, productId);
    std::wstring named;
    for (const std::wstring& instance : instances) named += (named.empty() ? L"" : L"; ") + instance;
    const std::lock_guard<std::mutex> lock(recordGuard_);
    record_.fields.productId = productId;
    record_.fields.deviceInstance = named;
}

void CVandrelDlg::RecordImage(const std::wstring& name, uint64_t size) {
    const std::lock_guard<std::mutex> lock(recordGuard_);
    record_.fields.imageName = name;
    record_.fields.imageSize = size;
}

void CVandrelDlg::FinishRecord() {
    HistoryRecord fields;
    {
        const std::lock_guard<std::mutex> lock(recordGuard_);
        if (!record_.open || !record_.resolved) return;
        record_.open = false;
        fields = record_.fields;
    }
    // A run refused before the worker read the firmware file: read now, its box already answered.
    if (!fields.firmwarePath.empty() && fields.firmwareSha256.empty() && IsExistingFile(fields.firmwarePath)) {
        uint64_t size = 0;
        fields.firmwareSha256 = Sha256OfFile(fields.firmwarePath, &size, pump_);
        if (!fields.firmwareSha256.empty()) fields.firmwareSize = size;
    }
    logFolder_.AppendRecord(fields, *this);
}

}  // namespace vandrel
