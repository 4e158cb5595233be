#include "tests/support/virtual_transmitter_client.h"
#include "tests/support/driving.h"

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cwctype>

#include "common/unique_handle.h"

namespace vandrel::test {

namespace {

constexpr DWORD kPumpSliceMs = 20;

// Reads what the pipe holds without blocking.
void Drain(HANDLE pipe, std::string& into) {
    DWORD available = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char block[4096];
        DWORD read = 0;
        if (!::ReadFile(pipe, block, sizeof block < available ? sizeof block : available, &read, nullptr) ||
            read == 0)
            return;
        into.append(block, read);
    }
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool MakePipe(UniqueHandle& readEnd, UniqueHandle& writeEnd) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    if (!::CreatePipe(&r, &w, &inherit, 0)) return false;
    readEnd.reset(r);
    writeEnd.reset(w);
    return ::SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0) != FALSE;  // only the child's end is inherited
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

ProcessRun RunTransmitter(const std::wstring& arguments, DWORD timeoutMs) {
    ProcessRun run;
    UniqueHandle outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) return run;
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    std::wstring commandLine = L"\"" + BinFolder() + L"virtual-transmitter.exe\" " + arguments;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &info))
        return run;
    run.started = true;
    ProcessHandles started(info);
    UniqueHandle& process = started.process;
    outWrite.reset();
    errWrite.reset();

    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    HANDLE waitOn = process.get();
    for (;;) {
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &waitOn, FALSE, kPumpSliceMs, QS_ALLINPUT);
        PumpMessages();
        Drain(outRead.get(), run.out);
        Drain(errRead.get(), run.err);
        if (woken == WAIT_OBJECT_0) break;
        if (::GetTickCount64() > deadline) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
            return run;
        }
    }
    Drain(outRead.get(), run.out);
    Drain(errRead.get(), run.err);
    run.finished = ::GetExitCodeProcess(process.get(), &run.exitCode) != FALSE;
    return run;
}

std::vector<ListedDevice> ParseDeviceList(const std::string& output) {
    std::vector<ListedDevice> devices;
    for (std::string line : Split(output, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> f = Split(line, '\t');
        if (f.size() != 9) continue;
        ListedDevice d;
        d.instanceId = Widen(f[0]);
        d.vendorId = static_cast<uint16_t>(std::strtoul(f[1].c_str(), nullptr, 16));
        d.productId = static_cast<uint16_t>(std::strtoul(f[2].c_str(), nullptr, 16));
        d.mode = std::strtoul(f[3].c_str(), nullptr, 10);
        d.layer = std::strtoul(f[4].c_str(), nullptr, 10);
        d.service = f[5] == "-" ? std::wstring() : Widen(f[5]);
        d.version = f[6];
        d.written = f[7] != "-";
        d.writtenSize = d.written ? std::strtoull(f[7].c_str(), nullptr, 10) : 0;
        d.sha256 = d.written ? f[8] : std::string();
        devices.push_back(std::move(d));
    }
    return devices;
}

std::vector<ListedDevice> ListVirtualDevices() {
    const ProcessRun run = RunTransmitter(L"list");
    if (!run.finished || run.exitCode != 0) return {};
    return ParseDeviceList(run.out);
}

bool FindListedDevice(const std::wstring& instanceId, ListedDevice& found) {
    for (ListedDevice& device : ListVirtualDevices()) {
        if (device.instanceId == instanceId) {
            found = std::move(device);
            return true;
        }
    }
    return false;
}

std::wstring VirtualFlashPath(const std::wstring& instanceId) {
    wchar_t common[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common))) return {};
    std::wstring name = instanceId;
    for (wchar_t& c : name)
        if (!iswalnum(c)) c = L'_';
    return std::wstring(common) + L"\\VirtualTransmitter\\" + name + L".flash";
}

std::wstring PlugVirtualDevice(const std::wstring& options) {
    const ProcessRun run = RunTransmitter(L"plug " + options);
    if (!run.finished || run.exitCode != 0) return {};
    std::string id = run.out;
    while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
    return Widen(id);
}

bool UnplugVirtualDevice(const std::wstring& instanceId) {
    const ProcessRun run = RunTransmitter(L"unplug \"" + instanceId + L"\"");
    if (run.finished && run.exitCode == 0) return true;
    std::fprintf(stderr, "virtual-transmitter unplug %s: %s (exit code %lu)\n", run.finished ? "failed" : "did not end",
                 run.err.c_str(), static_cast<unsigned long>(run.exitCode));
    return false;
}

bool UnplugAllVirtualDevices() {
    const ProcessRun run = RunTransmitter(L"unplug --all");
    return run.finished && run.exitCode == 0;
}

PluggedDevices::~PluggedDevices() {
    for (const std::wstring& id : plugged_) UnplugVirtualDevice(id);
}

std::wstring PluggedDevices::Plug(const std::wstring& options) {
    std::wstring id = PlugVirtualDevice(options);
    if (!id.empty()) plugged_.push_back(id);
    return id;
}

bool PluggedDevices::Unplug(const std::wstring& instanceId) {
    for (auto it = plugged_.begin(); it != plugged_.end(); ++it) {
        if (*it == instanceId) {
            plugged_.erase(it);
            break;
        }
    }
    return UnplugVirtualDevice(instanceId);
}

bool RockusbServiceExists() {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    UniqueService service(::OpenServiceW(manager.get(), L"rockusb", SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

RockusbServiceGuard::RockusbServiceGuard() : existed_(RockusbServiceExists()) {}

RockusbServiceGuard::~RockusbServiceGuard() {
    if (RockusbServiceExists() != existed_) existed_ ? Install() : Remove();
}

bool RockusbServiceGuard::Install() {
    const ProcessRun run = RunTransmitter(L"service install");
    if (run.finished && run.exitCode == 0) return true;
    std::fprintf(stderr, "virtual-transmitter service install failed: %s\n", run.err.c_str());
    return false;
}

bool RockusbServiceGuard::Remove() {
    const ProcessRun run = RunTransmitter(L"service remove");
    return run.finished && run.exitCode == 0;
}

}  // namespace vandrel::test
