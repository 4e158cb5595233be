// The one way workspace files are deleted: bounded retries, then deletion at the next restart.
#pragma once

#include <windows.h>

#include <string>

#include "common/message_pump.h"

namespace vandrel {

constexpr DWORD kDeleteRetryStepMs = 100;
// Budget of DeleteOrScheduleAtReboot.
constexpr DWORD kDeleteBudgetMs = 5000;
// Budget for the secure image after a write (the upgrade library may still be letting go of it).
constexpr DWORD kSecureImageDeleteBudgetMs = 15000;

// Deletes path, retrying every 100 ms until budgetMs is spent; true when the file is gone.
// An empty path, a missing file and a missing folder count as gone at once. A read-only file inside the
// workspace loses the attribute first, and a large one of its own (one name, really inside the workspace)
// gives its space back in steps before it goes.
bool DeleteFileWithRetry(const std::wstring& path, DWORD budgetMs, MessagePump& pump = NoPump());

// DeleteFileWithRetry with budgetMs (5 s unless told); a file still there afterwards is registered for
// deletion at restart. The one way the tool gets rid of a file it wrote.
void DeleteOrScheduleAtReboot(const std::wstring& path, DWORD budgetMs = kDeleteBudgetMs,
                              MessagePump& pump = NoPump());

// Clears the read-only attribute of a file or folder that really lies inside the workspace, which would
// otherwise refuse its deletion (archives keep the attribute, so unpacked images may carry it). Anything
// outside the workspace, a user's own file above all, also when reached through a link, is left as it is.
void ClearReadOnlyInWorkspace(const std::wstring& path);

}  // namespace vandrel
