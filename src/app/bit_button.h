// Buttons with a picture beside their caption (the OK and close kinds),
// drawn by their owner so the picture, the caption colour and the disabled
// look are the same on every Windows version: a push-button background
// (themed where a theme is active), the glyph left of the caption, the pair
// centred, the caption grey when disabled.
#pragma once

#include <windows.h>

#include <optional>

#include "app/glyphs.h"

namespace pontevia::app {

struct BitButtonLook {
  std::optional<Glyph> glyph;  // none: caption only
  COLORREF text = RGB(0, 0, 0);
  bool is_default = false;  // drawn as the dialog's default button
  int dpi = 96;
};

// Paints the owner-drawn button of `di` (WM_DRAWITEM).
void DrawBitButton(const DRAWITEMSTRUCT* di, const BitButtonLook& look);

}  // namespace pontevia::app
