#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/embedded_files.h"

namespace vandrel::test {
namespace {

const int kDriverIds[] = {137, 138, 139, 140, 141};
const wchar_t* const kDriverNames[] = {L"DIFxAPI.dll", L"driver_x64.exe", L"rockusb.cat", L"rockusb.inf",
                                       L"rockusb.sys"};

HMODULE Self() { return ::GetModuleHandleW(nullptr); }

// The files this test program carries (see the CMakeLists): 138 is one byte longer than a write block.
std::string TestFileContent(int id) {
    if (id != 138) return "embedded test file " + std::to_string(id) + "\n";
    std::string bytes(65537, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('A' + i % 26);
    return bytes;
}

// A resource of this program read directly, for comparison with what was extracted.
std::string OwnResource(int id) {
    HRSRC resource = ::FindResourceW(Self(), MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!resource) return {};
    const void* data = ::LockResource(::LoadResource(Self(), resource));
    return data ? std::string(static_cast<const char*>(data), ::SizeofResource(Self(), resource)) : std::string();
}

const FILETIME kOldTime = {0xD53E8000, 0x01A8E79F};  // 1 January 2001

void SetWriteTime(const std::wstring& path, const FILETIME& time) {
    UniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &time));
}

FILETIME WriteTimeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

bool IsHidden(const std::wstring& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

// A file of bytes with extra attributes (read-only, hidden) and an old write time, so that a test can
// tell whether it was touched.
void Plant(const std::wstring& path, const std::string& bytes, DWORD attributes = 0) {
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    SetWriteTime(path, kOldTime);
    if (attributes) {
        ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes));
    }
}

// Takes the read-only bit off again so that the temporary folders can be removed.
void MakeWritable(const std::wstring& path) { ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); }

// Removes a file or an empty folder.
void RemoveEntry(const std::wstring& path) {
    MakeWritable(path);
    if (!::DeleteFileW(path.c_str())) ::RemoveDirectoryW(path.c_str());
}

// What stands at a target before the extraction, and what the extraction must make of it.
struct TargetCase {
    const char* name;
    std::function<void(const std::wstring& target, const std::string& resource)> plant;
    bool succeeds;
    bool rewritten;  // holds the resource afterwards, hidden; otherwise untouched
};

std::string Altered(std::string bytes) {
    bytes[bytes.size() / 2] ^= 0x5A;
    return bytes;
}

const TargetCase kTargetCases[] = {
    {"missing", [](const std::wstring&, const std::string&) {}, true, true},
    {"same size and content, not hidden",
     [](const std::wstring& t, const std::string& r) { Plant(t, r); }, true, false},
    {"same size and content, read-only",
     [](const std::wstring& t, const std::string& r) { Plant(t, r, FILE_ATTRIBUTE_READONLY); }, true, false},
    {"same size, other content", [](const std::wstring& t, const std::string& r) { Plant(t, Altered(r)); },
     true, true},
    {"other size, hidden",
     [](const std::wstring& t, const std::string& r) { Plant(t, r + r, FILE_ATTRIBUTE_HIDDEN); }, true, true},
    {"empty file", [](const std::wstring& t, const std::string&) { Plant(t, ""); }, true, true},
    {"other size, read-only",
     [](const std::wstring& t, const std::string& r) { Plant(t, "old", FILE_ATTRIBUTE_READONLY); }, false,
     false},
    {"same size, other content, read-only",
     [](const std::wstring& t, const std::string& r) { Plant(t, Altered(r), FILE_ATTRIBUTE_READONLY); }, false,
     false},
    {"a folder", [](const std::wstring& t, const std::string&) { ASSERT_TRUE(::CreateDirectoryW(t.c_str(), nullptr)); },
     false, false},
};

// Checks a target after an extraction against its case: the resource, hidden; or untouched.
void ExpectOutcome(const TargetCase& c, const std::wstring& target, const std::string& resource,
                   const std::string& before, DWORD attributesBefore, bool result) {
    EXPECT_EQ(c.succeeds, result);
    if (c.rewritten) {
        EXPECT_TRUE(ReadFileBytes(target) == resource);
        EXPECT_TRUE(IsHidden(target));
    } else {
        EXPECT_TRUE(ReadFileBytes(target) == before);
        EXPECT_EQ(attributesBefore, AttributesOf(target));
        if (FileExists(target)) {
            EXPECT_TRUE(SameTime(kOldTime, WriteTimeOf(target)));
        }
    }
}

class WriteResourceToFileTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(WriteResourceToFileTest, TargetIsLeftAloneOnlyWhenItIsTheResourceAlready) {
    const std::string resource = TestFileContent(139);
    for (const TargetCase& c : kTargetCases) {
        SCOPED_TRACE(c.name);
        const std::wstring target = dir_ / (L"target " + std::to_wstring(&c - kTargetCases));
        c.plant(target, resource);
        const std::string before = ReadFileBytes(target);
        const DWORD attributesBefore = AttributesOf(target);

        const bool result = WriteResourceToFile(Self(), 139, RT_RCDATA, target);

        ExpectOutcome(c, target, resource, before, attributesBefore, result);
        MakeWritable(target);
    }
}

TEST_F(WriteResourceToFileTest, ResourceOfOneMoreThanABlockIsWrittenWhole) {
    const std::wstring target = dir_ / L"driver_x64.exe";
    ASSERT_TRUE(WriteResourceToFile(Self(), 138, RT_RCDATA, target));
    const std::string written = ReadFileBytes(target);
    ASSERT_EQ(65537u, written.size());
    EXPECT_TRUE(written == TestFileContent(138));
    EXPECT_EQ('Q', written.back());  // the second block's only byte
}

TEST_F(WriteResourceToFileTest, MissingResourceFailsAndTouchesNothing) {
    const std::wstring existing = dir_ / L"existing";
    Plant(existing, "old content");
    EXPECT_FALSE(WriteResourceToFile(Self(), 4242, RT_RCDATA, existing));
    EXPECT_EQ("old content", ReadFileBytes(existing));
    EXPECT_TRUE(SameTime(kOldTime, WriteTimeOf(existing)));

    const std::wstring missing = dir_ / L"missing";
    EXPECT_FALSE(WriteResourceToFile(Self(), 4242, RT_RCDATA, missing));
    EXPECT_FALSE(FileExists(missing));
}

TEST(QueryFileSize, IsTheSizeOrAllOnes) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / L"five", "12345"));
    EXPECT_EQ(5u, QueryFileSize(dir / L"five"));
    EXPECT_EQ(~uint64_t{0}, QueryFileSize(dir / L"missing"));
    EXPECT_EQ(~uint64_t{0}, QueryFileSize(dir / L"missing folder\\file"));
}

using ExtractDriverPackageTest = WorkspaceTest;

TEST_F(ExtractDriverPackageTest, WritesTheFiveFilesHiddenIntoTheBaseFolder) {
    ASSERT_TRUE(ExtractDriverPackage());
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(kDriverIds[i]);
        const std::wstring path = base() + kDriverNames[i];
        EXPECT_TRUE(ReadFileBytes(path) == TestFileContent(kDriverIds[i]));
        EXPECT_TRUE(IsHidden(path));
    }
    EXPECT_EQ(5u, ListEntries(base()).size());
}

TEST_F(ExtractDriverPackageTest, PlantedSameSizeToolIsReplacedAndOwnFilesAreLeftAlone) {
    ASSERT_TRUE(ExtractDriverPackage());
    const std::wstring tool = base() + L"driver_x64.exe";
    const std::wstring inf = base() + L"rockusb.inf";
    MakeWritable(tool);
    Plant(tool, std::string(65537, 'x'));
    SetWriteTime(inf, kOldTime);

    ASSERT_TRUE(ExtractDriverPackage());
    EXPECT_TRUE(ReadFileBytes(tool) == TestFileContent(138));
    EXPECT_TRUE(SameTime(kOldTime, WriteTimeOf(inf)));
}

TEST_F(ExtractDriverPackageTest, FailureAtTheCatalogLeavesTheFilesAfterItUntouched) {
    ASSERT_TRUE(::CreateDirectoryW((base() + L"rockusb.cat").c_str(), nullptr));
    Plant(base() + L"rockusb.inf", "old inf");

    EXPECT_FALSE(ExtractDriverPackage());

    EXPECT_TRUE(ReadFileBytes(base() + L"DIFxAPI.dll") == TestFileContent(137));
    EXPECT_TRUE(ReadFileBytes(base() + L"driver_x64.exe") == TestFileContent(138));
    EXPECT_TRUE(FolderExists(base() + L"rockusb.cat"));
    EXPECT_EQ("old inf", ReadFileBytes(base() + L"rockusb.inf"));
    EXPECT_TRUE(SameTime(kOldTime, WriteTimeOf(base() + L"rockusb.inf")));
    EXPECT_FALSE(FileExists(base() + L"rockusb.sys"));
}

using ExtractBuiltIn7zaTest = WorkspaceTest;

TEST_F(ExtractBuiltIn7zaTest, WritesTheCarried7zaHiddenAndNotTemporary) {
    const std::wstring path = ExtractBuiltIn7za();
    ASSERT_EQ(base() + L"7za.exe", path);
    const std::string genuine = OwnResource(1012);
    ASSERT_FALSE(genuine.empty());
    EXPECT_TRUE(ReadFileBytes(path) == genuine);
    const DWORD attributes = AttributesOf(path);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_TEMPORARY);
}

TEST_F(ExtractBuiltIn7zaTest, TargetIsLeftAloneOnlyWhenItIsTheResourceAlready) {
    const std::string genuine = OwnResource(1012);
    const std::wstring target = base() + L"7za.exe";
    for (const TargetCase& c : kTargetCases) {
        SCOPED_TRACE(c.name);
        c.plant(target, genuine);
        const std::string before = ReadFileBytes(target);
        const DWORD attributesBefore = AttributesOf(target);

        const std::wstring path = ExtractBuiltIn7za();

        EXPECT_EQ(c.succeeds ? target : std::wstring(), path);
        ExpectOutcome(c, target, genuine, before, attributesBefore, !path.empty());
        RemoveEntry(target);
    }
}

}  // namespace
}  // namespace vandrel::test
