#include "dialogs/navigator.h"

#include <commctrl.h>

#include <algorithm>

#include "app/glyphs.h"

namespace pontevia::dialogs {

namespace {

constexpr wchar_t kNavButtonClass[] = L"PonteviaNavButton";
constexpr UINT kInitialDelayMs = 500;
constexpr UINT kRepeatMs = 100;
constexpr UINT_PTR kRepeatTimer = 1;

constexpr const wchar_t* kHints[kNavButtonCount] = {
    L"Move to first record",
    L"Move backward 10 records",
    L"Move to prior record",
    L"Move to next record",
    L"Move forward 10 records",
    L"Move to last record",
    L"Edit current record",
    L"Post changes of current record",
    L"Cancel changes made to current record",
    L"Refresh the contents of the dataset",
};

// Only the stepping buttons repeat: repeating edit, post or cancel would
// mean nothing more than one press.
bool Repeats(int index) {
  const auto b = static_cast<NavButton>(index);
  return b == NavButton::kPriorPage || b == NavButton::kPrior ||
         b == NavButton::kNext || b == NavButton::kNextPage;
}

struct ButtonState {
  int index = 0;
  bool pressed = false;   // mouse held down on the button
  bool tracking = false;  // mouse captured since the press
};

bool CursorInside(HWND hwnd) {
  POINT pt;
  GetCursorPos(&pt);
  RECT rc;
  GetWindowRect(hwnd, &rc);
  return PtInRect(&rc, pt) != FALSE;
}

void Fire(HWND hwnd) {
  SendMessageW(GetParent(hwnd), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
               reinterpret_cast<LPARAM>(hwnd));
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* st =
      reinterpret_cast<ButtonState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      auto* state = new ButtonState;
      state->index =
          static_cast<int>(reinterpret_cast<INT_PTR>(cs->lpCreateParams));
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
      break;
    }
    case WM_NCDESTROY:
      delete st;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      const bool down = st && st->pressed;
      DrawFrameControl(dc, &rc, DFC_BUTTON,
                       DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0));
      const int side = (std::min)(rc.right, rc.bottom) * 16 / 25;
      RECT glyph{(rc.right - side) / 2, (rc.bottom - side) / 2, 0, 0};
      glyph.right = glyph.left + side;
      glyph.bottom = glyph.top + side;
      if (down) OffsetRect(&glyph, 1, 1);
      if (st) {
        app::DrawGlyph(dc,
                       static_cast<app::Glyph>(
                           static_cast<int>(app::Glyph::kNavFirst) + st->index),
                       glyph, IsWindowEnabled(hwnd) != FALSE);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ENABLE:
      if (!wp && st) {
        st->pressed = false;
        KillTimer(hwnd, kRepeatTimer);
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!st) break;
      st->pressed = true;
      st->tracking = true;
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      if (Repeats(st->index))
        SetTimer(hwnd, kRepeatTimer, kInitialDelayMs, nullptr);
      return 0;
    case WM_MOUSEMOVE:
      if (st && st->tracking) {
        const bool inside = CursorInside(hwnd);
        if (inside != st->pressed) {
          st->pressed = inside;
          InvalidateRect(hwnd, nullptr, TRUE);
        }
      }
      return 0;
    case WM_TIMER:
      if (st && wp == kRepeatTimer) {
        SetTimer(hwnd, kRepeatTimer, kRepeatMs, nullptr);
        if (st->pressed && IsWindowEnabled(hwnd)) Fire(hwnd);
      }
      return 0;
    case WM_LBUTTONUP:
      if (st && st->tracking) {
        const bool click = st->pressed && CursorInside(hwnd);
        st->tracking = false;
        st->pressed = false;
        KillTimer(hwnd, kRepeatTimer);
        ReleaseCapture();
        InvalidateRect(hwnd, nullptr, TRUE);
        if (click && IsWindowEnabled(hwnd)) Fire(hwnd);
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (st && st->tracking && reinterpret_cast<HWND>(lp) != hwnd) {
        st->tracking = false;
        st->pressed = false;
        KillTimer(hwnd, kRepeatTimer);
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case BM_CLICK:
      // Lets keyboard-less callers (and the tests) press the button.
      if (IsWindowEnabled(hwnd)) Fire(hwnd);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterButtonClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ButtonProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kNavButtonClass;
  RegisterClassExW(&wc);
  registered = true;
}

}  // namespace

bool Navigator::Create(const CreateArgs& args, int dpi, app::Layout* layout) {
  RegisterButtonClass();
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, args.tooltip_owner, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  const int width = args.bounds.width / kNavButtonCount;
  for (int i = 0; i < kNavButtonCount; ++i) {
    app::Bounds b{args.bounds.x + i * width, args.bounds.y, width,
                  args.bounds.height};
    RECT rc = app::ScaledRect(b, dpi);
    buttons_[i] = CreateWindowExW(
        0, kNavButtonClass, kHints[i], WS_CHILD | WS_VISIBLE, rc.left, rc.top,
        rc.right - rc.left, rc.bottom - rc.top, args.parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.first_id + i)),
        GetModuleHandleW(nullptr),
        reinterpret_cast<void*>(static_cast<INT_PTR>(i)));
    if (!buttons_[i]) return false;
    layout->Add(buttons_[i], b, -1);
    if (tooltip_) {
      TOOLINFOW ti{};
      ti.cbSize = sizeof(ti);
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = args.parent;
      ti.uId = reinterpret_cast<UINT_PTR>(buttons_[i]);
      ti.lpszText = const_cast<wchar_t*>(kHints[i]);
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
  }
  return true;
}

void Navigator::SetEnabled(const std::array<bool, kNavButtonCount>& enabled) {
  for (int i = 0; i < kNavButtonCount; ++i) {
    if ((IsWindowEnabled(buttons_[i]) != FALSE) != enabled[i])
      EnableWindow(buttons_[i], enabled[i]);
  }
}

}  // namespace pontevia::dialogs
