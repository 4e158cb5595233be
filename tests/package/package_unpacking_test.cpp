#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package/image_selection.h"
#include "package/package_unpacking.h"
#include "common/text.h"
#include "resources/resource.h"
#include "tests/common/token_facts.h"
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
                                          L"7z.exe", L"7z.dll"};
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
    struct Case {
        const wchar_t* name;
        const wchar_t* file;
        bool folder;
    };
    // A planted file held open cannot be replaced (Wine as root would write into a read-only one). The
    // program is useless without its DLL: either one not in place stops the run.
    for (const Case& c : {Case{L"a folder in place of 7z.exe", L"7z.exe", true},
                          Case{L"a planted 7z.exe in use", L"7z.exe", false},
                          Case{L"a folder in place of 7z.dll", L"7z.dll", true},
                          Case{L"a planted 7z.dll in use", L"7z.dll", false}}) {
        SCOPED_TRACE(c.name);
        const std::wstring extractor = base() + c.file;
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
        for (const wchar_t* name : {L"7z.exe", L"7z.dll"})  // what was planted, and what was written beside it
            if (!::DeleteFileW((base() + name).c_str())) ::RemoveDirectoryW((base() + name).c_str());
    }
}

// A package that cannot be held against writing is never given to 7-Zip: what it lists and what it
// extracts could be two different files.
TEST_F(UnpackPackageTest, PackageThatCannotBeHeldEndsTheRunBeforeTheExtractor) {
    const std::wstring inUse = Package(L"in use.bin");
    const UniqueFile writer(::CreateFileW(inUse.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    ASSERT_TRUE(::CreateDirectoryW((packages_ + L"folder.bin").c_str(), nullptr));
    struct Case {
        const wchar_t* name;
        std::wstring path;
    };
    for (const Case& c : {Case{L"missing", packages_ + L"missing.bin"},
                          Case{L"open for writing by another program", inUse},
                          Case{L"a folder", packages_ + L"folder.bin"}}) {
        SCOPED_TRACE(c.name);
        output_.boxes.clear();

        EXPECT_FALSE(UnpackPackage(c.path, output_));

        ExpectOneBox(Format(LoadText(IDS_PACKAGE_NOT_HELD).c_str(), c.path.c_str()));
        EXPECT_TRUE(ReadTree(run_).empty());
        EXPECT_FALSE(FileExists(base() + L"7z.exe")) << "the extractor is not even written out";
    }
}

// A pump that, at every wait for a 7-Zip run, does what any program of the user could try on the
// package (write into it, rename it, delete it) and reads the run's token.
class ObservingPump : public MessagePump {
public:
    explicit ObservingPump(std::wstring package) : package_(std::move(package)) {}
    void Pump() override {}
    DWORD Wait(HANDLE handle, DWORD timeoutMs) override {
        if (::GetProcessId(handle) != 0) Observe(handle);
        return ::WaitForSingleObject(handle, timeoutMs);
    }
    void Sleep(DWORD ms) override { ::Sleep(ms); }

    int runs = 0;
    std::vector<std::string> tokens;
    std::vector<DWORD> tamperErrors;

private:
    void Observe(HANDLE process) {
        ++runs;
        UniqueHandle token;
        tokens.push_back(::OpenProcessToken(process, TOKEN_QUERY, token.put()) ? TokenFacts(token.get())
                                                                                : "unreadable");
        const UniqueFile writer(::CreateFileW(package_.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        tamperErrors.push_back(writer ? ERROR_SUCCESS : ::GetLastError());
        tamperErrors.push_back(::MoveFileExW(package_.c_str(), (package_ + L".old").c_str(), 0) ? ERROR_SUCCESS
                                                                                                 : ::GetLastError());
        tamperErrors.push_back(::DeleteFileW(package_.c_str()) ? ERROR_SUCCESS : ::GetLastError());
    }

    std::wstring package_;
};

std::string OwnIntegrity() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    const std::string facts = TokenFacts(token.get());
    return facts.substr(facts.find(" integrity="));
}

// From the click until both 7-Zip runs ended, the package is the tool's: nobody writes into it, renames
// it or deletes it. Both runs parse it with the user's rights only.
TEST_F(UnpackPackageTest, WhileSevenZipRunsThePackageIsHeldAndItRunsRestricted) {
    const std::wstring package = Package(L"held package.bin");
    ObservingPump pump(package);

    ASSERT_TRUE(UnpackPackage(package, output_, nullptr, pump));

    EXPECT_TRUE(ReadTree(run_) == kFirmware);
    ASSERT_EQ(2, pump.runs) << "the extraction and the listing";
    for (const std::string& token : pump.tokens)
        EXPECT_EQ("administrators=deny-only privileges=SeChangeNotifyPrivilege" + OwnIntegrity(), token);
    for (DWORD error : pump.tamperErrors) EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), error);
    EXPECT_TRUE(UniqueFile(::CreateFileW(package.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr)))
        << "let go once both runs ended";
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
