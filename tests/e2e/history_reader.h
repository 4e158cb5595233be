// The tool's write history as the tests read it: Log\history.csv beside the tool, parsed as RFC 4180 CSV.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vandrel::test {

// One record: the value of each column, by the column's name in the header.
using HistoryRow = std::map<std::wstring, std::wstring>;

// Log\history.csv beside the tool.
std::wstring HistoryPath();
// The files history-*.csv beside it, full paths.
std::vector<std::wstring> HistorySideFiles();
// The records of a history file (UTF-8 with a byte-order mark, a header line first); none when it is
// missing. Checks the mark and the header as it goes (a failure shows in the test).
std::vector<HistoryRow> ReadHistory(const std::wstring& path);

// SHA-256 in lower-case hexadecimal.
std::wstring Sha256Hex(const std::string& bytes);

}  // namespace vandrel::test
