// The write history file: history.csv in the log folder (Log\ beside the tool, where the upgrade library
// logs), UTF-8 with a byte-order mark so that a spreadsheet program opens it right, a header line when it
// is new. Written relative to the held folder, never through a link.
#pragma once

#include <windows.h>

#include <string>

#include "app/history_record.h"
#include "common/dialog_output.h"

namespace vandrel {

// The folder beside the executable that the upgrade library logs into and the history is kept in. The
// user guide and support staff look there by this name.
constexpr wchar_t kLogFolderName[] = L"Log\\";
constexpr wchar_t kHistoryFileName[] = L"history.csv";

// Appends record to history.csv in folder (a folder handle held open; folderPath, ending in a backslash,
// names it in messages). history.csv is never followed as a link and refused when it is one or has a
// second name (a hard link). When it cannot be written (refused, read-only, a full disk, a spreadsheet
// program that holds it), the line goes into a new file history-<yyyyMMdd-HHmmss>.csv beside it (or
// history-<yyyyMMdd-HHmmss>-<n>.csv when that name is taken: never into a file that was there); when
// that fails too, one line in the message list says so. Never a box, never a change to what the run
// showed. The path written, or empty.
std::wstring AppendToHistory(HANDLE folder, const std::wstring& folderPath, const HistoryRecord& record,
                             DialogOutput& output);

// Writes text at the end of file (open with FILE_WRITE_DATA) in one write. On a failed or short write the
// file is cut back to its size before, so that no part of text stays, and false is returned with the
// error in GetLastError.
bool AppendWhole(HANDLE file, const std::string& text);

}  // namespace vandrel
