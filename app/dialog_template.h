// Reads a dialog template's caption without creating the dialog.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel {

// The caption of the executable's dialog template id in the language the resource lookup picks
// for this user interface; empty when the template cannot be found.
std::wstring DialogTemplateCaption(UINT id);

}  // namespace vandrel
