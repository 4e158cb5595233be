#include "workspace/secure_image.h"

#include "common/crc32.h"
#include "common/phase_marks.h"
#include "workspace/file_content.h"
#include "workspace/path_form.h"
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

CopyOutcome CopyFileToHandle(const std::wstring& source, HANDLE destination, MessagePump& pump) {
    CopyOutcome outcome;
    UniqueFile input(::CreateFileW(ExtendedPath(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!input) {
        outcome.error = ::GetLastError();
        return outcome;
    }

    ::SetFilePointer(destination, 0, nullptr, FILE_BEGIN);
    static_assert(kFileBlockBytes <= 65536, "the block lives on the stack");
    char block[kFileBlockBytes];
    outcome.copied = true;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(input.get(), block, kFileBlockBytes, &read, nullptr)) {
            outcome = {false, outcome.bytes, outcome.crc32, ::GetLastError()};
            break;
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!::WriteFile(destination, block, read, &written, nullptr) || written != read) {
            const DWORD error = ::GetLastError();
            outcome = {false, outcome.bytes, outcome.crc32, error != ERROR_SUCCESS ? error : ERROR_DISK_FULL};
            break;
        }
        outcome.crc32 = UpdateCrc32(outcome.crc32, block, read);
        outcome.bytes += read;
        pump.Pump();  // a large image must not stop the dialog answering
    }
    MarkPhase(kPhaseCopied);
    FlushPumping(destination, pump);
    MarkPhase(kPhaseFlushed);
    return outcome;
}

bool IsDiskFull(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

}  // namespace vandrel
