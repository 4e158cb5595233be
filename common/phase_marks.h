// Moments of the tool's work, stamped with QueryPerformanceCounter into a small named shared section,
// so that a measuring program can see where the time goes without the tool writing any file. The tool
// never reads them back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vandrel {

enum Phase : uint32_t {
    kPhaseFirstStatus,         // start-up done: the first "[Status]" line is shown
    // The write run on the dialog's thread, from the click to the worker, in the order it happens.
    kPhaseClick,               // Start Writing clicked
    kPhaseHousekeepingDone,
    kPhaseRunFolderMade,       // the run folder exists; the decoys are started beside what follows
    kPhaseSevenZipWritten,     // 7z.exe and 7z.dll written out and checked
    kPhaseUnpacked,            // the extraction has ended
    kPhaseListed,              // the listing, run beside the extraction, has ended too
    kPhaseScanned,
    kPhaseImageChosen,
    kPhaseCopyStarted,         // the secure image file exists
    kPhaseCopied,              // every block copied, before the flush
    kPhaseFlushed,
    kPhasePrepared,            // the preparation is over, the decoys joined
    kPhaseWorkerStarted,       // the write run's worker runs
    // Beside the dialog's thread.
    kPhaseDecoysDone,          // on the decoys' own thread
    kPhaseUnpackedDeleted,     // on the worker: every unpacked file but the secure copy is gone
    kPhaseDeviceWritten,       // on the worker: the library's write has returned; the clean-up follows
    kPhaseRunEnded,            // the dialog's thread has the worker's outcome
    // The close.
    kPhaseCloseRequested,
    kPhaseDriverRemovalStarted,
    kPhaseDriverRemovalEnded,
    kPhaseCloseDone,           // the dialog is about to end
    kPhaseCount
};

// The name of a process's section: "Local\Vandrel.Phases.<pid>".
std::wstring PhaseSectionName(DWORD processId);

// Stamps phase with the current QueryPerformanceCounter value (0 means "not reached"). A section that
// cannot be made leaves the marks out; the work goes on.
void MarkPhase(Phase phase);

// The layout of the section: one counter value per phase.
struct PhaseTicks {
    int64_t ticks[kPhaseCount];
};

}  // namespace vandrel
