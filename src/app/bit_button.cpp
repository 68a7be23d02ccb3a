#include "app/bit_button.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <string>

#include "app/win_util.h"

namespace pontevia::app {

void DrawBitButton(const DRAWITEMSTRUCT* di, const BitButtonLook& look) {
  HDC dc = di->hDC;
  RECT rc = di->rcItem;
  const bool pressed = (di->itemState & ODS_SELECTED) != 0;
  const bool disabled = (di->itemState & ODS_DISABLED) != 0;
  const bool focused = (di->itemState & ODS_FOCUS) != 0;

  if (HTHEME theme = OpenThemeData(di->hwndItem, L"BUTTON")) {
    int state = PBS_NORMAL;
    if (disabled) {
      state = PBS_DISABLED;
    } else if (pressed) {
      state = PBS_PRESSED;
    } else if (look.is_default || focused) {
      state = PBS_DEFAULTED;
    }
    if (IsThemeBackgroundPartiallyTransparent(theme, BP_PUSHBUTTON, state)) {
      DrawThemeParentBackground(di->hwndItem, dc, &rc);
    }
    DrawThemeBackground(theme, dc, BP_PUSHBUTTON, state, &rc, nullptr);
    CloseThemeData(theme);
  } else {
    RECT face = rc;
    if (look.is_default || focused) {
      // The classic default button: a black frame around the raised face.
      FrameRect(dc, &face, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      InflateRect(&face, -1, -1);
    }
    DrawFrameControl(dc, &face, DFC_BUTTON,
                     DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  }

  const std::wstring text = WindowTextOf(di->hwndItem);
  HFONT font =
      reinterpret_cast<HFONT>(SendMessageW(di->hwndItem, WM_GETFONT, 0, 0));
  ScopedSelect sel(dc, font);
  const UINT prefix = (di->itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
  RECT measure{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure,
            DT_CALCRECT | DT_SINGLELINE | prefix);
  const int glyph = look.glyph ? Scaled(16, look.dpi) : 0;
  const int gap = look.glyph ? Scaled(4, look.dpi) : 0;
  const int total = glyph + gap + (measure.right - measure.left);
  int x = rc.left + ((rc.right - rc.left) - total) / 2;
  const int shift = pressed ? 1 : 0;
  if (look.glyph) {
    const int y = rc.top + ((rc.bottom - rc.top) - glyph) / 2;
    RECT box{x + shift, y + shift, x + shift + glyph, y + shift + glyph};
    DrawGlyph(dc, *look.glyph, box, !disabled);
    x += glyph + gap;
  }
  RECT text_rc{x + shift, rc.top + shift,
               x + shift + (measure.right - measure.left) + 1,
               rc.bottom + shift};
  SetBkMode(dc, TRANSPARENT);
  if (disabled) {
    // Embossed, as Windows draws a disabled caption.
    RECT light = text_rc;
    OffsetRect(&light, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &light,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | prefix);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  } else {
    SetTextColor(dc, look.text);
  }
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_rc,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | prefix);
  if (focused && !(di->itemState & ODS_NOFOCUSRECT)) {
    RECT focus = rc;
    InflateRect(&focus, -Scaled(4, look.dpi), -Scaled(4, look.dpi));
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace pontevia::app
