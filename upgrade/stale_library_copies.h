// Private library copies left behind by processes that did not end normally (a crash or a kill skips
// the clean-up at exit).
#pragma once

namespace vandrel {

// Removes the folders "<temp>YourApp-<pid>-<ticks>" whose process no longer runs, with the library copy
// in them; folders of running processes, and folders holding anything else, stay.
void RemoveStaleLibraryCopies();

}  // namespace vandrel
