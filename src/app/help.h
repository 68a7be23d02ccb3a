// The compiled help, GestIB.chm, shown by the HTML Help viewer. The viewer
// (hhctrl.ocx) is loaded when first needed, so the program starts even on a
// system without it, and the help file is looked up beside Pontevia.exe
// whatever the current folder is.
#pragma once

#include <windows.h>

#include "base/status.h"

namespace pontevia::app {

inline constexpr wchar_t kHelpFileName[] = L"GestIB.chm";

// Opens the help's table of contents. A Status with a Spanish message when
// the file or the viewer is missing.
Status ShowHelpContents(HWND owner);

// Closes every help window the program opened; call before the program ends.
void CloseAllHelp();

}  // namespace pontevia::app
