#include "app/history_log.h"

#include <windows.h>

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Appends line to path, with the mark and the header first when the file is new or empty. Others may
// read the file meanwhile; only one tool runs, so there is one writer.
bool AppendCsvLine(const std::wstring& path, const std::string& line, DWORD disposition) {
    const UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                        nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return false;
    const std::string text = size.QuadPart == 0 ? kByteOrderMark + HistoryHeader() + line : line;
    return WriteAll(file.get(), text) && ::FlushFileBuffers(file.get());
}

std::wstring SideFileName() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return Format(L"history-%04u%02u%02u-%02u%02u%02u.csv", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
}

}  // namespace

std::wstring AppendToHistory(const std::wstring& logFolder, const HistoryRecord& record, DialogOutput& output) {
    ::CreateDirectoryW(logFolder.c_str(), nullptr);  // made at start already; gone meanwhile, made again
    const std::string line = HistoryLine(record);
    const std::wstring history = logFolder + kHistoryFileName;
    if (AppendCsvLine(history, line, OPEN_ALWAYS)) return history;
    const DWORD historyError = ::GetLastError();
    // A file of its own beside it, never one that is there already.
    const std::wstring side = logFolder + SideFileName();
    if (AppendCsvLine(side, line, CREATE_NEW) || AppendCsvLine(side, line, OPEN_EXISTING)) return side;
    output.AppendLine(Format(L"The write history could not be written to %s (error %lu) nor to %s (error %lu).",
                             history.c_str(), historyError, side.c_str(), ::GetLastError()));
    return {};
}

}  // namespace vandrel
