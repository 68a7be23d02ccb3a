// The small pictures on the buttons, drawn with GDI on a 16-unit grid and
// scaled to any size, so they stay sharp at every DPI and no bitmap files
// are needed: the OK and close glyphs of the bitmap buttons and the ten
// pictures of the record navigator.
#pragma once

#include <windows.h>

namespace pontevia::app {

enum class Glyph {
  kOk,
  kClose,
  kNavFirst,
  kNavPriorPage,
  kNavPrior,
  kNavNext,
  kNavNextPage,
  kNavLast,
  kNavEdit,
  kNavPost,
  kNavCancel,
  kNavRefresh,
};

// Draws `glyph` inside `box`; a disabled glyph is drawn grey and embossed.
void DrawGlyph(HDC dc, Glyph glyph, const RECT& box, bool enabled);

}  // namespace pontevia::app
