#include "driver/driver_install.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "common/hidden_process.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "resources/resource.h"
#include "workspace/embedded_files.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

constexpr wchar_t kPreInstallParameters[] = L"/i \"rockusb.inf\"";
constexpr wchar_t kPreUninstallParameters[] = L"/u \"VID_2207\" \"rockusb.inf\"";

DriverPackageExtractor g_extractor = &ExtractDriverPackage;

// "Incorrect", or its Japanese form: the string table follows the user-interface language.
void ShowMissingFileBox(DialogOutput& output) {
    output.ShowMessageBox(LoadText(IDS_DRIVER_TOOL_MISSING), LoadText(IDS_CAPTION_MESSAGE).c_str(), MB_ICONERROR);
}

// Holds the driver package unchanged while driver_x64.exe runs with administrator rights (it loads
// DIFxAPI.dll and reads the package after its start); files found changed are written again once. False
// when the package cannot be held as carried: nothing may then run, and a missing tool is told as such.
bool HoldDriverPackageForRun(DialogOutput& output, PinnedFiles& pinned) {
    if (PinDriverPackage(pinned)) return true;
    if (g_extractor() && PinDriverPackage(pinned)) return true;
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty() || !::PathFileExistsW((base + kDriverToolName).c_str())) ShowMissingFileBox(output);
    return false;
}

// Runs the driver tool with parameters, its package held, and adds the step's line; true on success.
bool RunDriverStep(HWND owner, DialogOutput& output, MessagePump& pump, const wchar_t* parameters,
                   const wchar_t* succeeded, const wchar_t* failed) {
    PinnedFiles pinned;
    const bool ran = HoldDriverPackageForRun(output, pinned) &&
                     RunWorkspaceToolElevated(owner, output, kDriverToolName, parameters, kDriverToolWaitMs, pump);
    output.AppendLine(ran ? succeeded : failed);
    return ran;
}

}  // namespace

DriverPackageExtractor SetDriverPackageExtractor(DriverPackageExtractor extractor) {
    const DriverPackageExtractor previous = g_extractor;
    g_extractor = extractor ? extractor : &ExtractDriverPackage;
    return previous;
}

bool RunWorkspaceToolElevated(HWND owner, DialogOutput& output, const std::wstring& fileName,
                              const std::wstring& parameters, DWORD waitMs, MessagePump& pump) {
    const std::wstring folder = GetWorkspaceBaseFolder();
    const std::wstring path = folder + fileName;
    if (folder.empty() || !::PathFileExistsW(path.c_str())) {
        ShowMissingFileBox(output);
        return false;
    }

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // NO_UI: a file that cannot be started must come back as an error code, never as a system box that
    // blocks the dialog's thread.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = path.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&info)) {
        const DWORD error = ::GetLastError();
        output.AppendLine(Format(L"ShellExecuteEx failed (err=%lu)\r\n%s %s", error, path.c_str(), parameters.c_str()));
        return false;
    }
    const UniqueHandle process(info.hProcess);
    if (!process) return true;
    // Ended with the tool: one killed mid-step must not leave the installer working on alone.
    EndWithTheTool(process.get());
    if (waitMs == 0) return true;

    // The dialog keeps answering while the driver tool works.
    if (pump.Wait(process.get(), waitMs) == WAIT_TIMEOUT) {
        // Left running while this tool runs: stopping a driver installer halfway could leave the system
        // worse off. It ends with the tool at the latest.
        output.AppendLine(L"[Driver] external process timeout.");
        return false;
    }
    DWORD exitCode = 0;
    return ::GetExitCodeProcess(process.get(), &exitCode) && exitCode == 0;
}

bool PreInstallDriver(HWND owner, DialogOutput& output, MessagePump& pump) {
    if (!g_extractor()) {
        output.AppendLine(L"[Driver] Extract embedded files failed.");
        return true;
    }
    return RunDriverStep(owner, output, pump, kPreInstallParameters, L"[Driver] Pre-install succeeded.",
                         L"[Driver] Pre-install failed or timed out.");
}

bool PreUninstallDriver(HWND owner, DialogOutput& output, MessagePump& pump) {
    g_extractor();  // files still in place from the start are enough; a missing tool is reported below
    return RunDriverStep(owner, output, pump, kPreUninstallParameters, L"[Driver] Pre-uninstall succeeded.",
                         L"[Driver] Pre-uninstall failed or timed out.");
}

}  // namespace vandrel
