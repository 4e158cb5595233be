#include "workspace/file_toolkit.h"

#include <cstring>
#include <vector>

namespace vandrel {

bool LoadRcData(HMODULE module, int id, ResourceBytes& bytes) {
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!resource) return false;
    const DWORD size = ::SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (!loaded) return false;
    const void* data = ::LockResource(loaded);
    if (!data || size == 0) return false;
    bytes.data = data;
    bytes.size = size;
    return true;
}

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

uint64_t FreeBytesOn(const std::wstring& folder) {
    ULARGE_INTEGER available{};
    return ::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) ? available.QuadPart : ~uint64_t{0};
}

uint64_t QueryFileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(ExtendedPath(path).c_str(), GetFileExInfoStandard, &data)) return ~uint64_t{0};
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool IsExistingFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExtendedPath(const std::wstring& path) {
    if (path.size() < 3 || path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) return path;
    const bool drive = path[1] == L':' && path[2] == L'\\';
    const bool unc = path[0] == L'\\' && path[1] == L'\\';
    if (!drive && !unc) return path;
    std::vector<wchar_t> full(path.size() + MAX_PATH);
    DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length + 1);
        length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return path;
    const std::wstring normalised(full.data(), length);
    if (normalised.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + normalised.substr(2);
    return L"\\\\?\\" + normalised;
}

std::wstring WithTrailingBackslash(std::wstring folder) {
    // Without it, "C:\dir*" would list the parent's entries that begin with "dir".
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring WithoutTrailingBackslash(std::wstring folder) {
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

void ForEachEntry(const std::wstring& folder, const std::function<void(const WIN32_FIND_DATAW& entry)>& visit,
                  const wchar_t* pattern) {
    if (folder.empty()) return;  // the pattern alone would list the current directory
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((ExtendedPath(WithTrailingBackslash(folder)) + pattern).c_str(), &entry));
    if (!find) return;
    do {
        if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0) visit(entry);
    } while (::FindNextFileW(find.get(), &entry));
}

bool IsFolderEntry(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool IsLinkEntry(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace vandrel
