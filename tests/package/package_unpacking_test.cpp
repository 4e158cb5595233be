#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "package/image_selection.h"
#include "package/package_unpacking.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "upgrade/target_device.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {
namespace {

const wchar_t kCaption[] = L"7z Extraction Failed";
const wchar_t kNo7zaText[] =
    L"Built-in 7za cannot be extracted or written to the secure directory.\n"
    L"Please make sure that the resource IDR_7ZA_EXE is correctly embedded, and the current user has write "
    L"permission to %LOCALAPPDATA%\\QuorraUpgrade\\<GUID>.";

std::wstring ExitCodeText(const wchar_t* code) {
    return std::wstring(L"Extraction failed (7za exit code=") + code +
           L"). Please verify the password or file integrity.";
}

const FileTree kFirmware = {
    {L"fw_V0.img", std::string(3000, '0')},
    {L"fw_V1.img", std::string(5000, '1')},
    {L"images for v2\\deep\\fw_V2.img", std::string(70000, '2')},
    {L"readme.txt", "not an image"},
};

// A workspace of its own (the real base folder moved aside), a fresh run folder, and packages made
// from kFirmware in a folder whose path holds blanks.
class UnpackPackageTest : public WorkspaceTest {
protected:
    void SetUp() override {
        WorkspaceTest::SetUp();
        if (HasFatalFailure()) return;
        run_ = GetRunFolder(true);
        ASSERT_TRUE(WriteTree(content_.path(), kFirmware));
        packages_ = packageDir_ / L"firmware packages\\";
        ASSERT_TRUE(::CreateDirectoryW(packages_.c_str(), nullptr));
    }

    // A package of kFirmware under packages_, made with the password.
    std::wstring Package(const std::wstring& name, const std::wstring& password = kPackagePassword) {
        const std::wstring package = packages_ + name;
        EXPECT_EQ(0, MakePackage(content_.path(), package, password));
        return package;
    }

    void ExpectOneBox(const std::wstring& text) {
        ASSERT_EQ(1u, output_.boxes.size());
        EXPECT_EQ(text, output_.boxes[0].text);
        EXPECT_EQ(kCaption, output_.boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), output_.boxes[0].type);
    }

    TempDir content_;
    TempDir packageDir_;
    std::wstring packages_;
    std::wstring run_;
    RecordingOutput output_;
};

TEST_F(UnpackPackageTest, UnpacksThePackageIntoTheRunFolderAndNowhereElse) {
    const std::wstring package = Package(L"quorra firmware 1.2.bin");

    ASSERT_TRUE(UnpackPackage(package, output_));

    EXPECT_TRUE(output_.boxes.empty());
    EXPECT_TRUE(output_.lines.empty());
    EXPECT_TRUE(ReadTree(run_) == kFirmware);
    // The run folder (given with its trailing backslash) and the extractor; nothing beside them.
    std::vector<std::wstring> expected = {run_.substr(base().size(), run_.size() - base().size() - 1),
                                          L"7za.exe"};
    std::vector<std::wstring> entries = ListEntries(base());
    std::sort(expected.begin(), expected.end());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(expected, entries);
}

TEST_F(UnpackPackageTest, UnpackedImageIsFoundForTheDevice) {
    ASSERT_TRUE(UnpackPackage(Package(L"pkg.7z"), output_));
    std::wstring image;
    ASSERT_EQ(ImageChoice::kChosen, FindImageForHardwareVersion(GetRunFolder(false), L"*.img", HardwareVersionOf(0x110F), image));
    EXPECT_EQ(run_ + L"images for v2\\deep\\fw_V2.img", image);
    EXPECT_TRUE(ReadFileBytes(image) == kFirmware.at(L"images for v2\\deep\\fw_V2.img"));
}

TEST_F(UnpackPackageTest, SamePackageUnpacksAgainIntoEachNewRunFolder) {
    const std::wstring package = Package(L"pkg.bin");
    ASSERT_TRUE(UnpackPackage(package, output_));
    const std::wstring first = run_;
    const std::wstring second = GetRunFolder(true);
    ASSERT_TRUE(UnpackPackage(package, output_));
    // And once more into the same folder: 7za overwrites without asking.
    ASSERT_TRUE(UnpackPackage(package, output_));

    EXPECT_TRUE(output_.boxes.empty());
    EXPECT_TRUE(ReadTree(first) == kFirmware);
    EXPECT_TRUE(ReadTree(second) == kFirmware);
}

TEST_F(UnpackPackageTest, PackageThatCannotBeOpenedShowsTheExitCode) {
    struct Case {
        const wchar_t* name;
        std::wstring path;
    };
    const std::wstring good = Package(L"good.bin");
    const std::string bytes = ReadFileBytes(good);
    ASSERT_TRUE(WriteFileBytes(packages_ + L"truncated.bin", bytes.substr(0, bytes.size() / 2)));
    const Case cases[] = {
        {L"wrong password", Package(L"other password.bin", L"not_the_built_in_one")},
        {L"truncated", packages_ + L"truncated.bin"},
        {L"missing", packages_ + L"missing.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring run = GetRunFolder(true);
        output_.boxes.clear();

        EXPECT_FALSE(UnpackPackage(c.path, output_));

        ExpectOneBox(ExitCodeText(L"2"));
        EXPECT_EQ(0u, ReadTree(run).count(L"fw_V1.img"));
    }
}

BOOL WINAPI FailingExitCodeQuery(HANDLE, DWORD* exitCode) {
    *exitCode = 0;  // what a careless caller would take for success
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(UnpackPackageTest, UnreadableExitCodeIsAFailedExtraction) {
    const std::wstring package = Package(L"pkg.bin");
    const SeamOverride<ExitCodeQuery> failing(&SetExitCodeQuery, &FailingExitCodeQuery);
    EXPECT_FALSE(UnpackPackage(package, output_));
    ExpectOneBox(ExitCodeText(L"4294967295"));
}

TEST_F(UnpackPackageTest, ExtractorThatCannotBeWrittenShowsTheResourceMessage) {
    const std::wstring package = Package(L"pkg.bin");
    const std::wstring extractor = base() + L"7za.exe";
    struct Case {
        const wchar_t* name;
        bool folder;
    };
    // A planted file held open cannot be replaced (Wine as root would write into a read-only one).
    for (const Case& c : {Case{L"a folder in its place", true}, Case{L"a planted file in use", false}}) {
        SCOPED_TRACE(c.name);
        UniqueFile held;
        if (c.folder) {
            ASSERT_TRUE(::CreateDirectoryW(extractor.c_str(), nullptr));
        } else {
            ASSERT_TRUE(WriteFileBytes(extractor, "MZ planted"));
            held = LockFile(extractor);
            ASSERT_TRUE(held);
        }
        output_.boxes.clear();

        EXPECT_FALSE(UnpackPackage(package, output_));

        ExpectOneBox(kNo7zaText);
        EXPECT_TRUE(ReadTree(run_).empty());
        held.reset();
        if (!::DeleteFileW(extractor.c_str())) ::RemoveDirectoryW(extractor.c_str());
    }
}

TEST_F(UnpackPackageTest, MissingRunFolderMeansTheExtractorCannotBeLaunched) {
    const std::wstring package = Package(L"pkg.bin");
    ASSERT_TRUE(::RemoveDirectoryW(run_.c_str()));

    EXPECT_FALSE(UnpackPackage(package, output_));

    ExpectOneBox(L"Failed to launch the built-in 7za.");
    EXPECT_FALSE(FolderExists(run_));
}

}  // namespace
}  // namespace vandrel::test
