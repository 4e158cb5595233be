#include "app/log_folder.h"

#include "app/history_log.h"
#include "common/text.h"
#include "workspace/path_form.h"
#include "workspace/relative_file.h"
#include "workspace/workspace_log_folder.h"

namespace vandrel {

namespace {

void Tell(const std::wstring& line, DialogOutput& output) {
    if (!line.empty()) output.AppendLine(line);
}

}  // namespace

void LogFolder::Open(const std::wstring& besideTool, DialogOutput& output) {
    std::wstring line;
    {
        const std::lock_guard<std::mutex> lock(guard_);
        besideTool_ = besideTool;
        // Made when missing; whatever is there then (also a link put there meanwhile) is judged by the open.
        ::CreateDirectoryW(ExtendedPath(WithoutTrailingBackslash(besideTool_)).c_str(), nullptr);
        held_ = OpenFolderNoFollow(besideTool_);
        refusal_ = held_ ? ERROR_SUCCESS : ::GetLastError();
        std::wstring path;
        Current(path, line);
    }
    Tell(line, output);
}

HANDLE LogFolder::Current(std::wstring& path, std::wstring& line) {
    if (held_ && StillOpensHeldFolder(besideTool_, held_.get())) {
        path = besideTool_;
        return held_.get();
    }
    if (held_) refusal_ = ::GetLastError();
    held_.reset();
    if (!fallback_) fallback_ = OpenWorkspaceLogFolder(fallbackPath_);
    if (!toldFallback_) {
        toldFallback_ = true;
        line = fallback_ ? Format(L"The log folder %s is a link, no folder or not the folder opened at start "
                                  L"(error %lu): nothing is written through it; the upgrade library's log and "
                                  L"the write history go to %s instead.",
                                  besideTool_.c_str(), refusal_, fallbackPath_.c_str())
                         : Format(L"The log folder %s is a link, no folder or not the folder opened at start "
                                  L"(error %lu), and the workspace has no log folder: the upgrade library logs "
                                  L"nothing and the write history is not kept.",
                                  besideTool_.c_str(), refusal_);
    }
    path = fallback_ ? fallbackPath_ : std::wstring();
    return fallback_ ? fallback_.get() : nullptr;
}

std::wstring LogFolder::ForLibrary(DialogOutput& output) {
    std::wstring path, line;
    {
        const std::lock_guard<std::mutex> lock(guard_);
        Current(path, line);
    }
    Tell(line, output);
    return path;
}

std::wstring LogFolder::AppendRecord(const HistoryRecord& record, DialogOutput& output) {
    std::wstring path, line, written;
    bool fallback = false;
    {
        const std::lock_guard<std::mutex> lock(guard_);
        const HANDLE folder = Current(path, line);
        fallback = folder && folder == fallback_.get();
        Tell(line, output);
        if (folder) written = AppendToHistory(folder, path, record, output);
    }
    if (fallback && !written.empty()) output.AppendLine(Format(L"The write history was written to %s.", written.c_str()));
    return written;
}

}  // namespace vandrel
