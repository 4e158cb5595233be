// Private library copies left behind by processes that did not end normally (a crash or a kill skips
// the clean-up at exit).
#pragma once

#include <windows.h>

namespace vandrel {

// Removes the folders "<temp>YourApp-<pid>-<ticks>" whose process no longer runs, with the library copy
// in them. Each is opened without following a link and judged as the object opened: it must be the
// tool's own (folder_trust.h), judged against madeNow, a folder this process has just made in the
// temporary folder with the private folder's security (the new copy's folder). The copy is then opened
// and deleted relative to that handle, and the folder by its handle: nothing is acted on by name after
// the check. Links, folders of running processes, folders not made by the tool, and folders holding
// anything else stay.
void RemoveStaleLibraryCopies(HANDLE madeNow);

}  // namespace vandrel
