// A history record as one CSV line: RFC 4180 quoting, UTF-8, the columns in order; the result codes of
// the boxes that end a run; the local time with its offset.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/history_record.h"
#include "common/text.h"
#include "resources/resource.h"

namespace vandrel {
namespace {

TEST(HistoryRecord, FieldsAreQuotedAsRfc4180SaysAndTheLineEndsWithCrLf) {
    HistoryRecord record;
    record.time = L"2026-12-11T04:05:06+01:00";
    record.toolVersion = L"1.8.0.0";
    record.action = L"write";
    record.firmwarePath = L"C:\\firmware, \"new\"\\pkg.bin";
    record.firmwareSize = 5000000000ull;
    record.imageName = L"fw_V1.img";
    record.productId = 0x110B;
    record.result = L"書込成功";
    record.resultCode = L"written";
    record.lines = {L"Download firmware...", L"line one\nline two"};
    record.durationMs = 1234;
    EXPECT_EQ("2026-12-11T04:05:06+01:00,1.8.0.0,write,\"C:\\firmware, \"\"new\"\"\\pkg.bin\",5000000000,,fw_V1.img,,,"
              "0x110B,V1,,\xE6\x9B\xB8\xE8\xBE\xBC\xE6\x88\x90\xE5\x8A\x9F,written,"
              "\"Download firmware... | line one\nline two\",1234\r\n",
              HistoryLine(record));
    const std::string header = HistoryHeader();
    EXPECT_EQ(16u, std::count(header.begin(), header.end(), ',') + 1u);
    EXPECT_EQ("\r\n", header.substr(header.size() - 2));
}

// Image and entry names come from the package, and texts from the system or the device: none of them
// may run as a formula when the history is opened in a spreadsheet, in either language.
TEST(HistoryRecord, AFieldThatBeginsLikeAFormulaIsWrittenAsText) {
    const struct {
        const wchar_t* image;
        const char* written;
    } cases[] = {
        {L"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {L"=1+2", "'=1+2"},
        {L"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        {L"-2+3", "'-2+3"},
        {L"@SUM(1,2)", "\"'@SUM(1,2)\""},
        {L"\t=1", "'\t=1"},
        {L"\r=1", "\"'\r=1\""},
        {L"\xFF1D" L"1+1", "'\xEF\xBC\x9D" "1+1"},            // ＝1+1
        {L"\xFF0B" L"fw.img", "'\xEF\xBC\x8B" "fw.img"},  // ＋fw.img
        {L"\xFF0D" L"1", "'\xEF\xBC\x8D" "1"},                 // －1
        {L"\xFF20" L"x", "'\xEF\xBC\xA0" "x"},                 // ＠x
        {L"fw_=V1.img", "fw_=V1.img"},
        {L"fw_V1.img", "fw_V1.img"},
        {L"fw -V1.img", "fw -V1.img"},
        {L"'=1", "'=1"},
        {L"", ""},
    };
    for (const auto& c : cases) {
        HistoryRecord record;
        record.imageName = c.image;
        const std::string line = HistoryLine(record);
        // The image is the seventh column; the fields before it are empty.
        const std::string image = line.substr(6, line.size() - 6);
        EXPECT_EQ(0u, image.find(std::string(c.written) + ",")) << line;
    }
    HistoryRecord japanese;
    japanese.result = L"=\x66F8\x8FBC\x6210\x529F";  // =書込成功
    japanese.resultCode = L"-written";
    japanese.lines = {L"@\x9001\x4FE1\x6A5F", L"two"};  // @送信機 | two
    const std::string line = HistoryLine(japanese);
    EXPECT_NE(std::string::npos, line.find(",'=\xE6\x9B\xB8\xE8\xBE\xBC\xE6\x88\x90\xE5\x8A\x9F,'-written,"
                                           "'@\xE9\x80\x81\xE4\xBF\xA1\xE6\xA9\x9F | two,"))
        << line;
}

TEST(HistoryRecord, ABoxTellsItsResultCode) {
    const struct {
        std::wstring text;
        const wchar_t* code;
    } cases[] = {
        {LoadText(IDS_WRITE_SUCCESSFUL), L"written"},
        {LoadText(IDS_WRITE_FAILED), L"write-failed"},
        {LoadText(IDS_NO_DEVICE), L"no-device"},
        {Format(LoadText(IDS_NO_IMAGE_FOR_VERSION).c_str(), 2), L"no-image-for-version"},
        {LoadText(IDS_EMPTY_IMAGE), L"empty-image"},
        {Format(LoadText(IDS_7ZA_EXIT_CODE).c_str(), 2ul), L"extraction-failed"},
        {Format(LoadText(IDS_DISK_FULL).c_str(), L"C:\\x\\"), L"disk-full"},
        {Format(LoadText(IDS_IMAGE_NOT_WHOLE).c_str(), L"fw.img", 5ull, 1u, 3ull, 2u), L"image-not-whole"},
        {LoadText(IDS_VERSION_PREFIX) + L"V1.2.3", L"version"},
        {LoadText(IDS_NOT_SUPPORTED), L"not-supported"},
        {L"Something else entirely", L"refused"},
        {L"", L"refused"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.code, ResultCodeOf(c.text)) << std::string(c.text.begin(), c.text.end());
}

TEST(HistoryRecord, LocalTimeCarriesItsOffset) {
    const std::wstring time = LocalTimeIso8601();
    ASSERT_EQ(25u, time.size()) << std::string(time.begin(), time.end());
    EXPECT_EQ(L'T', time[10]);
    EXPECT_TRUE(time[19] == L'+' || time[19] == L'-');
    EXPECT_EQ(L':', time[22]);
}

}  // namespace
}  // namespace vandrel
