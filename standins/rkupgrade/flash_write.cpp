#include "standins/rkupgrade/flash_write.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/unique_handle.h"
#include "common/sha256.h"

namespace vandrel::standin {

namespace {

constexpr DWORD kPresencePollMs = 100;
constexpr DWORD kChunkBytes = 1 << 20;  // images run to hundreds of MiB: never hold one whole

// The device's write time, watching every 100 ms that it is still plugged.
bool SpendWriteTime(const VirtualDevice& device) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (!IsStillPlugged(device)) return false;
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= device.settings.upgradeMs) return true;
        ::Sleep(static_cast<DWORD>(std::min<ULONGLONG>(kPresencePollMs, device.settings.upgradeMs - elapsed)));
    }
}

bool CopyIntoFlash(HANDLE image, const VirtualDevice& device) {
    const std::wstring flashPath = FlashPathOf(device.instanceId);
    // FILE_SHARE_DELETE: an unplug may take the flash file away while the write runs.
    UniqueFile flash(::CreateFileW(flashPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Sha256 hash;
    if (!flash || !hash.ok()) return false;
    std::vector<char> chunk(kChunkBytes);
    uint64_t total = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(image, chunk.data(), kChunkBytes, &read, nullptr)) return false;
        if (read == 0) break;
        DWORD written = 0;
        if (!::WriteFile(flash.get(), chunk.data(), read, &written, nullptr) || written != read) return false;
        if (!hash.Update(chunk.data(), read)) return false;
        total += read;
    }
    flash.reset();
    const std::wstring digest = hash.FinishHex();
    return !digest.empty() && RecordWrite(device, total, digest);  // fails when the device went meanwhile
}

}  // namespace

bool WriteImageIntoDevice(const VirtualDevice& device, const std::wstring& imagePath) {
    UniqueFile image(::CreateFileW(imagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!image) return false;
    if (!SpendWriteTime(device) || device.settings.failUpgrade) return false;
    return CopyIntoFlash(image.get(), device);
}

}  // namespace vandrel::standin
