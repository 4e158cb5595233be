#include "tests/e2e/history_reader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/sha256.h"
#include "tests/support/driving.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"

namespace vandrel::test {

namespace {

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0);
    EXPECT_GT(length, 0) << "not UTF-8";
    std::wstring wide(length > 0 ? length : 0, L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// RFC 4180: records end with CRLF; a field in quotes may hold commas, line breaks and doubled quotes.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            fields.push_back(field);
            field.clear();
            records.push_back(fields);
            fields.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.empty() && fields.empty()) << "the last record ends with CRLF";
    return records;
}

}  // namespace

std::wstring HistoryPath() { return BinFolder() + L"Log\\history.csv"; }

std::vector<std::wstring> HistorySideFiles() {
    std::vector<std::wstring> files;
    for (const std::wstring& name : ListEntries(BinFolder() + L"Log\\"))
        if (name.compare(0, 8, L"history-") == 0) files.push_back(BinFolder() + L"Log\\" + name);
    return files;
}

std::vector<HistoryRow> ReadHistory(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    std::vector<HistoryRow> rows;
    if (bytes.empty()) return rows;
    EXPECT_EQ(0u, bytes.find("\xEF\xBB\xBF")) << "UTF-8 with a byte-order mark";
    const std::vector<std::vector<std::string>> records = ParseCsv(bytes.substr(3));
    if (records.empty()) return rows;
    const std::vector<std::string>& header = records.front();
    EXPECT_EQ(16u, header.size());
    for (size_t r = 1; r < records.size(); ++r) {
        EXPECT_EQ(header.size(), records[r].size()) << "record " << r;
        HistoryRow row;
        for (size_t c = 0; c < header.size() && c < records[r].size(); ++c)
            row[FromUtf8(header[c])] = FromUtf8(records[r][c]);
        rows.push_back(row);
    }
    return rows;
}

std::wstring Sha256Hex(const std::string& bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.FinishHex();
}

}  // namespace vandrel::test
