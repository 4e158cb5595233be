#include "upgrade/version_confirmation.h"

#include <algorithm>

#include "common/text.h"
#include "resources/resource.h"
#include "upgrade/target_device.h"

namespace vandrel {

namespace {

constexpr DWORD kVersionItem = 103;
constexpr DWORD kVersionLength = 8;
constexpr size_t kShownBytes = 64;
constexpr size_t kBytesPerLine = 16;

void ShowInformation(DialogOutput& output, const std::wstring& text) {
    output.ShowMessageBox(text, LoadText(IDS_CAPTION_MESSAGE).c_str(), MB_ICONINFORMATION);
}

// The line and the same text in a box.
void Tell(DialogOutput& output, UINT textId) {
    const std::wstring text = LoadText(textId);
    output.AppendLine(text);
    ShowInformation(output, text);
}

// Hex-dump lines of 16 bytes, then the version text of the shown bytes up to the first zero.
void ShowVersion(const BYTE* data, size_t size, DialogOutput& output) {
    const size_t shown = std::min(size, kShownBytes);
    for (size_t offset = 0; offset < shown; offset += kBytesPerLine) {
        std::wstring line = Format(L"%08lX : ", static_cast<unsigned long>(offset));
        for (size_t i = offset; i < std::min(shown, offset + kBytesPerLine); ++i) line += Format(L"%02X ", data[i]);
        output.AppendLine(line);
    }
    std::wstring text = LoadText(IDS_VERSION_PREFIX);
    for (size_t i = 0; i < shown && data[i] != 0; ++i) text += static_cast<wchar_t>(data[i]);  // ISO 8859-1
    ShowInformation(output, text);
    if (size > shown) output.AppendLine(Format(L"... (total %d bytes)", static_cast<int>(size)));
}

}  // namespace

void ConfirmFirmwareVersion(UpgradeLibrary* binding, DialogOutput& output, uint16_t* readProductId) {
    if (!binding || !binding->IsInitialized()) {
        // The message list is hidden: without the box the click would show nothing at all.
        Tell(output, IDS_NOT_LOADED_OR_INITIALIZED);
        return;
    }
    const DeviceList devices = binding->Scan();
    if (devices.count == 0) {
        Tell(output, IDS_NO_DEVICE);
        return;
    }
    // The device a write would go to; without one in an upgradable mode, the first.
    const int target = FindTargetDevice(devices.records, devices.count);
    const int index = target >= 0 ? target : 0;
    const DWORD layer = devices.records[index].layer;
    if (readProductId) *readProductId = devices.records[index].productId;
    output.AppendLine(L"Reading custom data...");

    BYTE buffer[kVersionLength] = {};
    if (!binding->ReadVendorData(kVersionItem, buffer, kVersionLength, layer)) {
        output.AppendLine(Format(L"RK_ReadCustomData returned FALSE. length=%d, offset=%d (layer=%lu, i = %d)",
                                 static_cast<int>(kVersionLength), static_cast<int>(kVersionItem), layer, index));
        ShowInformation(output, LoadText(IDS_NOT_SUPPORTED));
        return;
    }
    output.AppendLine(Format(L"Read OK. length=%d, offset=%d (layer=%lu)", static_cast<int>(kVersionLength),
                             static_cast<int>(kVersionItem), layer));
    ShowVersion(buffer, sizeof buffer, output);
}

}  // namespace vandrel
