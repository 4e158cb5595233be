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

// Makes a started program one of the tool's helpers: it is ended when the tool ends. False when the
// system refuses (the program then runs on its own, as before).
bool EndWithTheTool(HANDLE process);

}  // namespace vandrel
