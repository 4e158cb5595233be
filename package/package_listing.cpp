#include "package/package_listing.h"

#include <windows.h>

#include <cwchar>
#include <sstream>

#include "common/text.h"

namespace vandrel {

namespace {

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length > 0 ? length : 0, L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::wstring WithBackslashes(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

// Reads one "Name = value" line of the listing into entry; false for a line of another shape.
bool ReadField(const std::string& line, PackageEntry& entry, bool& hasPath) {
    const size_t equals = line.find(" = ");
    if (equals == std::string::npos) return false;
    const std::string name = line.substr(0, equals);
    const std::string value = line.substr(equals + 3);
    if (name == "Path") {
        entry.path = WithBackslashes(FromUtf8(value));
        hasPath = true;
    } else if (name == "Size") {
        entry.size = std::strtoull(value.c_str(), nullptr, 10);
    } else if (name == "CRC" && !value.empty()) {
        entry.crc = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 16));
    } else if (name == "Folder") {
        entry.folder = entry.folder || value == "+";
    } else if (name == "Attributes") {
        // "D" among the Windows attributes that come first ("D drwxr-xr-x" for a folder, "A" for a file).
        entry.folder = entry.folder || value.substr(0, value.find(' ')).find('D') != std::string::npos;
    }
    return true;
}

}  // namespace

std::vector<PackageEntry> ParsePackageListing(const std::string& utf8) {
    std::vector<PackageEntry> entries;
    std::istringstream lines(utf8);
    std::string line;
    bool inEntries = false;
    PackageEntry entry;
    bool hasPath = false;
    auto finish = [&] {
        if (hasPath) entries.push_back(entry);
        entry = PackageEntry();
        hasPath = false;
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!inEntries) {
            // The archive's own block comes first; the entries follow this line.
            inEntries = line == "----------";
            continue;
        }
        if (line.empty()) {
            finish();
            continue;
        }
        ReadField(line, entry, hasPath);
    }
    finish();
    return entries;
}

const PackageEntry* FindPackageEntry(const std::vector<PackageEntry>& entries, const std::wstring& relativePath) {
    const std::wstring wanted = WithBackslashes(relativePath);
    for (const PackageEntry& entry : entries)
        if (!entry.folder && entry.path.size() == wanted.size() &&
            ::CompareStringOrdinal(entry.path.c_str(), static_cast<int>(entry.path.size()), wanted.c_str(),
                                   static_cast<int>(wanted.size()), TRUE) == CSTR_EQUAL)
            return &entry;
    return nullptr;
}

bool MatchesEntry(const PackageEntry& entry, uint64_t bytes, uint32_t crc) {
    return !entry.folder && entry.size == bytes && (!entry.crc || *entry.crc == crc);
}

uint64_t UnpackedSize(const std::vector<PackageEntry>& entries) {
    uint64_t total = 0;
    for (const PackageEntry& entry : entries)
        if (!entry.folder) total += entry.size;
    return total;
}

}  // namespace vandrel
