// The folder that the write history and the upgrade library's log go into. Log\ beside the tool is the
// user's to rename, delete or replace with a link, so it is opened without following a link and held
// from the start (without delete sharing, so that it cannot be renamed away while the tool runs), and
// checked again each time it is handed on. When it is a link, no folder or no longer the folder held, the
// workspace's own Log folder (workspace/workspace_log_folder.h) is used instead, and the message list
// says so.
#pragma once

#include <mutex>
#include <string>

#include "app/history_record.h"
#include "common/dialog_output.h"
#include "common/unique_handle.h"

namespace vandrel {

class LogFolder {
public:
    // Opens besideTool (a folder path ending in a backslash), made first when missing; when it is
    // refused, one line in output says where the logs go instead.
    void Open(const std::wstring& besideTool, DialogOutput& output);

    // The folder to hand the upgrade library for its log now (ending in a backslash): Log beside the tool
    // while its path still leads to the folder held, else the workspace's; empty when neither can be had
    // (the library then logs nothing).
    std::wstring ForLibrary(DialogOutput& output);

    // Appends record to the history in the same folder (history_log.h); a record that went to the
    // workspace's folder is told with its path. The path written, or empty.
    std::wstring AppendRecord(const HistoryRecord& record, DialogOutput& output);

private:
    // The folder to write into now, or null; path receives its path. line receives what the message
    // list must be told (once, when Log beside the tool is given up). Called under guard_.
    HANDLE Current(std::wstring& path, std::wstring& line);

    std::mutex guard_;  // the worker re-initialises the library; the dialog's thread writes the history
    std::wstring besideTool_;
    UniqueFile held_;
    DWORD refusal_ = ERROR_SUCCESS;  // why Log beside the tool was not opened
    std::wstring fallbackPath_;
    UniqueFile fallback_;
    bool toldFallback_ = false;
};

}  // namespace vandrel
