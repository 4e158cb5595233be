#include "workspace/secure_image.h"

#include "common/dispatching_wait.h"
#include "common/phase_marks.h"
#include "workspace/file_toolkit.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

bool CreateSecureImageFile(std::wstring& path, UniqueFile& file) {
    file.reset();
    const std::wstring runFolder = GetRunFolder(false);
    const std::wstring digits = MakeNameDigits();
    if (runFolder.empty() || digits.empty()) return false;

    const std::wstring candidate = runFolder + L"fw_" + digits + L".img";
    // No security attributes: the file inherits the run folder's owner-only ACL and EFS marking.
    UniqueFile created(::CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_SEQUENTIAL_SCAN,
                                     nullptr));
    if (!created) return false;
    file = std::move(created);
    path = candidate;
    return true;
}

bool CopyFileToHandle(const std::wstring& source, HANDLE destination) {
    UniqueFile input(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!input) return false;

    ::SetFilePointer(destination, 0, nullptr, FILE_BEGIN);
    static_assert(kFileBlockBytes <= 65536, "the block lives on the stack");
    char block[kFileBlockBytes];
    bool copied = true;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(input.get(), block, kFileBlockBytes, &read, nullptr)) {
            copied = false;
            break;
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!::WriteFile(destination, block, read, &written, nullptr) || written != read) {
            copied = false;
            break;
        }
        DispatchPendingMessages();  // a large image must not stop the dialog answering
    }
    MarkPhase(kPhaseCopied);
    FlushDispatching(destination);
    MarkPhase(kPhaseFlushed);
    return copied;
}

}  // namespace vandrel
