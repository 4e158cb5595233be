#include "common/hidden_process.h"

#include "common/restricted_token.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

// Windows 10's attribute for a child born into a job; the tool targets Windows 7 and finds out at run time
// whether the system knows it.
#ifndef PROC_THREAD_ATTRIBUTE_JOB_LIST
#define PROC_THREAD_ATTRIBUTE_JOB_LIST 0x2000D
#endif

namespace vandrel {

namespace {

// A process attribute list: the only handles a child inherits, and the job it is born into.
class StartupAttributes {
public:
    StartupAttributes(std::vector<HANDLE> handles, HANDLE job) : handles_(std::move(handles)), job_(job) {
        const DWORD count = (handles_.empty() ? 0 : 1) + (job_ ? 1 : 0);
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, count, 0, &size);
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (count == 0 || size == 0 || !::InitializeProcThreadAttributeList(list, count, 0, &size)) return;
        list_ = list;
        if (!handles_.empty() &&
            !::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            Reset();
            return;
        }
        // Windows before 10 knows no job list: the child is then put into the job after its start.
        jobListed_ = job_ && ::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job_,
                                                         sizeof job_, nullptr, nullptr);
    }
    ~StartupAttributes() { Reset(); }
    StartupAttributes(const StartupAttributes&) = delete;
    StartupAttributes& operator=(const StartupAttributes&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }
    bool inheritsOnlyTheHandles() const { return list_ && !handles_.empty(); }
    // Whether the child is born in the job, with no moment outside it.
    bool bornInTheJob() const { return list_ && jobListed_; }

private:
    void Reset() {
        if (list_) ::DeleteProcThreadAttributeList(list_);
        list_ = nullptr;
        jobListed_ = false;
    }

    std::vector<HANDLE> handles_;
    HANDLE job_;
    std::vector<char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool jobListed_ = false;
};

// A job that ends every program in it when its last handle is closed; empty when the system refuses.
UniqueHandle MakeKillOnCloseJob() {
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return UniqueHandle();
    return job;
}

// The job of the tool's helpers. Its handle is closed only when the process ends, and then the system
// ends every program still in it: no helper goes on writing decrypted firmware with nobody left to
// delete it.
HANDLE HelperJob() {
    static std::once_flag made;
    static HANDLE job = nullptr;
    std::call_once(made, [] { job = MakeKillOnCloseJob().release(); });  // kept until the process ends
    return job;
}

// Starts commandLine hidden in folder with the standard handles given (inheritable, and the only handles
// the child inherits), in job from its first instruction: a tool ended at any moment leaves no helper
// behind, not even one that was just being started. GetLastError tells why when it fails.
UniqueHandle StartWithHandles(const std::wstring& commandLine, const std::wstring& folder, HelperRights rights,
                              HANDLE input, HANDLE output, HANDLE error, HANDLE job) {
    UniqueHandle token;
    if (rights == HelperRights::kRestricted) {
        token = MakeRestrictedToken();
        if (!token) return UniqueHandle();
    }
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    std::vector<HANDLE> inherited;
    for (HANDLE handle : {input, output, error})
        if (handle && std::find(inherited.begin(), inherited.end(), handle) == inherited.end()) inherited.push_back(handle);
    const StartupAttributes attributes(inherited, job);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    DWORD flags = CREATE_NO_WINDOW;
    const bool redirected = attributes.inheritsOnlyTheHandles();
    if (redirected) {
        startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = input;
        startup.StartupInfo.hStdOutput = output;
        startup.StartupInfo.hStdError = error;
    }
    if (attributes.get()) {
        startup.lpAttributeList = attributes.get();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    // Held until it is in the job, where it cannot be born there.
    if (!attributes.bornInTheJob()) flags |= CREATE_SUSPENDED;
    PROCESS_INFORMATION info{};
    // A token made from this process's own needs no privilege to be given to its child.
    const BOOL created =
        token ? ::CreateProcessAsUserW(token.get(), nullptr, writable.data(), nullptr, nullptr, redirected, flags,
                                       nullptr, folder.c_str(), &startup.StartupInfo, &info)
              : ::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, redirected, flags, nullptr, folder.c_str(),
                                 &startup.StartupInfo, &info);
    if (!created) {
        const DWORD error = ::GetLastError();
        ::SetLastError(error);  // kept past the clean-up of the attributes and handles
        return UniqueHandle();
    }
    ProcessHandles started(info);
    if (!attributes.bornInTheJob()) {
        if (job) ::AssignProcessToJobObject(job, started.process.get());
        ::ResumeThread(started.thread.get());
    }
    return std::move(started.process);
}

UniqueFile OpenNul() {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    return UniqueFile(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inheritable, OPEN_EXISTING, 0, nullptr));
}

DWORD WINAPI CollectOutput(LPVOID param) {
    auto* collector = static_cast<std::pair<HANDLE, std::string*>*>(param);
    char block[4096];
    DWORD read = 0;
    while (::ReadFile(collector->first, block, sizeof block, &read, nullptr) && read > 0)
        collector->second->append(block, read);
    delete collector;
    return 0;
}

}  // namespace

OutputCollector::OutputCollector(UniqueFile pipe) : pipe_(std::move(pipe)) {
    if (!pipe_) return;
    auto* job = new std::pair<HANDLE, std::string*>(pipe_.get(), &text_);
    thread_.reset(::CreateThread(nullptr, 0, CollectOutput, job, 0, nullptr));
    if (!thread_) {
        delete job;
        CollectOutput(new std::pair<HANDLE, std::string*>(pipe_.get(), &text_));  // inline, as a last resort
    }
}

OutputCollector::~OutputCollector() { Take(); }

std::string OutputCollector::Take() {
    if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    pipe_.reset();
    return std::move(text_);
}

// Its standard handles go to NUL: nobody sees its output, and a console made to hold it costs a fifth of
// 7za's time under Wine.
UniqueHandle StartHidden(const std::wstring& commandLine, const std::wstring& folder, HelperRights rights) {
    const UniqueFile nul = OpenNul();
    const HANDLE handle = nul ? nul.get() : nullptr;
    return StartWithHandles(commandLine, folder, rights, handle, handle, handle, HelperJob());
}

void EndHelpersNow() {
    if (const HANDLE job = HelperJob()) ::TerminateJobObject(job, ERROR_CANCELLED);
}

OwnJobHelper StartHiddenInOwnJob(const std::wstring& commandLine, const std::wstring& folder) {
    OwnJobHelper helper;
    helper.job = MakeKillOnCloseJob();
    if (!helper.job) return helper;
    const UniqueFile nul = OpenNul();
    const HANDLE handle = nul ? nul.get() : nullptr;
    helper.process =
        StartWithHandles(commandLine, folder, HelperRights::kTools, handle, handle, handle, helper.job.get());
    const DWORD error = ::GetLastError();
    if (!helper.process) helper.job.reset();
    ::SetLastError(error);
    return helper;
}

bool LetOutlastTheTool(HANDLE job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};  // no limit, kill-on-close included
    return job && ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

UniqueHandle StartHiddenCapturing(const std::wstring& commandLine, const std::wstring& folder, UniqueFile& output,
                                  HelperRights rights) {
    const UniqueFile nul = OpenNul();
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE reading = nullptr, writing = nullptr;
    if (!nul || !::CreatePipe(&reading, &writing, &inheritable, 0)) return UniqueHandle();
    UniqueFile readEnd(reading);
    const UniqueFile writeEnd(writing);
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    UniqueHandle process =
        StartWithHandles(commandLine, folder, rights, nul.get(), writeEnd.get(), nul.get(), HelperJob());
    if (process) output = std::move(readEnd);
    return process;  // this side's writing end closes here: the pipe ends with the program's
}

}  // namespace vandrel
