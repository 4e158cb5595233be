#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/decoys.h"

namespace vandrel::test {
namespace {

NTSTATUS FailingSource(PUCHAR, ULONG) { return static_cast<NTSTATUS>(0xC0000001L); }  // STATUS_UNSUCCESSFUL
NTSTATUS ConstantSource(PUCHAR buffer, ULONG size) {
    std::memset(buffer, 0xAB, size);
    return 0;
}

ULONGLONG SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return ~0ull;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsDecoyName(const std::wstring& name) {
    return name.size() == 39 && name.compare(0, 3, L"fw_") == 0 && IsUpperHex(name.substr(3, 32), 32) &&
           name.compare(35, 4, L".img") == 0;
}

using DecoyImages = WorkspaceTest;

TEST_F(DecoyImages, ThreeFoldersEachWithOneHiddenImageOfWholeKiB) {
    CreateDecoyImages(3, 1, 256, 1024);

    const std::vector<std::wstring> folders = ListEntries(base());
    ASSERT_EQ(3u, folders.size());
    for (const std::wstring& folderName : folders) {
        const std::wstring folder = base() + folderName + L"\\";
        EXPECT_TRUE(FolderExists(folder));
        EXPECT_TRUE(IsUpperHex(folderName, 32));
        const std::vector<std::wstring> files = ListEntries(folder);
        ASSERT_EQ(1u, files.size());
        EXPECT_TRUE(IsDecoyName(files[0])) << std::string(files[0].begin(), files[0].end());
        const std::wstring image = folder + files[0];
        EXPECT_TRUE(AttributesOf(image) & FILE_ATTRIBUTE_HIDDEN);
        const ULONGLONG size = SizeOf(image);
        EXPECT_EQ(0u, size % 1024) << size;
        EXPECT_GE(size, 256u * 1024);
        EXPECT_LE(size, 1024u * 1024);
    }
}

TEST_F(DecoyImages, EveryFolderGetsItsFilesOfTheGivenSize) {
    CreateDecoyImages(2, 3, 5, 5);
    const std::vector<std::wstring> folders = ListEntries(base());
    ASSERT_EQ(2u, folders.size());
    std::set<std::wstring> names;
    for (const std::wstring& folderName : folders) {
        const std::vector<std::wstring> files = ListEntries(base() + folderName + L"\\");
        ASSERT_EQ(3u, files.size());
        for (const std::wstring& file : files) {
            EXPECT_EQ(5u * 1024, SizeOf(base() + folderName + L"\\" + file));
            names.insert(file);
        }
    }
    EXPECT_EQ(6u, names.size());
}

TEST_F(DecoyImages, AnImageThatCannotBeFilledIsDeleted) {
    RandomOverride failing(&FailingSource);
    CreateDecoyImages(3, 1, 256, 1024);
    const std::vector<std::wstring> folders = ListEntries(base());
    ASSERT_EQ(3u, folders.size());
    for (const std::wstring& folderName : folders) EXPECT_TRUE(ListEntries(base() + folderName + L"\\").empty());
}

TEST(FillFileWithRandom, WritesExactlyTheGivenKiBOfRandomBytes) {
    TempDir dir;
    for (uint32_t kib : {0u, 1u, 64u, 65u, 130u}) {
        const std::wstring path = dir / L"fill.bin";
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        EXPECT_TRUE(FillFileWithRandom(file.get(), kib)) << kib;
        file.reset();
        const std::string bytes = ReadFileBytes(path);
        ASSERT_EQ(kib * 1024u, bytes.size()) << kib;
        if (kib >= 64) {
            // Every block is freshly drawn: no two 64 KiB blocks alike, and many distinct byte values.
            EXPECT_NE(bytes.substr(0, 1024), bytes.substr(65536, 1024)) << kib;
            EXPECT_GT(std::set<char>(bytes.begin(), bytes.end()).size(), 200u) << kib;
        }
    }
}

TEST(FillFileWithRandom, ReportsAFailedWriteOrRandomSource) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / L"fill.bin", ""));
    UniqueFile readOnly(::CreateFileW((dir / L"fill.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    ASSERT_TRUE(readOnly);
    EXPECT_FALSE(FillFileWithRandom(readOnly.get(), 4));
    readOnly.reset();

    RandomOverride failing(&FailingSource);
    UniqueFile file(::CreateFileW((dir / L"fill.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr));
    ASSERT_TRUE(file);
    EXPECT_FALSE(FillFileWithRandom(file.get(), 4));
}

TEST(RandomInRange, StaysWithinTheBoundsGivenInEitherOrder) {
    struct Case {
        uint32_t a, b;
    };
    const Case cases[] = {{256, 1024}, {1024, 256}, {7, 7}, {0, 1}, {0xFFFFFFF0u, 0xFFFFFFFFu}};
    for (const Case& c : cases) {
        const uint32_t low = c.a < c.b ? c.a : c.b;
        const uint32_t high = c.a < c.b ? c.b : c.a;
        for (int i = 0; i < 200; ++i) {
            const uint32_t value = RandomInRange(c.a, c.b);
            ASSERT_GE(value, low) << c.a << ".." << c.b;
            ASSERT_LE(value, high) << c.a << ".." << c.b;
        }
    }
}

TEST(RandomInRange, ReversedBoundsCoverTheSameRange) {
    std::set<uint32_t> forward, reversed;
    for (int i = 0; i < 300; ++i) {
        forward.insert(RandomInRange(1, 3));
        reversed.insert(RandomInRange(3, 1));
    }
    const std::set<uint32_t> all{1, 2, 3};
    EXPECT_EQ(all, forward);
    EXPECT_EQ(all, reversed);
}

TEST(RandomInRange, MapsTheDrawnValueOntoTheRange) {
    RandomOverride constant(&ConstantSource);  // draws 0xABABABAB = 2880154539
    EXPECT_EQ(19u, RandomInRange(10, 20));     // 10 + 2880154539 % 11
    EXPECT_EQ(19u, RandomInRange(20, 10));
    EXPECT_EQ(639u, RandomInRange(256, 1024));  // 256 + 2880154539 % 769
    // The whole 32-bit range must not divide by zero.
    EXPECT_EQ(0xABABABABu, RandomInRange(0, 0xFFFFFFFFu));
}

TEST(RandomInRange, AFailingSourceGivesTheLowerBound) {
    RandomOverride failing(&FailingSource);
    EXPECT_EQ(10u, RandomInRange(10, 20));
    EXPECT_EQ(10u, RandomInRange(20, 10));
    EXPECT_EQ(256u, RandomInRange(1024, 256));
}

}  // namespace
}  // namespace vandrel::test
