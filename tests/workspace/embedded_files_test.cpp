#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/sha256.h"
#include "resources/resource.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/embedded_files.h"
#include "workspace/carried_file.h"
#include "workspace/file_facts.h"

namespace vandrel::test {
namespace {

const int kDriverIds[] = {IDR_DIFXAPI_DLL, IDR_DRIVER_X64_EXE, IDR_ROCKUSB_CAT, IDR_ROCKUSB_INF, IDR_ROCKUSB_SYS};
const wchar_t* const kDriverNames[] = {L"DIFxAPI.dll", L"driver_x64.exe", L"rockusb.cat", L"rockusb.inf",
                                       L"rockusb.sys"};

HMODULE Self() { return ::GetModuleHandleW(nullptr); }

// The files this test program carries (see the CMakeLists): driver_x64.exe's is one byte longer than a
// write block.
std::string TestFileContent(int id) {
    if (id != IDR_DRIVER_X64_EXE) return "embedded test file " + std::to_string(id) + "\n";
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
enum class Planted { Nothing, Resource, AlteredResource, DoubledResource, EmptyFile, ShortFile, Folder };
struct TargetCase {
    const char* name;
    Planted planted;
    DWORD attributes;
    bool heldOpen;   // by another opener that shares reading and writing but not deletion
    bool succeeds;
    bool rewritten;  // holds the resource afterwards; otherwise untouched
};

const TargetCase kTargetCases[] = {
    {"missing", Planted::Nothing, 0, false, true, true},
    {"same size and content, not hidden", Planted::Resource, 0, false, true, false},
    {"same size and content, read-only", Planted::Resource, FILE_ATTRIBUTE_READONLY, false, true, false},
    {"same size and content, in use", Planted::Resource, 0, true, true, false},
    {"same size, other content", Planted::AlteredResource, 0, false, true, true},
    {"other size, hidden", Planted::DoubledResource, FILE_ATTRIBUTE_HIDDEN, false, true, true},
    {"empty file", Planted::EmptyFile, 0, false, true, true},
    {"other size, read-only", Planted::ShortFile, FILE_ATTRIBUTE_READONLY, false, false, false},
    {"same size, other content, read-only", Planted::AlteredResource, FILE_ATTRIBUTE_READONLY, false, false,
     false},
    {"other size, in use", Planted::ShortFile, 0, true, false, false},
    {"same size, other content, in use", Planted::AlteredResource, 0, true, false, false},
    {"a folder", Planted::Folder, 0, false, false, false},
};

// Puts the case's target in place; the returned handle keeps it in use while it lives.
UniqueFile PlantTarget(const TargetCase& c, const std::wstring& target, const std::string& resource) {
    switch (c.planted) {
    case Planted::Nothing: return UniqueFile();
    case Planted::Folder: EXPECT_TRUE(::CreateDirectoryW(target.c_str(), nullptr)); return UniqueFile();
    case Planted::Resource: Plant(target, resource, c.attributes); break;
    case Planted::AlteredResource: {
        std::string altered = resource;
        altered[altered.size() / 2] ^= 0x5A;
        Plant(target, altered, c.attributes);
        break;
    }
    case Planted::DoubledResource: Plant(target, resource + resource, c.attributes); break;
    case Planted::EmptyFile: Plant(target, "", c.attributes); break;
    case Planted::ShortFile: Plant(target, "old", c.attributes); break;
    }
    return c.heldOpen ? LockFile(target) : UniqueFile();
}

// Wine running as root writes into read-only files; the cases that rely on the refusal need a platform
// that refuses.
bool ReadOnlyIsRefused() {
    TempDir dir;
    const std::wstring probe = dir / L"probe";
    WriteFileBytes(probe, "probe");
    ::SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_READONLY);
    const bool refused = !UniqueFile(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    ::SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    return refused;
}

bool CanRun(const TargetCase& c) {
    static const bool readOnlyRefused = ReadOnlyIsRefused();
    if (c.succeeds || !(c.attributes & FILE_ATTRIBUTE_READONLY) || readOnlyRefused) return true;
    std::printf("[ SKIPPED  ] case \"%s\": read-only files are writable on this platform\n", c.name);
    return false;
}

// Checks a target after an extraction against its case: the resource, hidden; or untouched.
void ExpectOutcome(const TargetCase& c, const std::wstring& target, const std::string& resource,
                   const std::string& before, DWORD attributesBefore, bool result) {
    EXPECT_EQ(c.succeeds, result);
    if (c.rewritten) {
        EXPECT_TRUE(ReadFileBytes(target) == resource);
        // Hidden when made new or hidden before; Wine keeps an overwritten file's old attributes.
        if (c.planted == Planted::Nothing || (attributesBefore & FILE_ATTRIBUTE_HIDDEN)) {
            EXPECT_TRUE(IsHidden(target));
        }
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
    const std::string resource = TestFileContent(IDR_ROCKUSB_CAT);
    for (const TargetCase& c : kTargetCases) {
        SCOPED_TRACE(c.name);
        const std::wstring target = dir_ / (L"target " + std::to_wstring(&c - kTargetCases));
        if (!CanRun(c)) continue;
        const UniqueFile held = PlantTarget(c, target, resource);
        const std::string before = ReadFileBytes(target);
        const DWORD attributesBefore = AttributesOf(target);

        const bool result = WriteResourceToFile(Self(), IDR_ROCKUSB_CAT, target, FILE_ATTRIBUTE_HIDDEN);

        ExpectOutcome(c, target, resource, before, attributesBefore, result);
        MakeWritable(target);
    }
}

TEST_F(WriteResourceToFileTest, ResourceOfOneMoreThanABlockIsWrittenWhole) {
    const std::wstring target = dir_ / L"driver_x64.exe";
    ASSERT_TRUE(WriteResourceToFile(Self(), IDR_DRIVER_X64_EXE, target, FILE_ATTRIBUTE_HIDDEN));
    const std::string written = ReadFileBytes(target);
    ASSERT_EQ(65537u, written.size());
    EXPECT_TRUE(written == TestFileContent(IDR_DRIVER_X64_EXE));
    EXPECT_EQ('Q', written.back());  // the second block's only byte
}

TEST_F(WriteResourceToFileTest, MissingResourceFailsAndTouchesNothing) {
    const std::wstring existing = dir_ / L"existing";
    Plant(existing, "old content");
    EXPECT_FALSE(WriteResourceToFile(Self(), 4242, existing, FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ("old content", ReadFileBytes(existing));
    EXPECT_TRUE(SameTime(kOldTime, WriteTimeOf(existing)));

    const std::wstring missing = dir_ / L"missing";
    EXPECT_FALSE(WriteResourceToFile(Self(), 4242, missing, FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(FileExists(missing));
}

// Between a carried file's writing and its use (the library copy's loading), nobody may swap it or change
// a byte of it.
TEST(NewCarriedFile, IsWrittenExactlyAndHeldAgainstChangeAndDeletion) {
    TempDir folder;
    const std::wstring target = folder / L"blob.bin";
    {
        const UniqueFile held = WriteResourceToNewFileAndHold(Self(), IDR_ROCKUSB_CAT, target, FILE_ATTRIBUTE_HIDDEN);
        ASSERT_TRUE(held);
        EXPECT_EQ(TestFileContent(IDR_ROCKUSB_CAT), ReadFileBytes(target)) << "others may still read it";
        const UniqueFile writer(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                              FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer);
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
        EXPECT_FALSE(::DeleteFileW(target.c_str()));
        EXPECT_FALSE(::MoveFileW(target.c_str(), (folder / L"swapped.bin").c_str()));
        const UniqueFile asTheLoaderOpensIt(::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_EXECUTE,
                                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                                          0, nullptr));
        EXPECT_TRUE(asTheLoaderOpensIt) << "the loader can still open it, error " << ::GetLastError();
    }
    EXPECT_TRUE(::DeleteFileW(target.c_str())) << "let go with the handle";
}

TEST(NewCarriedFile, FailsForAMissingResourceAnUnwritablePathOrAFileThatIsThere) {
    TempDir folder;
    const DWORD hidden = FILE_ATTRIBUTE_HIDDEN;
    EXPECT_FALSE(WriteResourceToNewFileAndHold(Self(), 4242, folder / L"missing.bin", hidden));
    EXPECT_FALSE(FileExists(folder / L"missing.bin"));
    EXPECT_FALSE(WriteResourceToNewFileAndHold(Self(), IDR_ROCKUSB_CAT, folder / L"no\\such\\folder\\blob.bin", hidden));
    ASSERT_TRUE(WriteFileBytes(folder / L"planted.bin", "planted"));
    EXPECT_FALSE(WriteResourceToNewFileAndHold(Self(), IDR_ROCKUSB_CAT, folder / L"planted.bin", hidden))
        << "never written over";
    EXPECT_EQ("planted", ReadFileBytes(folder / L"planted.bin"));
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
    EXPECT_TRUE(ReadFileBytes(tool) == TestFileContent(IDR_DRIVER_X64_EXE));
    EXPECT_TRUE(SameTime(kOldTime, WriteTimeOf(inf)));
}

TEST_F(ExtractDriverPackageTest, FailureAtTheCatalogLeavesTheFilesAfterItUntouched) {
    ASSERT_TRUE(::CreateDirectoryW((base() + L"rockusb.cat").c_str(), nullptr));
    Plant(base() + L"rockusb.inf", "old inf");

    EXPECT_FALSE(ExtractDriverPackage());

    EXPECT_TRUE(ReadFileBytes(base() + L"DIFxAPI.dll") == TestFileContent(IDR_DIFXAPI_DLL));
    EXPECT_TRUE(ReadFileBytes(base() + L"driver_x64.exe") == TestFileContent(IDR_DRIVER_X64_EXE));
    EXPECT_TRUE(FolderExists(base() + L"rockusb.cat"));
    EXPECT_EQ("old inf", ReadFileBytes(base() + L"rockusb.inf"));
    EXPECT_TRUE(SameTime(kOldTime, WriteTimeOf(base() + L"rockusb.inf")));
    EXPECT_FALSE(FileExists(base() + L"rockusb.sys"));
}

using ExtractBuiltIn7zaTest = WorkspaceTest;

// The SHA-256 of bytes, in lower-case hexadecimal.
std::wstring Sha256Of(const std::string& bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.FinishHex();
}

// The file version in a program's or DLL's version resource, as "major.minor"; empty when it has none.
std::wstring FileVersionOf(const std::wstring& path) {
    DWORD ignored = 0;
    std::vector<BYTE> block(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (block.empty() || !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &size) || !info)
        return {};
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS));
}

// 7-Zip 26.03, the build the tool pins: 21.07 and older open formats with published code-execution faults.
TEST_F(ExtractBuiltIn7zaTest, WritesTheCarried7Zip2603HiddenAndNotTemporary) {
    struct Carried {
        int id;
        const wchar_t* name;
        const wchar_t* sha256;  // as the build pins it for this architecture
    };
    const std::wstring path = ExtractBuiltIn7za();
    ASSERT_EQ(base() + L"7z.exe", path);
    for (const Carried& c : {Carried{IDR_7ZA_EXE, L"7z.exe", SEVENZIP_EXE_SHA256},
                             Carried{IDR_7Z_DLL, L"7z.dll", SEVENZIP_DLL_SHA256}}) {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        const std::string genuine = OwnResource(c.id);
        ASSERT_FALSE(genuine.empty());
        EXPECT_EQ(c.sha256, Sha256Of(genuine));
        const std::wstring file = base() + c.name;
        EXPECT_TRUE(ReadFileBytes(file) == genuine);
        EXPECT_EQ(L"26.3", FileVersionOf(file));
        // Wine keeps only the hidden, system and archive bits, so the temporary one given at creation is
        // gone there anyway; on Windows this checks that it was dropped.
        const DWORD attributes = AttributesOf(file);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
        EXPECT_FALSE(attributes & FILE_ATTRIBUTE_TEMPORARY);
    }
}

TEST_F(ExtractBuiltIn7zaTest, TargetIsLeftAloneOnlyWhenItIsTheResourceAlready) {
    struct Carried {
        int id;
        const wchar_t* name;
    };
    for (const Carried& file : {Carried{IDR_7ZA_EXE, L"7z.exe"}, Carried{IDR_7Z_DLL, L"7z.dll"}}) {
        const std::string genuine = OwnResource(file.id);
        const std::wstring target = base() + file.name;
        for (const TargetCase& c : kTargetCases) {
            SCOPED_TRACE(std::string(file.name, file.name + wcslen(file.name)) + ": " + c.name);
            if (!CanRun(c)) continue;
            UniqueFile held = PlantTarget(c, target, genuine);
            const std::string before = ReadFileBytes(target);
            const DWORD attributesBefore = AttributesOf(target);

            const std::wstring path = ExtractBuiltIn7za();

            EXPECT_EQ(c.succeeds ? base() + L"7z.exe" : std::wstring(), path);
            ExpectOutcome(c, target, genuine, before, attributesBefore, !path.empty());
            if (c.rewritten) {
                EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
                          AttributesOf(target) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
            }
            held.reset();
            RemoveEntry(target);
        }
    }
}

// What another program can do to a pinned file: write into it, rename it, delete it.
enum class Tamper { Write, Rename, Delete };

DWORD TamperWith(const std::wstring& path, Tamper how) {
    BOOL done = FALSE;
    switch (how) {
    case Tamper::Write: {
        const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                                              FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        done = static_cast<bool>(file);
        break;
    }
    case Tamper::Rename: done = ::MoveFileExW(path.c_str(), (path + L".old").c_str(), 0); break;
    case Tamper::Delete: done = ::DeleteFileW(path.c_str()); break;
    }
    return done ? ERROR_SUCCESS : ::GetLastError();
}

// Both files are held: the DLL is loaded by the running extractor well after its start, so a DLL that
// could still be swapped then would run with whatever rights the extractor has.
TEST_F(ExtractBuiltIn7zaTest, PinHoldsTheProgramAndItsLibraryAgainstEveryChange) {
    const std::wstring path = ExtractBuiltIn7za();
    ASSERT_FALSE(path.empty());
    PinnedFiles pinned;
    ASSERT_TRUE(PinBuiltIn7za(path, pinned));
    EXPECT_EQ(2u, pinned.size());
    for (const wchar_t* name : {L"7z.exe", L"7z.dll"})
        for (Tamper how : {Tamper::Write, Tamper::Rename, Tamper::Delete}) {
            SCOPED_TRACE(std::string(name, name + wcslen(name)) + " tamper " + std::to_string(static_cast<int>(how)));
            EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), TamperWith(base() + name, how));
        }
    pinned.clear();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), TamperWith(base() + L"7z.dll", Tamper::Write));
}

TEST_F(ExtractBuiltIn7zaTest, PinRefusesAChangedLibraryOrAnotherName) {
    const std::wstring path = ExtractBuiltIn7za();
    ASSERT_FALSE(path.empty());
    PinnedFiles pinned;
    EXPECT_FALSE(PinBuiltIn7za(base() + L"7za.exe", pinned)) << "the DLL is looked for beside 7z.exe only";
    std::string altered = OwnResource(IDR_7Z_DLL);
    altered[altered.size() / 2] ^= 0x5A;
    ASSERT_TRUE(WriteFileBytes(base() + L"7z.dll", altered));
    EXPECT_FALSE(PinBuiltIn7za(path, pinned));
    EXPECT_TRUE(pinned.empty()) << "nothing stays held after a refusal";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), TamperWith(path, Tamper::Write));
}

}  // namespace
}  // namespace vandrel::test
