#include "standins/rkupgrade/call_log.h"

#include <windows.h>

#include <mutex>

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel::standin {

namespace {

struct LogTarget {
    std::mutex lock;  // calls come from the dialog's thread and the write run's worker
    bool enabled = false;
    std::wstring folder;
};

LogTarget& Target() {
    static LogTarget target;
    return target;
}

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                              nullptr);
    return bytes;
}

}  // namespace

void ConfigureCallLog(bool enabled, const std::wstring& folder) {
    LogTarget& target = Target();
    std::lock_guard<std::mutex> guard(target.lock);
    target.enabled = enabled;
    target.folder = folder;
    if (!target.folder.empty() && target.folder.back() != L'\\') target.folder += L'\\';
}

void LogCall(const std::wstring& line) {
    LogTarget& target = Target();
    std::lock_guard<std::mutex> guard(target.lock);
    if (!target.enabled || target.folder.empty()) return;
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::wstring path =
        target.folder + Format(L"RKUpgrade_%04u%02u%02u.log", now.wYear, now.wMonth, now.wDay);
    // Opened per line, shared, so a test or a user can read the log while the library runs.
    UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;  // a log that cannot be written must not fail the call
    const std::string bytes =
        Utf8(Format(L"%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                    now.wMinute, now.wSecond, now.wMilliseconds) +
             line + L"\r\n");
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace vandrel::standin
