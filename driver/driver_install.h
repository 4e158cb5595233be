// The RockUSB driver package put into the system at dialog start and taken out at close, through the
// driver-install console tool extracted into the workspace base folder.
#pragma once

#include <windows.h>

#include <string>

#include "common/dialog_output.h"
#include "common/message_pump.h"

namespace vandrel {

// How long each driver step may take.
constexpr DWORD kDriverToolWaitMs = 30000;

// Runs fileName from the workspace base folder (also its working directory) with the tool's own
// (administrator) rights, hidden, born into a job that ends it with the tool, and waits at most waitMs.
// True when it ended with exit code 0, or when waitMs is 0; false after the missing-file box, an
// unstartable file or a time-out (each reported). A tool past its limit, or not waited for, is let go:
// it finishes on its own, also after this tool has ended.
bool RunWorkspaceToolElevated(DialogOutput& output, const std::wstring& fileName,
                              const std::wstring& parameters, DWORD waitMs, MessagePump& pump = NoPump());

// Extracts the driver package and runs "driver_x64.exe /i \"rockusb.inf\"", the package held unchanged
// while it runs. False when the tool ran and failed (or timed out), or differs from the carried one and
// cannot be written again (it is then never run): the dialog must then end. When the package cannot be extracted, the
// line says so, the tool is not run, and the result is true: the dialog goes on without the driver.
bool PreInstallDriver(DialogOutput& output, MessagePump& pump = NoPump());

// Runs "driver_x64.exe /u \"VID_2207\" \"rockusb.inf\"" (after another extraction whose result is not
// judged), held as for the pre-install; true when the tool reported success. On false the close request
// is refused.
bool PreUninstallDriver(DialogOutput& output, MessagePump& pump = NoPump());

// Replaces the extraction the two steps start with (ExtractDriverPackage by default) and returns the
// previous one; lets a test provide the files itself or make the extraction fail.
using DriverPackageExtractor = bool (*)();
DriverPackageExtractor SetDriverPackageExtractor(DriverPackageExtractor extractor);

}  // namespace vandrel
