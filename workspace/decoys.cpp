#include "workspace/decoys.h"

#include <string>

#include "common/system_library.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "workspace/file_content.h"
#include "workspace/private_folder.h"
#include "workspace/secure_delete.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

NTSTATUS SystemRandom(PUCHAR buffer, ULONG size) {
    static const auto generate = SystemFunction<decltype(&::BCryptGenRandom)>(L"bcrypt.dll", "BCryptGenRandom");
    if (!generate) return static_cast<NTSTATUS>(0xC0000225);  // STATUS_NOT_FOUND
    return generate(nullptr, buffer, size, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
}

RandomSource g_randomSource = &SystemRandom;

// One decoy image: created like the secure image (but CREATE_ALWAYS), filled, closed.
void CreateDecoyImage(const std::wstring& folder, uint32_t minKiB, uint32_t maxKiB) {
    const std::wstring image = folder + L"fw_" + MakeNameDigits() + L".img";
    UniqueFile file(::CreateFileW(image.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr));
    if (!file) return;
    const bool filled = FillFileWithRandom(file.get(), RandomInRange(minKiB, maxKiB));
    file.reset();
    if (!filled) DeleteOrScheduleAtReboot(image);
}

}  // namespace

RandomSource SetRandomSource(RandomSource source) {
    const RandomSource previous = g_randomSource;
    g_randomSource = source ? source : &SystemRandom;
    return previous;
}

void CreateDecoyImages(unsigned folderCount, unsigned filesPerFolder, uint32_t minKiB, uint32_t maxKiB,
                       MessagePump& pump) {
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty()) return;  // no trusted workspace: nothing is written anywhere
    for (unsigned f = 0; f < folderCount; ++f) {
        // Same name form as a run folder, directly beside it; not marked for EFS.
        const std::wstring folder = Format(L"%s%s\\", base.c_str(), MakeNameDigits().c_str());
        // Labelled like a run folder, so that nothing tells them apart.
        CreatePrivateFolder(folder, FolderLabel::kHighNoReadWriteUp);
        for (unsigned i = 0; i < filesPerFolder; ++i) {
            CreateDecoyImage(folder, minKiB, maxKiB);
            pump.Pump();  // the dialog keeps answering while its run is prepared
        }
    }
}

bool FillFileWithRandom(HANDLE file, uint32_t kib) {
    UniqueHeap block(::HeapAlloc(::GetProcessHeap(), 0, kFileBlockBytes));
    if (!block) return false;

    bool filled = true;
    DWORD remaining = kib * 1024u;
    while (remaining > 0) {
        const DWORD size = remaining < kFileBlockBytes ? remaining : kFileBlockBytes;
        auto* bytes = static_cast<PUCHAR>(block.get());
        DWORD written = 0;
        if (g_randomSource(bytes, size) != 0 || !::WriteFile(file, bytes, size, &written, nullptr) ||
            written != size) {
            filled = false;
            break;
        }
        remaining -= size;
    }
    // No flush: a decoy is never read, and goes at the next housekeeping; forcing it to the disk would
    // only make the dialog wait for the disk.
    return filled;
}

uint32_t RandomInRange(uint32_t a, uint32_t b) {
    uint32_t value = 0;
    // Status ignored on purpose: a failing source leaves 0, which yields the lower bound.
    g_randomSource(reinterpret_cast<PUCHAR>(&value), sizeof value);
    const uint32_t low = a < b ? a : b;
    const uint32_t high = a < b ? b : a;
    const uint32_t span = high - low + 1u;
    // A span of the whole 32-bit range wraps to 0: every value is then in range.
    return span == 0 ? value : low + value % span;
}

}  // namespace vandrel
