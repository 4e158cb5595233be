// The write history through the real window: every write run (success, failure, refusal) and every
// version read leaves exactly one record in Log\history.csv beside the tool, and a history file that
// cannot be written leaves it in a file beside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "common/scope_exit.h"
#include "common/text.h"
#include "package/package_password.h"
#include "tests/e2e/history_reader.h"
#include "tests/e2e/write_run_fixture.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/path_form.h"

namespace vandrel::test {
namespace {

class HistoryTest : public WriteRunTest {
protected:
    void SetUp() override {
        WriteRunTest::SetUp();
        before_ = ReadHistory(HistoryPath());
    }
    // The records added since the test began.
    std::vector<HistoryRow> Added() const {
        std::vector<HistoryRow> rows = ReadHistory(HistoryPath());
        rows.erase(rows.begin(), rows.begin() + std::min(rows.size(), before_.size()));
        return rows;
    }
    std::vector<HistoryRow> before_;
};

TEST_F(HistoryTest, ASuccessfulWriteNamesTheFirmwareTheImageAndTheDevice) {
    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--pid 0x110B --upgrade-ms 300");
    SetFirmwarePath(package_);
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
    ASSERT_TRUE(tool_->WaitUntilReady());
    CloseAndExpectExit();

    const std::vector<HistoryRow> added = Added();
    ASSERT_EQ(1u, added.size());
    const HistoryRow& row = added[0];
    ListedDevice written;
    ASSERT_TRUE(FindListedDevice(device, written));
    EXPECT_EQ(L"write", row.at(L"action"));
    EXPECT_EQ(package_, row.at(L"firmware file"));
    EXPECT_EQ(std::to_wstring(ReadFileBytes(package_).size()), row.at(L"firmware size"));
    EXPECT_EQ(Sha256Hex(ReadFileBytes(package_)), row.at(L"firmware SHA-256"));
    EXPECT_EQ(L"fw_V1.img", row.at(L"image"));
    EXPECT_EQ(std::to_wstring(images_[L"fw_V1.img"].size()), row.at(L"image size"));
    EXPECT_EQ(std::wstring(written.sha256.begin(), written.sha256.end()), row.at(L"image SHA-256"))
        << "the image that went into the device";
    EXPECT_EQ(L"0x110B", row.at(L"product id"));
    EXPECT_EQ(L"V1", row.at(L"hardware version"));
    EXPECT_EQ(device, row.at(L"device"));
    EXPECT_EQ(L"Write successful", row.at(L"result"));
    EXPECT_EQ(L"written", row.at(L"result code"));
    EXPECT_NE(std::wstring::npos, row.at(L"messages").find(L"Download firmware... | Download firmware ok"));
    EXPECT_FALSE(row.at(L"duration ms").empty());
    EXPECT_EQ(19u, row.at(L"time").find_first_of(L"+-", 19)) << "local time with its offset: "
                                                              << std::string(row.at(L"time").begin(), row.at(L"time").end());
    EXPECT_FALSE(row.at(L"tool version").empty());
    for (const auto& [column, value] : row)
        EXPECT_EQ(std::wstring::npos, value.find(kPackagePassword)) << "the password never goes into the record";
}

struct OutcomeCase {
    const char* name;
    const wchar_t* deviceOptions;
    const wchar_t* result;
    const wchar_t* code;
    const wchar_t* productId;  // as recorded
};

class HistoryOutcomeTest : public HistoryTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(HistoryOutcomeTest, EachRunLeavesOneRecordOfHowItEnded) {
    const OutcomeCase& c = GetParam();
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(c.deviceOptions).empty());
    SetFirmwarePath(package_);
    EXPECT_EQ(c.result, StartWritingAndReadBox().text);
    CloseAndExpectExit();

    const std::vector<HistoryRow> added = Added();
    ASSERT_EQ(1u, added.size());
    EXPECT_EQ(c.result, added[0].at(L"result"));
    EXPECT_EQ(c.code, added[0].at(L"result code"));
    EXPECT_EQ(c.productId, added[0].at(L"product id"));
    EXPECT_EQ(Sha256Hex(ReadFileBytes(package_)), added[0].at(L"firmware SHA-256"));
}

void PrintTo(const OutcomeCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryOutcomeTest,
    ::testing::Values(OutcomeCase{"WriteFailed", L"--pid 0x110B --fail-upgrade --upgrade-ms 200", L"Write failed",
                                  L"write-failed", L"0x110B"},
                      OutcomeCase{"NoImageForTheVersion", L"--pid 0x1234", L"No .img file for V0 was found in the extracted folder.",
                                  L"no-image-for-version", L"0x1234"}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return info.param.name; });

TEST_F(HistoryTest, AVersionReadLeavesOneRecord) {
    const std::wstring device = devices_.Plug(L"--pid 0x110F --version V2.0.7");
    ASSERT_TRUE(Start());
    EXPECT_EQ(L"Version : V2.0.7", ClickAndReadBox(IDC_CONFIRM_VERSION).text);
    CloseAndExpectExit();

    const std::vector<HistoryRow> added = Added();
    ASSERT_EQ(1u, added.size());
    EXPECT_EQ(L"version read", added[0].at(L"action"));
    EXPECT_EQ(L"Version : V2.0.7", added[0].at(L"result"));
    EXPECT_EQ(L"version", added[0].at(L"result code"));
    EXPECT_EQ(L"0x110F", added[0].at(L"product id"));
    EXPECT_EQ(L"V2", added[0].at(L"hardware version"));
    EXPECT_EQ(device, added[0].at(L"device"));
    EXPECT_TRUE(added[0].at(L"firmware file").empty());
}

// A spreadsheet program holds the history file: the record goes into a file beside it, the run's result
// stays as it was.
TEST_F(HistoryTest, ALockedHistoryLeavesTheRecordInAFileBesideIt) {
    ASSERT_TRUE(WriteFileBytes(HistoryPath(), ReadFileBytes(HistoryPath())));  // there, even when it was not
    const std::vector<std::wstring> sideFilesBefore = HistorySideFiles();
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 200").empty());
    SetFirmwarePath(package_);
    {
        const UniqueFile held(::CreateFileW(HistoryPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
        ASSERT_TRUE(tool_->WaitUntilReady());
    }
    CloseAndExpectExit();

    EXPECT_TRUE(Added().empty());
    std::vector<std::wstring> sideFiles = HistorySideFiles();
    for (const std::wstring& old : sideFilesBefore) sideFiles.erase(std::remove(sideFiles.begin(), sideFiles.end(), old), sideFiles.end());
    ASSERT_EQ(1u, sideFiles.size());
    const ScopeExit remove([&] { ::DeleteFileW(sideFiles[0].c_str()); });
    const std::vector<HistoryRow> side = ReadHistory(sideFiles[0]);
    ASSERT_EQ(1u, side.size());
    EXPECT_EQ(L"written", side[0].at(L"result code"));
}

// Log beside the tool replaced by a link to another folder: the tool writes nothing through it, neither
// the history nor the library's log. Both go to the workspace's own Log folder, and the message list
// names it.
TEST_F(HistoryTest, ALogFolderThatIsALinkGetsNothingAndTheRecordGoesToTheWorkspace) {
    const SavedWorkspace saved;
    ASSERT_TRUE(saved.moved());
    ForgetWorkspaceBaseFolder();
    const std::wstring logFolder = BinFolder() + L"Log";
    const std::wstring aside = logFolder + L".saved-" + NewNameDigits();
    const bool movedAside = ::MoveFileW(logFolder.c_str(), aside.c_str()) != FALSE;
    const ScopeExit putBack([&] {
        if (movedAside) ::MoveFileW(aside.c_str(), logFolder.c_str());
    });
    TempDir target;
    {
        const UnixFolderLink link(logFolder, target.path());
        ASSERT_TRUE(link.made());
        ASSERT_TRUE(Start());
        const std::wstring workspaceLog = saved.base() + L"Log\\";
        const std::vector<std::wstring> lines = MessageLines();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) {
            return line.find(L"The log folder ") == 0 && line.find(L"is a link, no folder") != std::wstring::npos &&
                   line.find(L"go to " + workspaceLog + L" instead.") != std::wstring::npos;
        })) << "the message list says where the logs go";

        ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 200").empty());
        SetFirmwarePath(package_);
        EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
        ASSERT_TRUE(tool_->WaitUntilReady());
        const std::wstring wentTo = L"The write history was written to " + workspaceLog + L"history.csv.";
        EXPECT_TRUE(WaitFor([&] {
            const std::vector<std::wstring> now = MessageLines();
            return std::find(now.begin(), now.end(), wentTo) != now.end();
        }, 10000)) << "the message list names where the record went";
        CloseAndExpectExit();

        EXPECT_TRUE(ListEntries(target.path()).empty()) << "nothing written through the link";
        const std::vector<HistoryRow> rows = ReadHistory(workspaceLog + L"history.csv");
        ASSERT_EQ(1u, rows.size());
        EXPECT_EQ(L"written", rows[0].at(L"result code"));
        bool libraryLog = false;
        for (const std::wstring& name : ListEntries(workspaceLog)) libraryLog |= name.compare(0, 10, L"RKUpgrade_") == 0;
        EXPECT_TRUE(libraryLog) << "the library logs into the workspace's folder";
    }
}

}  // namespace
}  // namespace vandrel::test
