// What a firmware package says of its own entries, as 7za's technical listing ("7za l -slt") gives
// them: path, size and CRC. The unpacked image is held against it before it is written anywhere, so
// that an unpacking that was cut short is never taken for a whole one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vandrel {

struct PackageEntry {
    std::wstring path;  // inside the package, with backslashes
    uint64_t size = 0;
    std::optional<uint32_t> crc;  // none for folders and empty files
    bool folder = false;
};

// The entries of a technical listing in UTF-8 (7za's -sccUTF-8): the blocks after the "----------" line,
// each a run of "Name = value" lines ended by an empty one. Blocks without a path are skipped.
std::vector<PackageEntry> ParsePackageListing(const std::string& utf8);

// The entry of the file at relativePath (letter case aside, "/" and "\" alike), or null.
const PackageEntry* FindPackageEntry(const std::vector<PackageEntry>& entries, const std::wstring& relativePath);

// Whether an unpacked file of bytes with the CRC-32 crc is the entry as listed: the same size, and the same
// CRC where the listing gives one (an empty file has none).
bool MatchesEntry(const PackageEntry& entry, uint64_t bytes, uint32_t crc);

// The space the unpacked package needs: the sum of its files' sizes.
uint64_t UnpackedSize(const std::vector<PackageEntry>& entries);

}  // namespace vandrel
