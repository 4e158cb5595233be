#include "upgrade/version_confirmation.h"

#include <algorithm>

#include "common/text.h"
#include "upgrade/target_device.h"

namespace vandrel {

namespace {

constexpr DWORD kVersionItem = 103;
constexpr DWORD kVersionLength = 8;
constexpr size_t kShownBytes = 64;
constexpr size_t kBytesPerLine = 16;
constexpr wchar_t kCaption[] = L"Message";

void Tell(DialogOutput& output, const std::wstring& text) {
    output.AppendLine(text);
    output.ShowMessageBox(text, kCaption, MB_ICONINFORMATION);
}

// Hex-dump lines of 16 bytes, then the version text of the shown bytes up to the first zero.
void ShowVersion(const BYTE* data, size_t size, DialogOutput& output) {
    const size_t shown = std::min(size, kShownBytes);
    for (size_t offset = 0; offset < shown; offset += kBytesPerLine) {
        std::wstring line = Format(L"%08lX : ", static_cast<unsigned long>(offset));
        for (size_t i = offset; i < std::min(shown, offset + kBytesPerLine); ++i) line += Format(L"%02X ", data[i]);
        output.AppendLine(line);
    }
    std::wstring text = L"Version : ";
    for (size_t i = 0; i < shown && data[i] != 0; ++i) text += static_cast<wchar_t>(data[i]);  // ISO 8859-1
    output.ShowMessageBox(text, kCaption, MB_ICONINFORMATION);
    if (size > shown) output.AppendLine(Format(L"... (total %d bytes)", static_cast<int>(size)));
}

}  // namespace

void ConfirmFirmwareVersion(UpgradeLibrary* binding, DialogOutput& output) {
    if (!binding || !binding->initialised) {
        // The message list is hidden: without the box the click would show nothing at all.
        Tell(output, L"RKUpgrade not loaded or not initialized!");
        return;
    }
    DeviceRecord* records = nullptr;
    const int count = binding->RK_ScanDeviceW(&records);
    if (count <= 0 || !records) {
        Tell(output, L"No found device!");
        return;
    }
    // The device a write would go to; without one in an upgradable mode, the first.
    const int target = FindTargetDevice(records, count);
    const int index = target >= 0 ? target : 0;
    const DWORD layer = records[index].layer;
    output.AppendLine(L"Reading custom data...");

    BYTE buffer[kVersionLength] = {};
    DWORD length = kVersionLength;
    if (!binding->RK_ReadVendorRpmbData(kVersionItem, 0, buffer, &length, layer)) {
        output.AppendLine(Format(L"RK_ReadCustomData returned FALSE. length=%d, offset=%d (layer=%lu, i = %d)",
                                 static_cast<int>(kVersionLength), static_cast<int>(kVersionItem), layer, index));
        output.ShowMessageBox(L"Not supported", kCaption, MB_ICONINFORMATION);
        return;
    }
    output.AppendLine(Format(L"Read OK. length=%d, offset=%d (layer=%lu)", static_cast<int>(kVersionLength),
                             static_cast<int>(kVersionItem), layer));
    ShowVersion(buffer, sizeof buffer, output);
}

}  // namespace vandrel
