// The package's own listing, as 7za's technical listing gives it, and the comparison that tells a whole
// unpacked image from one cut short. The listings here are fabricated: a package whose entry was changed
// after packing is hard to make.
#include <gtest/gtest.h>

#include "package/package_listing.h"

namespace vandrel {
namespace {

const char kListing[] =
    "7-Zip (a) 21.07 (x86) : Copyright (c) 1999-2021 Igor Pavlov : 2021-12-26\r\n"
    "\r\n"
    "Scanning the drive for archives:\r\n"
    "1 file, 1759 bytes (2 KiB)\r\n"
    "\r\n"
    "Listing archive: C:\\firmware\\pkg.bin\r\n"
    "\r\n"
    "--\r\n"
    "Path = C:\\firmware\\pkg.bin\r\n"
    "Type = 7z\r\n"
    "Physical Size = 1759\r\n"
    "\r\n"
    "----------\r\n"
    "Path = sub\r\n"
    "Size = 0\r\n"
    "Attributes = D drwxr-xr-x\r\n"
    "CRC = \r\n"
    "\r\n"
    "Path = fw_V1.img\r\n"
    "Size = 1000\r\n"
    "Attributes = A -rw-r--r--\r\n"
    "CRC = D81666EE\r\n"
    "Encrypted = +\r\n"
    "\r\n"
    "Path = sub\\\xE5\x9B\xBA\xE4\xBB\xB6_V2.img\r\n"  // UTF-8 of a Japanese name
    "Size = 5000000000\r\n"
    "Attributes = A\r\n"
    "CRC = 2a06b80f\r\n"
    "\r\n"
    "Path = empty_V0.img\r\n"
    "Size = 0\r\n"
    "CRC = \r\n";

TEST(PackageListing, GivesEachEntryWithItsSizeAndCrc) {
    const std::vector<PackageEntry> entries = ParsePackageListing(kListing);
    ASSERT_EQ(4u, entries.size());
    EXPECT_EQ(L"sub", entries[0].path);
    EXPECT_TRUE(entries[0].folder);
    EXPECT_FALSE(entries[0].crc);
    EXPECT_EQ(L"fw_V1.img", entries[1].path);
    EXPECT_EQ(1000u, entries[1].size);
    EXPECT_EQ(0xD81666EEu, entries[1].crc.value_or(0));
    EXPECT_EQ(L"sub\\\x56FA\x4EF6_V2.img", entries[2].path);
    EXPECT_EQ(5000000000u, entries[2].size) << "sizes over 4 GiB";
    EXPECT_EQ(0x2A06B80Fu, entries[2].crc.value_or(0));
    EXPECT_FALSE(entries[3].crc) << "an empty file has no CRC";
    EXPECT_EQ(5000001000u, UnpackedSize(entries));
}

TEST(PackageListing, FindsAFileByItsPathInThePackage) {
    const std::vector<PackageEntry> entries = ParsePackageListing(kListing);
    const struct {
        const wchar_t* path;
        const wchar_t* found;  // null: none
    } cases[] = {
        {L"fw_V1.img", L"fw_V1.img"},
        {L"FW_v1.IMG", L"fw_V1.img"},
        {L"sub/\x56FA\x4EF6_V2.img", L"sub\\\x56FA\x4EF6_V2.img"},
        {L"sub", nullptr},  // a folder is no image
        {L"other\\fw_V1.img", nullptr},
        {L"", nullptr},
    };
    for (const auto& c : cases) {
        const PackageEntry* entry = FindPackageEntry(entries, c.path);
        EXPECT_EQ(c.found != nullptr, entry != nullptr) << std::wstring(c.path).size();
        if (entry && c.found) EXPECT_EQ(c.found, entry->path);
    }
}

TEST(PackageListing, AnUnpackedFileMatchesOnlyWithItsListedSizeAndCrc) {
    const std::vector<PackageEntry> entries = ParsePackageListing(kListing);
    const PackageEntry& image = entries[1];
    EXPECT_TRUE(MatchesEntry(image, 1000, 0xD81666EE));
    EXPECT_FALSE(MatchesEntry(image, 999, 0xD81666EE)) << "cut short";
    EXPECT_FALSE(MatchesEntry(image, 1000, 0xD81666EF)) << "same size, other bytes";
    EXPECT_TRUE(MatchesEntry(entries[3], 0, 0)) << "an empty file, no CRC listed";
    EXPECT_FALSE(MatchesEntry(entries[0], 0, 0)) << "a folder";
}

TEST(PackageListing, WithoutTheEntriesLineThereAreNone) {
    EXPECT_TRUE(ParsePackageListing("").empty());
    EXPECT_TRUE(ParsePackageListing("ERROR: Wrong password : pkg.bin\r\n").empty());
    EXPECT_TRUE(ParsePackageListing("--\r\nPath = pkg.bin\r\nType = 7z\r\n").empty());
}

}  // namespace
}  // namespace vandrel
