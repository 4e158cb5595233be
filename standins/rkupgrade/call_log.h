// The stand-in library's log: one line per call, with its arguments and result, appended to
// "<log folder>RKUpgrade_<yyyymmdd>.log" (UTF-8) once RK_InitializeW has named the folder with logging on.
#pragma once

#include <string>

namespace vandrel::standin {

// Turns logging on into folder, or off.
void ConfigureCallLog(bool enabled, const std::wstring& folder);

// Appends one time-stamped line when logging is on.
void LogCall(const std::wstring& line);

}  // namespace vandrel::standin
