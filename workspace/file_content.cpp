#include "workspace/file_content.h"

#include <cstring>
#include <vector>

#include "workspace/file_facts.h"
#include "workspace/path_form.h"

namespace vandrel {

namespace {

// No flush: what the tool writes is read or run at once, from the cache, and deleted after use.
bool WriteBlocks(HANDLE file, const ResourceBytes& bytes) {
    const char* data = static_cast<const char*>(bytes.data);
    for (DWORD offset = 0; offset < bytes.size;) {
        const DWORD block = bytes.size - offset < kFileBlockBytes ? bytes.size - offset : kFileBlockBytes;
        DWORD written = 0;
        if (!::WriteFile(file, data + offset, block, &written, nullptr) || written != block) return false;
        offset += block;
    }
    return true;
}

}  // namespace

bool WriteBytesToFile(const std::wstring& target, const ResourceBytes& bytes, DWORD attributes) {
    UniqueFile file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    return file && WriteBlocks(file.get(), bytes);
}

UniqueFile WriteNewFileAndHold(const std::wstring& target, const ResourceBytes& bytes, DWORD attributes) {
    // Others may read while it is written, nobody may write or delete it.
    UniqueFile writer(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, attributes,
                                    nullptr));
    if (!writer || !WriteBlocks(writer.get(), bytes)) return UniqueFile();
    // A reader that lets the writer be: it keeps the file from deletion and renaming while the writer
    // closes and the read-only hold takes over. A writer that slipped in meanwhile makes the hold fail,
    // one that came and went shows in its comparison.
    const UniqueFile bridge(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!bridge) return UniqueFile();
    writer.reset();
    return OpenHoldingExactly(target, bytes);
}

UniqueFile OpenHoldingExactly(const std::wstring& path, const ResourceBytes& bytes) {
    if (QueryFileSize(path) != bytes.size) return UniqueFile();
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return UniqueFile();
    const char* expected = static_cast<const char*>(bytes.data);
    std::vector<char> block(kFileBlockBytes);
    DWORD offset = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), block.data(), kFileBlockBytes, &read, nullptr)) return UniqueFile();
        if (read == 0) return offset == bytes.size ? std::move(file) : UniqueFile();
        if (read > bytes.size - offset || std::memcmp(block.data(), expected + offset, read) != 0) return UniqueFile();
        offset += read;
    }
}

bool HaveSameContents(const std::wstring& a, const std::wstring& b, MessagePump& pump) {
    const uint64_t size = QueryFileSize(a);
    if (size == ~uint64_t{0} || size != QueryFileSize(b)) return false;
    auto open = [](const std::wstring& path) {
        return UniqueFile(::CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    };
    const UniqueFile first = open(a), second = open(b);
    if (!first || !second) return false;
    std::vector<char> x(kFileBlockBytes), y(kFileBlockBytes);
    for (;;) {
        DWORD readX = 0, readY = 0;
        if (!::ReadFile(first.get(), x.data(), kFileBlockBytes, &readX, nullptr) ||
            !::ReadFile(second.get(), y.data(), kFileBlockBytes, &readY, nullptr) || readX != readY)
            return false;
        if (readX == 0) return true;
        if (std::memcmp(x.data(), y.data(), readX) != 0) return false;
        pump.Pump();  // large images: the dialog keeps answering
    }
}

}  // namespace vandrel
