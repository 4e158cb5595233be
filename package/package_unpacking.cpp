#include "package/package_unpacking.h"

#include "common/background_work.h"
#include "common/hidden_process.h"
#include "common/phase_marks.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "package/package_listing.h"
#include "package/package_password.h"
#include "resources/resource.h"
#include "workspace/embedded_files.h"
#include "workspace/file_facts.h"
#include "workspace/housekeeping.h"
#include "workspace/real_path.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

// The extraction, and the package's technical listing in UTF-8, both with the built-in password.
const wchar_t kExtractTemplate[] = L"\"%s\" x \"%s\" -p%s -y -o\"%s\"";
const wchar_t kListTemplate[] = L"\"%s\" l -slt -sccUTF-8 -p%s \"%s\"";
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

// Waits, pumping, for a helper that may never have started; its exit code.
DWORD WaitForExitCode(const UniqueHandle& process, MessagePump& pump) {
    if (!process) return kUnknownExitCode;
    pump.Wait(process.get(), INFINITE);
    return ExitCodeOf(process.get());
}

// 7z.exe and 7z.dll written out and held unchanged until both runs have ended: the DLL is loaded by the
// running program, so a file swapped after the check must never be what runs. Files found changed are
// written again once; the path comes back empty when the extractor cannot be put in place as carried.
PinnedFiles ExtractAndPin7za(std::wstring& extractor) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        extractor = ExtractBuiltIn7za();
        if (extractor.empty() || !IsExistingFile(extractor)) break;
        PinnedFiles pinned;
        if (PinBuiltIn7za(extractor, pinned)) return pinned;
    }
    extractor.clear();
    return PinnedFiles();
}

// The package opened once, for reading, sharing only reading: until it is let go nobody can change,
// replace, rename or delete it, so that the file 7-Zip lists is the file it extracts. 7-Zip is given its
// final path (links resolved), on which no link is left to be turned elsewhere and no folder can be
// renamed while the file below it is open. Empty when it cannot be held so.
struct HeldPackage {
    UniqueFile file;
    std::wstring path;
};
HeldPackage HoldPackage(const std::wstring& firmwarePath) {
    HeldPackage held;
    held.file.reset(::CreateFileW(firmwarePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (held.file) held.path = RealPathOf(held.file.get());
    if (held.path.empty()) held.file.reset();
    return held;
}

}  // namespace

ExitCodeQuery SetExitCodeQuery(ExitCodeQuery query) {
    const ExitCodeQuery previous = g_exitCodeQuery;
    g_exitCodeQuery = query ? query : &::GetExitCodeProcess;
    return previous;
}

bool UnpackPackage(const std::wstring& firmwarePath, DialogOutput& output, std::vector<PackageEntry>* listing,
                   MessagePump& pump) {
    // Held from here until both runs have ended, as are the extractor's files.
    const HeldPackage package = HoldPackage(firmwarePath);
    if (!package.file) {
        ShowFailure(output, Format(LoadText(IDS_PACKAGE_NOT_HELD).c_str(), firmwarePath.c_str()));
        return false;
    }
    std::wstring extractor;
    const PinnedFiles pinned = ExtractAndPin7za(extractor);
    if (pinned.empty()) {
        ShowFailure(output, LoadText(IDS_NO_7ZA));
        return false;
    }
    MarkPhase(kPhaseSevenZipWritten);
    pump.Pump();

    const std::wstring outputFolder = GetRunFolder(false);
    const ULONGLONG freeBefore = FreeBytesOn(outputFolder);
    UniqueHandle extraction;
    UniqueHandle lister;
    UniqueFile listed;
    {
        // Starting a process takes tens of milliseconds (more while security software looks at it): the
        // starts are made beside the dialog's thread, which answers meanwhile.
        const BackgroundWork starts([&] {
            // Both runs parse a file that any program of the user could have made: they get no more rights
            // than the user has without elevation.
            extraction = StartHidden(Format(kExtractTemplate, extractor.c_str(), package.path.c_str(),
                                            kPackagePassword, outputFolder.c_str()),
                                     outputFolder, HelperRights::kRestricted);
            // Side by side with the extraction, so that it costs next to no time: what the package says of
            // itself.
            lister = StartHiddenCapturing(
                Format(kListTemplate, extractor.c_str(), kPackagePassword, package.path.c_str()), outputFolder,
                listed, HelperRights::kRestricted);
        }, pump);
    }
    if (!extraction || !lister) {
        WaitForExitCode(extraction, pump);
        WaitForExitCode(lister, pump);
        RemoveFolderTree(outputFolder, pump);
        ShowFailure(output, LoadText(IDS_7ZA_NOT_STARTED));
        return false;
    }
    OutputCollector listingText(std::move(listed));

    // No time limit, but the dialog keeps answering while 7za runs.
    const DWORD exitCode = WaitForExitCode(extraction, pump);
    MarkPhase(kPhaseUnpacked);
    const DWORD listExitCode = WaitForExitCode(lister, pump);
    MarkPhase(kPhaseListed);
    // Nothing that either run started may outlive it: a package that took 7-Zip over could otherwise leave
    // a process behind that holds the listing's pipe open or goes on writing into the workspace.
    EndHelpersNow();
    const std::vector<PackageEntry> entries =
        listExitCode == 0 ? ParsePackageListing(listingText.Take()) : std::vector<PackageEntry>();
    if (exitCode != 0) {
        // Judged before what 7za left goes: a full disk is not a wrong password. The disk was too small
        // when the package needs more than was free at the start, or when 7za filled it.
        const bool diskFull =
            FreeBytesOn(outputFolder) < kNearlyFullBytes || (!entries.empty() && freeBefore < UnpackedSize(entries));
        RemoveFolderTree(outputFolder, pump);  // decrypted parts of the package must not stay behind
        const std::wstring exitCodeText = Format(LoadText(IDS_7ZA_EXIT_CODE).c_str(), exitCode);
        if (!diskFull) {
            ShowFailure(output, exitCodeText);
            return false;
        }
        output.AppendLine(exitCodeText);
        ShowFailure(output, Format(LoadText(IDS_DISK_FULL).c_str(), GetWorkspaceBaseFolder().c_str()));
        return false;
    }
    if (listExitCode != 0) {
        // Unpacked, but with nothing to hold the image against: it cannot be proven whole.
        RemoveFolderTree(outputFolder, pump);
        ShowFailure(output, Format(LoadText(IDS_7ZA_EXIT_CODE).c_str(), listExitCode));
        return false;
    }
    if (listing) *listing = entries;
    return true;
}

}  // namespace vandrel
