// The write history file: Log\history.csv beside the tool (where the upgrade library logs), UTF-8 with
// a byte-order mark so that a spreadsheet program opens it right, a header line when it is new.
#pragma once

#include <string>

#include "app/history_record.h"
#include "common/dialog_output.h"

namespace vandrel {

// The folder beside the executable that the upgrade library logs into and the history is kept in. The
// user guide and support staff look there by this name.
constexpr wchar_t kLogFolderName[] = L"Log\\";
constexpr wchar_t kHistoryFileName[] = L"history.csv";

// Appends record to logFolder's history.csv. When that file cannot be written (a read-only folder, a
// full disk, a spreadsheet program that holds it), the line goes into a new file
// history-<yyyyMMdd-HHmmss>.csv beside it; when that fails too, one line in the message list says so.
// Never a box, never a change to what the run showed. The path written, or empty.
std::wstring AppendToHistory(const std::wstring& logFolder, const HistoryRecord& record, DialogOutput& output);

}  // namespace vandrel
