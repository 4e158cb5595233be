// Starting the tool's helper console programs (7za, the driver tool) hidden, with their output going
// nowhere or into a pipe, inside one job object that ends them when the tool ends, however it ends.
#pragma once

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// What a helper may do: all the tool may (elevated), or only what the user may without elevation
// (MakeRestrictedToken), for a helper that opens untrusted input. A restricted helper whose token cannot
// be made is not started.
enum class HelperRights { kTools, kRestricted };

// Starts commandLine hidden, in folder, with NUL as its standard handles and no other handle of this
// process inherited, as a helper of the tool; the process handle, or empty when it could not be started.
UniqueHandle StartHidden(const std::wstring& commandLine, const std::wstring& folder,
                         HelperRights rights = HelperRights::kTools);

// The same, with the program's standard output going into a pipe whose reading end comes back in
// output; the pipe ends when the program (and whatever it started) has ended.
UniqueHandle StartHiddenCapturing(const std::wstring& commandLine, const std::wstring& folder, UniqueFile& output,
                                  HelperRights rights = HelperRights::kTools);

// Reads a helper's output pipe to its end on a thread of its own, so that a helper with much to say never
// waits for its reader.
class OutputCollector {
public:
    explicit OutputCollector(UniqueFile pipe);
    ~OutputCollector();
    OutputCollector(const OutputCollector&) = delete;
    OutputCollector& operator=(const OutputCollector&) = delete;
    // Waits for the end of the output (the helper has ended) and hands over what was read.
    std::string Take();

private:
    UniqueFile pipe_;
    std::string text_;
    UniqueHandle thread_;
};

// Ends every process in the helpers' job (7-Zip, and whatever it started) now, before the tool itself
// ends: once the unpacking is over, and at the end of the session, nothing may go on writing into the
// workspace.
void EndHelpersNow();

// A helper in a job of its own, which ends it (and whatever it started) when the job is closed, with the
// tool at the latest, unless it was let go first.
struct OwnJobHelper {
    UniqueHandle job;
    UniqueHandle process;
};

// Starts commandLine as StartHidden does, but born into a new kill-on-close job of its own rather than the
// helpers' job: for a helper that may have to be let go (see LetOutlastTheTool). Empty process (and job)
// when it could not be started; GetLastError then tells why.
OwnJobHelper StartHiddenInOwnJob(const std::wstring& commandLine, const std::wstring& folder);

// Lets the helper in job go on when the job (or the tool) ends: for a helper that must not be stopped
// halfway, such as a driver installer past its time limit. True when the job no longer ends it.
bool LetOutlastTheTool(HANDLE job);

}  // namespace vandrel
