// The dialog templates as the system's own in-memory DLGTEMPLATEEX, so the
// Windows window has the templates' ids, texts, styles, positions in dialog
// units, font and tab order exactly.
#pragma once
#include <windows.h>

#include <vector>

#include "ui/dialog_template.h"

namespace quorvel::win32 {

// A DLGTEMPLATEEX with its items, DWORD-aligned, for DialogBoxIndirectParamW
// and CreateDialogIndirectParamW.
std::vector<DWORD> BuildDialogTemplate(const ui::DialogTemplate& tmpl, bool mainWindow);

// The window and control styles a template gives a control.
DWORD ControlStyle(const ui::ControlTemplate& control);

}  // namespace quorvel::win32
