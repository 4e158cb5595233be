// The history file as written into a real folder under Wine: never through a link, never into a file
// with a second name or a side file that was there, and never a part of a line.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/history_log.h"
#include "common/text.h"
#include "tests/support/recording_output.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/relative_file.h"

namespace vandrel::test {
namespace {

HistoryRecord Record(const std::wstring& result = L"Write successful") {
    HistoryRecord record;
    record.time = L"2026-12-11T04:05:06+01:00";
    record.action = L"write";
    record.result = result;
    record.resultCode = L"written";
    return record;
}

std::vector<std::wstring> SideFiles(const std::wstring& folder) {
    std::vector<std::wstring> sides;
    for (const std::wstring& name : ListEntries(folder))
        if (name.compare(0, 8, L"history-") == 0) sides.push_back(name);
    return sides;
}

class HistoryLog : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = OpenFolderNoFollow(dir_.path());
        ASSERT_TRUE(folder_);
    }
    std::wstring Append(const HistoryRecord& record) {
        return AppendToHistory(folder_.get(), dir_.path(), record, output_);
    }
    TempDir dir_, elsewhere_;
    UniqueFile folder_;
    RecordingOutput output_;
};

TEST_F(HistoryLog, ANewHistoryGetsTheMarkAndTheHeaderThenOneLinePerRecord) {
    EXPECT_EQ(dir_ / L"history.csv", Append(Record()));
    EXPECT_EQ(dir_ / L"history.csv", Append(Record(L"Write failed")));
    EXPECT_EQ("\xEF\xBB\xBF" + HistoryHeader() + HistoryLine(Record()) + HistoryLine(Record(L"Write failed")),
              ReadFileBytes(dir_ / L"history.csv"));
    EXPECT_TRUE(output_.lines.empty());
}

// A history.csv that is a symbolic link, or has a second name elsewhere, leads to a file the tool must
// not write: the record goes into a new side file and the other file stays as it was.
TEST_F(HistoryLog, AHistoryThatIsALinkOrHasASecondNameIsNotWritten) {
    const std::string victim = "the victim's, to stay";
    ASSERT_TRUE(WriteFileBytes(elsewhere_ / L"hard.txt", victim));
    ASSERT_TRUE(WriteFileBytes(elsewhere_ / L"linked.txt", victim));
    TempDir hardDir;
    // Windows' own call where it works (Wine: it does), the Unix side's otherwise.
    ASSERT_TRUE(::CreateHardLinkW((hardDir / L"history.csv").c_str(), (elsewhere_ / L"hard.txt").c_str(), nullptr) ||
                MakeUnixHardLink(hardDir / L"history.csv", elsewhere_ / L"hard.txt"));
    const UnixFolderLink link(dir_ / L"history.csv", elsewhere_ / L"linked.txt");
    ASSERT_TRUE(link.made());

    const struct {
        const char* name;
        const TempDir& dir;
        const wchar_t* victim;
    } cases[] = {{"symbolic link", dir_, L"linked.txt"}, {"hard link", hardDir, L"hard.txt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UniqueFile folder = OpenFolderNoFollow(c.dir.path());
        ASSERT_TRUE(folder);
        RecordingOutput output;
        const std::wstring written = AppendToHistory(folder.get(), c.dir.path(), Record(), output);
        EXPECT_EQ(victim, ReadFileBytes(elsewhere_ / c.victim));
        const std::vector<std::wstring> sides = SideFiles(c.dir.path());
        ASSERT_EQ(1u, sides.size());
        EXPECT_EQ(c.dir / sides[0], written);
        EXPECT_EQ("\xEF\xBB\xBF" + HistoryHeader() + HistoryLine(Record()), ReadFileBytes(written));
        EXPECT_TRUE(output.lines.empty());
    }
}

// A side file's name that is taken (by a file, or a link planted for it) is never written into: the
// record goes into a further new name.
TEST_F(HistoryLog, ATakenSideFileNameIsNeverWrittenInto) {
    ASSERT_TRUE(WriteFileBytes(dir_ / L"history.csv", ""));
    const UniqueFile locked(::CreateFileW((dir_ / L"history.csv").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          0, nullptr));
    ASSERT_TRUE(locked);
    // Every name the next seconds can give, taken beforehand.
    FILETIME start{};
    ::GetSystemTimeAsFileTime(&start);
    std::vector<std::wstring> taken;
    for (int second = -1; second < 6; ++second) {
        ULARGE_INTEGER at{{start.dwLowDateTime, start.dwHighDateTime}};
        at.QuadPart += static_cast<LONGLONG>(second) * 10000000;
        FILETIME utc{at.LowPart, at.HighPart}, local{};
        SYSTEMTIME t{};
        ASSERT_TRUE(::FileTimeToLocalFileTime(&utc, &local) && ::FileTimeToSystemTime(&local, &t));
        const std::wstring name = Format(L"history-%04u%02u%02u-%02u%02u%02u.csv", t.wYear, t.wMonth, t.wDay, t.wHour,
                                         t.wMinute, t.wSecond);
        ASSERT_TRUE(WriteFileBytes(dir_ / name, "the user's"));
        taken.push_back(name);
    }

    const std::wstring written = Append(Record());
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(L"-2.csv", written.substr(written.size() - 6)) << std::string(written.begin(), written.end());
    EXPECT_EQ("\xEF\xBB\xBF" + HistoryHeader() + HistoryLine(Record()), ReadFileBytes(written));
    for (const std::wstring& name : taken) EXPECT_EQ("the user's", ReadFileBytes(dir_ / name));
}

// The disk fills up in the middle of a line: the history keeps what it had, whole lines only, and no
// empty side file is left.
TEST_F(HistoryLog, AShortWriteLeavesNoPartOfTheLine) {
    const std::wstring volumeFolder = dir_ / L"volume\\";
    ASSERT_TRUE(::CreateDirectoryW(volumeFolder.c_str(), nullptr));
    SmallVolume volume(volumeFolder, 1);
    if (!volume.mounted()) GTEST_SKIP() << "no small volume can be mounted here (needs root)";
    const UniqueFile folder = OpenFolderNoFollow(volumeFolder);
    ASSERT_TRUE(folder);
    ASSERT_FALSE(AppendToHistory(folder.get(), volumeFolder, Record(), output_).empty());
    const std::string before = ReadFileBytes(volumeFolder + L"history.csv");
    // Full but for two pages, so the long line below goes in partly.
    ASSERT_TRUE(WriteFileBytes(volumeFolder + L"spare", std::string(8192, 's')));
    {
        const UniqueFile filler(::CreateFileW((volumeFolder + L"filler").c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(filler);
        const std::string chunk(4096, 'f');
        DWORD written = 0;
        while (::WriteFile(filler.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) &&
               written == chunk.size()) {
        }
    }
    ASSERT_TRUE(::DeleteFileW((volumeFolder + L"spare").c_str()));

    HistoryRecord longRecord = Record();
    longRecord.lines = {std::wstring(100000, L'x')};
    EXPECT_TRUE(AppendToHistory(folder.get(), volumeFolder, longRecord, output_).empty());
    EXPECT_EQ(before, ReadFileBytes(volumeFolder + L"history.csv")) << "no part of the line stays";
    EXPECT_TRUE(SideFiles(volumeFolder).empty()) << "a side file that could not be written goes again";
    ASSERT_EQ(1u, output_.lines.size());
    EXPECT_EQ(0u, output_.lines[0].find(L"The write history could not be written to "));
}

}  // namespace
}  // namespace vandrel::test
