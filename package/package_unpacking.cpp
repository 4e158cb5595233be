#include "package/package_unpacking.h"

#include "common/dispatching_wait.h"
#include "common/hidden_process.h"
#include "common/phase_marks.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "resources/resource.h"
#include "workspace/embedded_files.h"
#include "workspace/file_toolkit.h"
#include "workspace/housekeeping.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

const wchar_t kCommandTemplate[] = L"\"%s\" x \"%s\" -ptamsin_harbor_unpacking -y -o\"%s\"";
// Free space below this after a failed extraction means 7za ran out of it.
constexpr ULONGLONG kNearlyFullBytes = 1024 * 1024;

ExitCodeQuery g_exitCodeQuery = &::GetExitCodeProcess;

void ShowFailure(DialogOutput& output, const std::wstring& text) {
    output.ShowMessageBox(text, LoadText(IDS_CAPTION_7Z_FAILED).c_str(), MB_ICONERROR);
}

// The exit code of an ended process. A query that fails gives kUnknownExitCode, never 0: an
// unreadable result must not pass for a successful extraction.
DWORD ExitCodeOf(HANDLE process) {
    DWORD exitCode = kUnknownExitCode;
    if (!g_exitCodeQuery(process, &exitCode)) return kUnknownExitCode;
    return exitCode;
}

bool IsNearlyFull(const std::wstring& folder) {
    ULARGE_INTEGER available{};
    return ::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) &&
           available.QuadPart < kNearlyFullBytes;
}

// 7za.exe written out and held unchanged until its process has started: it runs with administrator
// rights, so a file swapped after the check must never be what runs. A file found changed is written
// again once; the path comes back empty when 7za cannot be put in place as carried.
UniqueFile ExtractAndPin7za(std::wstring& extractor) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        extractor = ExtractBuiltIn7za();
        if (extractor.empty() || !IsExistingFile(extractor)) break;
        if (UniqueFile pinned = PinBuiltIn7za(extractor)) return pinned;
    }
    extractor.clear();
    return UniqueFile();
}

}  // namespace

ExitCodeQuery SetExitCodeQuery(ExitCodeQuery query) {
    const ExitCodeQuery previous = g_exitCodeQuery;
    g_exitCodeQuery = query ? query : &::GetExitCodeProcess;
    return previous;
}

bool UnpackPackage(const std::wstring& firmwarePath, DialogOutput& output) {
    std::wstring extractor;
    UniqueFile pinned = ExtractAndPin7za(extractor);
    if (!pinned) {
        ShowFailure(output, LoadText(IDS_NO_7ZA));
        return false;
    }
    MarkPhase(kPhaseSevenZipWritten);
    DispatchPendingMessages();

    const std::wstring outputFolder = GetRunFolder(false);
    const std::wstring commandLine =
        Format(kCommandTemplate, extractor.c_str(), firmwarePath.c_str(), outputFolder.c_str());
    UniqueHandle process = StartHidden(commandLine, outputFolder);
    pinned.reset();
    if (!process) {
        ShowFailure(output, LoadText(IDS_7ZA_NOT_STARTED));
        return false;
    }

    // No time limit, but the dialog keeps answering while 7za runs.
    WaitDispatching(process.get(), INFINITE);
    MarkPhase(kPhaseUnpacked);
    const DWORD exitCode = ExitCodeOf(process.get());
    process.reset();
    if (exitCode != 0) {
        // Judged before what 7za left goes: a full disk is not a wrong password.
        const bool diskFull = IsNearlyFull(outputFolder);
        RemoveFolderTree(outputFolder);  // decrypted parts of the package must not stay behind
        const std::wstring exitCodeText = Format(LoadText(IDS_7ZA_EXIT_CODE).c_str(), exitCode);
        if (!diskFull) {
            ShowFailure(output, exitCodeText);
            return false;
        }
        output.AppendLine(exitCodeText);
        ShowFailure(output, Format(LoadText(IDS_DISK_FULL).c_str(), GetWorkspaceBaseFolder().c_str()));
        return false;
    }
    return true;
}

}  // namespace vandrel
