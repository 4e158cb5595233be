#include "driver/driver_install.h"

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
bool RunDriverStep(DialogOutput& output, MessagePump& pump, const wchar_t* parameters,
                   const wchar_t* succeeded, const wchar_t* failed) {
    PinnedFiles pinned;
    const bool ran = HoldDriverPackageForRun(output, pinned) &&
                     RunWorkspaceToolElevated(output, kDriverToolName, parameters, kDriverToolWaitMs, pump);
    output.AppendLine(ran ? succeeded : failed);
    return ran;
}

}  // namespace

DriverPackageExtractor SetDriverPackageExtractor(DriverPackageExtractor extractor) {
    const DriverPackageExtractor previous = g_extractor;
    g_extractor = extractor ? extractor : &ExtractDriverPackage;
    return previous;
}

bool RunWorkspaceToolElevated(DialogOutput& output, const std::wstring& fileName,
                              const std::wstring& parameters, DWORD waitMs, MessagePump& pump) {
    const std::wstring folder = GetWorkspaceBaseFolder();
    const std::wstring path = folder + fileName;
    if (folder.empty() || !::PathFileExistsW(path.c_str())) {
        ShowMissingFileBox(output);
        return false;
    }

    // The tool runs elevated already, so the driver tool is started directly rather than through the
    // shell's "runas": born suspended into a job of its own, so that no instruction of it runs outside
    // the job, and a tool killed mid-step ends it too.
    const OwnJobHelper helper = StartHiddenInOwnJob(Format(L"\"%s\" %s", path.c_str(), parameters.c_str()), folder);
    if (!helper.process) {
        const DWORD error = ::GetLastError();
        // The line support staff know from earlier versions, which started the tool through the shell.
        output.AppendLine(Format(L"ShellExecuteEx failed (err=%lu)\r\n%s %s", error, path.c_str(), parameters.c_str()));
        return false;
    }
    const UniqueHandle& process = helper.process;
    if (waitMs == 0) {
        LetOutlastTheTool(helper.job.get());  // not waited for: it finishes on its own
        return true;
    }

    // The dialog keeps answering while the driver tool works.
    if (pump.Wait(process.get(), waitMs) == WAIT_TIMEOUT) {
        // Left running, also after this tool ends: stopping a driver installer halfway could leave the
        // system worse off.
        LetOutlastTheTool(helper.job.get());
        output.AppendLine(L"[Driver] external process timeout.");
        return false;
    }
    DWORD exitCode = 0;
    return ::GetExitCodeProcess(process.get(), &exitCode) && exitCode == 0;
}

bool PreInstallDriver(DialogOutput& output, MessagePump& pump) {
    if (!g_extractor()) {
        output.AppendLine(L"[Driver] Extract embedded files failed.");
        return true;
    }
    return RunDriverStep(output, pump, kPreInstallParameters, L"[Driver] Pre-install succeeded.",
                         L"[Driver] Pre-install failed or timed out.");
}

bool PreUninstallDriver(DialogOutput& output, MessagePump& pump) {
    g_extractor();  // files still in place from the start are enough; a missing tool is reported below
    return RunDriverStep(output, pump, kPreUninstallParameters, L"[Driver] Pre-uninstall succeeded.",
                         L"[Driver] Pre-uninstall failed or timed out.");
}

}  // namespace vandrel
