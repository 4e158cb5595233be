#include "app/history_log.h"

#include "common/text.h"
#include "common/unique_handle.h"
#include "workspace/relative_file.h"

namespace vandrel {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// Side files tried within one second before the history gives up.
constexpr int kSideFileNames = 20;

// Appends line to name in folder, with the mark and the header first when the file is new or empty.
// Others may read the file meanwhile; only one tool runs, so there is one writer. A new file that could
// not be written goes again.
bool AppendCsvLine(HANDLE folder, const std::wstring& name, const std::string& line,
                   RelativeDisposition disposition) {
    const bool creatingNew = disposition == RelativeDisposition::kCreateNew;
    const UniqueFile file = OpenRelative(folder, name, FILE_WRITE_DATA | (creatingNew ? DELETE : 0), FILE_SHARE_READ,
                                         disposition);
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return false;
    if (AppendWhole(file.get(), size.QuadPart == 0 ? kByteOrderMark + HistoryHeader() + line : line)) return true;
    const DWORD error = ::GetLastError();
    if (creatingNew) DeleteByHandle(file.get());
    ::SetLastError(error);
    return false;
}

// history-<yyyyMMdd-HHmmss>.csv, and for attempt n > 0 history-<yyyyMMdd-HHmmss>-<n + 1>.csv.
std::wstring SideFileName(const SYSTEMTIME& now, int attempt) {
    const std::wstring stamp = Format(L"history-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                                      now.wHour, now.wMinute, now.wSecond);
    return attempt == 0 ? stamp + L".csv" : stamp + Format(L"-%d.csv", attempt + 1);
}

bool IsTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

}  // namespace

bool AppendWhole(HANDLE file, const std::string& text) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || !::SetFilePointerEx(file, size, nullptr, FILE_BEGIN)) return false;
    DWORD error = ERROR_SUCCESS;
    DWORD written = 0;
    if (!::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        error = ::GetLastError();
    else if (written != text.size())
        error = ERROR_DISK_FULL;  // a short write: no room for the rest
    else if (!::FlushFileBuffers(file))
        error = ::GetLastError();
    if (error == ERROR_SUCCESS) return true;
    // A line is there whole or not at all: what part of it went in is cut off again.
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile = size;
    ::SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
    ::SetLastError(error);
    return false;
}

std::wstring AppendToHistory(HANDLE folder, const std::wstring& folderPath, const HistoryRecord& record,
                             DialogOutput& output) {
    const std::string line = HistoryLine(record);
    if (AppendCsvLine(folder, kHistoryFileName, line, RelativeDisposition::kOpenOrCreate))
        return folderPath + kHistoryFileName;
    const DWORD historyError = ::GetLastError();
    // A file of its own beside it, never one that is there already: a taken name tries the next one.
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    std::wstring side;
    for (int attempt = 0; attempt < kSideFileNames; ++attempt) {
        side = SideFileName(now, attempt);
        if (AppendCsvLine(folder, side, line, RelativeDisposition::kCreateNew)) return folderPath + side;
        if (!IsTaken(::GetLastError())) break;
    }
    const DWORD sideError = ::GetLastError();
    output.AppendLine(Format(L"The write history could not be written to %s (error %lu) nor to %s (error %lu).",
                             (folderPath + kHistoryFileName).c_str(), historyError, (folderPath + side).c_str(),
                             sideError));
    return {};
}

}  // namespace vandrel
