// Start-up of the real tool: one instance per machine, the private copy of the upgrade library, and
// the messages when that copy cannot be made or loaded.
#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "resources/resource.h"
#include "tests/e2e/tool_fixture.h"
#include "tests/support/resource_patch.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/tool_folders.h"
#include "tests/workspace/workspace_test_support.h"
#include "tests/support/temp_dir.h"

namespace vandrel::test {
namespace {

using StartupTest = ToolTest;

TEST_F(StartupTest, SecondStartRestoresTheMinimisedFirstAndEnds) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Minimise(dialog_));

    Process second(ToolPath());
    DWORD exitCode = 99;
    ASSERT_TRUE(second.WaitForExit(15000, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(WaitFor([&] { return !::IsIconic(dialog_); })) << "the running instance was not restored";
    EXPECT_TRUE(TopLevelWindows(second.id()).empty());
    EXPECT_TRUE(tool_->running());
}

TEST_F(StartupTest, AfterTheFirstInstanceClosedANewStartRunsNormally) {
    ASSERT_TRUE(Start());
    CloseAndExpectExit();
    ASSERT_TRUE(Start());
    CloseAndExpectExit();
}

// Any program of the user can make an object of the mutex's name before the tool starts.
TEST_F(StartupTest, AMutexHeldByAnotherProgramIsToldInABoxAndTheToolEnds) {
    const UniqueHandle squatted(::CreateMutexW(nullptr, TRUE, L"Global\\Olvast.Vandrel.Singleton"));
    ASSERT_TRUE(squatted);

    ToolDriver tool(ToolPath());
    MessageBoxInfo box;
    ASSERT_TRUE(tool.NextBox(&box, 15000, false)) << "the second start must not vanish without a word";
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(0u, box.text.find(L"The tool cannot start: another program holds its single-instance lock "
                                L"(Global\\Olvast.Vandrel.Singleton)"))
        << box.text;
    EXPECT_TRUE(tool.WaitForWindow(200) == nullptr) << "no dialog may appear";
    DismissMessageBox(box.window);
    DWORD exitCode = 0;
    ASSERT_TRUE(tool.WaitForExit(10000, &exitCode));
    EXPECT_EQ(1u, exitCode);
}

TEST_F(StartupTest, LibraryCopyIsPrivateHiddenAndGoneAfterExit) {
    const auto before = PrivateLibraryFolders();
    ASSERT_TRUE(Start());
    const std::vector<std::wstring> created = NewLibraryFolders(before);
    ASSERT_EQ(1u, created.size());
    const std::wstring name = created[0].substr(created[0].find_last_of(L'\\') + 1);
    EXPECT_EQ(0u, name.find(L"YourApp-" + std::to_wstring(tool_->id()) + L"-")) << name;

    const std::wstring copy = created[0] + L"\\RKUpgrade.dll";
    const DWORD attributes = ::GetFileAttributesW(copy.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    // Wine keeps only the hidden bit of the three the tool sets.
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

    CloseAndExpectExit();
    EXPECT_FALSE(FileExists(copy));
    EXPECT_FALSE(FolderExists(created[0]));
}

TEST_F(StartupTest, AStartRemovesTheLibraryCopyThatAKilledToolLeftBehind) {
    const auto before = PrivateLibraryFolders();
    ASSERT_TRUE(Start());
    const std::vector<std::wstring> left = NewLibraryFolders(before);
    ASSERT_EQ(1u, left.size());
    tool_->Kill();
    ASSERT_TRUE(tool_->WaitForExit(10000));
    ASSERT_TRUE(FolderExists(left[0])) << "a killed tool cannot clean up after itself";

    ASSERT_TRUE(Start());
    EXPECT_FALSE(FolderExists(left[0]));
    CloseAndExpectExit();
}

struct BrokenLibraryCase {
    const char* name;
    bool missing;               // the tool is built without the resource
    std::string bytes;          // otherwise: what the resource holds (a path in braces: that file's bytes)
    const wchar_t* textStart;   // how the box's text begins
    const wchar_t* textPart;    // and something it must contain
};

class BrokenLibraryTest : public ToolTest, public ::testing::WithParamInterface<BrokenLibraryCase> {};

TEST_P(BrokenLibraryTest, ShowsWhyInTraditionalChineseAndExitsWithOne) {
    const BrokenLibraryCase& c = GetParam();
    TempDir folder;
    std::wstring variant = BinFolder() + L"variants\\without_library\\Vandrel.exe";
    if (!c.missing) {
        variant = folder / L"Vandrel.exe";
        std::string bytes = c.bytes;
        if (bytes.front() == '{') {
            const std::string relative = bytes.substr(1, bytes.size() - 2);
            bytes = ReadFileBytes(BinFolder() + std::wstring(relative.begin(), relative.end()));
            ASSERT_FALSE(bytes.empty());
        }
        ASSERT_TRUE(CopyWithRcData(ToolPath(), variant, IDR_RKUPGRADE_DLL, bytes));
    }

    ToolDriver tool(variant);
    MessageBoxInfo box;
    ASSERT_TRUE(tool.NextBox(&box, 15000, false));
    EXPECT_EQ(L"錯誤", box.caption);
    EXPECT_EQ(0u, box.text.find(c.textStart)) << box.text;
    EXPECT_NE(std::wstring::npos, box.text.find(c.textPart)) << box.text;
    EXPECT_TRUE(tool.WaitForWindow(200) == nullptr) << "the dialog must not appear";
    DismissMessageBox(box.window);
    DWORD exitCode = 0;
    ASSERT_TRUE(tool.WaitForExit(10000, &exitCode));
    EXPECT_EQ(1u, exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenLibraryTest,
    ::testing::Values(
        BrokenLibraryCase{"MissingResource", true, "", L"解壓 RKUpgrade.dll 失敗。", L"失敗"},
        BrokenLibraryCase{"NotALibrary", false, std::string(4096, 'x'), L"載入 RKUpgrade.dll 失敗\n\n路徑： ",
                          L"\n錯誤碼： 193\n系統訊息： "},
        // Complete in every entry point, but built for the architecture the tool is not.
        BrokenLibraryCase{"OtherArchitectureLibrary", false, "{..\\other-arch\\bin\\fake_rkupgrade_full.dll}",
                          L"載入 RKUpgrade.dll 失敗",
                          L"\n錯誤碼： 193\n"},
        BrokenLibraryCase{"TruncatedLibrary", false, std::string("MZ\x90\0\x03\0\0\0", 8), L"載入 RKUpgrade.dll 失敗",
                          L"常見原因：\n 193：位元數不相容（x86/x64）\n 126：缺少次級相依 DLL\n 1114：DLL 初始化失敗\n"}),
    [](const ::testing::TestParamInfo<BrokenLibraryCase>& info) { return info.param.name; });

void PrintTo(const BrokenLibraryCase& c, std::ostream* out) { *out << c.name; }

// The temporary folder (the library copy's) or Local AppData (the workspace's) on a share of another
// machine: the tool says so in the user's language and ends before it writes anything there.
struct RemoteCase {
    const char* name;
    bool temp;  // TEMP and TMP; otherwise Local AppData
};

class RemoteLocationTest : public ToolTest, public ::testing::WithParamInterface<RemoteCase> {};

TEST_P(RemoteLocationTest, IsRefusedWithABoxAndExitCodeOne) {
    const std::wstring share = L"\\\\vandrel-test-server\\share\\Folder";
    std::unique_ptr<ScopedEnvironment> temp, tmp;
    std::unique_ptr<RelocatedLocalAppData> local;
    if (GetParam().temp) {
        temp = std::make_unique<ScopedEnvironment>(L"TEMP", share + L"\\");
        tmp = std::make_unique<ScopedEnvironment>(L"TMP", share + L"\\");
    } else {
        local = std::make_unique<RelocatedLocalAppData>(share);
        if (!local->relocated()) GTEST_SKIP() << "Local AppData cannot be put on a share here";
    }
    const auto before = PrivateLibraryFolders();

    ToolDriver tool(ToolPath());
    MessageBoxInfo box;
    ASSERT_TRUE(tool.NextBox(&box, 15000, false));
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(0u, box.text.find(L"The tool cannot start: the folder \\\\vandrel-test-server\\share\\Folder")) << box.text;
    EXPECT_NE(std::wstring::npos, box.text.find(L"is on another computer")) << box.text;
    EXPECT_TRUE(tool.WaitForWindow(200) == nullptr) << "the dialog must not appear";
    DismissMessageBox(box.window);
    DWORD exitCode = 0;
    ASSERT_TRUE(tool.WaitForExit(10000, &exitCode));
    EXPECT_EQ(1u, exitCode);
    EXPECT_TRUE(NewLibraryFolders(before).empty());
}

void PrintTo(const RemoteCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(Cases, RemoteLocationTest,
                         ::testing::Values(RemoteCase{"Temp", true}, RemoteCase{"LocalAppData", false}),
                         [](const ::testing::TestParamInfo<RemoteCase>& info) { return info.param.name; });

TEST_F(StartupTest, LibraryLackingAnEntryPointIsRefusedButTheDialogStays) {
    TempDir folder;
    const std::wstring variant = folder / L"Vandrel.exe";
    ASSERT_TRUE(CopyWithRcData(ToolPath(), variant, IDR_RKUPGRADE_DLL, ReadFileBytes(BinFolder() + L"fake_rkupgrade_partial.dll")));

    tool_ = std::make_unique<ToolDriver>(variant);
    MessageBoxInfo box;
    ASSERT_TRUE(tool_->NextBox(&box, 15000));
    EXPECT_EQ(L"Vandrel", box.caption) << "the default caption is the application's name";
    EXPECT_EQ(0u, box.text.find(L"Loading rkupgrade.dll failed!\nPath tried:\n")) << box.text;
    EXPECT_NE(std::wstring::npos, box.text.find(L"\\RKUpgrade.dll")) << box.text;

    dialog_ = tool_->WaitUntilReady();
    ASSERT_NE(nullptr, dialog_) << "the dialog stays usable without a binding";
    CloseAndExpectExit();
}

}  // namespace
}  // namespace vandrel::test
