#include "common/hidden_process.h"

#include <utility>
#include <vector>

namespace vandrel {

namespace {

// A process attribute list that lets a child inherit one handle and nothing else of this process.
class InheritOnly {
public:
    explicit InheritOnly(HANDLE handle) : handle_(handle) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (size == 0 || !::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        list_ = list;
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof handle_,
                                         nullptr, nullptr))
            Reset();
    }
    ~InheritOnly() { Reset(); }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    void Reset() {
        if (list_) ::DeleteProcThreadAttributeList(list_);
        list_ = nullptr;
    }

    HANDLE handle_;
    std::vector<char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

// Starts the command hidden in folder; the process handle, or empty. Its standard handles go to NUL:
// nobody sees its output, and a console made to hold it costs a fifth of 7za's time under Wine.
UniqueHandle StartHidden(const std::wstring& commandLine, const std::wstring& folder) {
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const UniqueFile nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inheritable, OPEN_EXISTING, 0, nullptr));
    const InheritOnly inherit(nul.get());
    const bool quiet = nul && inherit.get();
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    DWORD flags = CREATE_NO_WINDOW;
    if (quiet) {
        startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = startup.StartupInfo.hStdOutput = startup.StartupInfo.hStdError = nul.get();
        startup.lpAttributeList = inherit.get();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, quiet, flags, nullptr, folder.c_str(),
                          &startup.StartupInfo, &info))
        return UniqueHandle();
    return std::move(ProcessHandles(info).process);
}

}  // namespace vandrel
