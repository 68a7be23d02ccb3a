#include "app/gradient_panel.h"

namespace pontevia::app {

namespace {

constexpr wchar_t kPanelClass[] = L"PonteviaGradientPanel";

void RegisterPanelClass(WNDPROC proc) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kPanelClass;
  RegisterClassExW(&wc);
  registered = true;
}

}  // namespace

bool GradientPanel::Create(const CreateArgs& args, int dpi) {
  RegisterPanelClass(&GradientPanel::Proc);
  bounds_ = args.bounds;
  start_ = args.start;
  middle_ = args.middle;
  end_ = args.end;
  RECT rc = ScaledRect(args.bounds, dpi);
  hwnd_ = CreateWindowExW(
      WS_EX_CONTROLPARENT, kPanelClass, L"",
      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rc.left,
      rc.top, rc.right - rc.left, rc.bottom - rc.top, args.parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)),
      GetModuleHandleW(nullptr), this);
  return hwnd_ != nullptr;
}

void GradientPanel::SetLabelStyle(HWND label, const LabelStyle& style) {
  for (auto& [hwnd, s] : labels_) {
    if (hwnd == label) {
      s = style;
      return;
    }
  }
  labels_.emplace_back(label, style);
}

LRESULT CALLBACK GradientPanel::Proc(HWND hwnd, UINT msg, WPARAM wp,
                                     LPARAM lp) {
  auto* self = WindowObject<GradientPanel>(hwnd, msg, lp);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    for (auto& [color, brush] : self->solid_brushes_) DeleteObject(brush);
    self->solid_brushes_.clear();
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->OnMessage(msg, wp, lp);
}

void GradientPanel::RebuildCache() {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  if (rc.right <= 0 || rc.bottom <= 0) return;
  ScopedGetDC screen(hwnd_);
  cache_.Reset(CreateCompatibleBitmap(screen.get(), rc.right, rc.bottom));
  HDC mem = CreateCompatibleDC(screen.get());
  {
    ScopedSelect sel(mem, cache_.get());
    PaintGradient(mem, rc, start_, middle_, end_);
  }
  DeleteDC(mem);
  pattern_.Reset(CreatePatternBrush(cache_.get()));
}

HBRUSH GradientPanel::BrushFor(HWND child, HDC dc) {
  const LabelStyle* style = nullptr;
  for (const auto& [hwnd, s] : labels_) {
    if (hwnd == child) style = &s;
  }
  SetTextColor(dc, style ? style->text : GetSysColor(COLOR_BTNTEXT));
  if (style && style->opaque) {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, style->background);
    for (const auto& [color, brush] : solid_brushes_) {
      if (color == style->background) return brush;
    }
    HBRUSH brush = CreateSolidBrush(style->background);
    solid_brushes_.emplace_back(style->background, brush);
    return brush;
  }
  SetBkMode(dc, TRANSPARENT);
  if (!pattern_) RebuildCache();
  // The pattern is the panel's whole gradient; shifting its origin by the
  // child's position makes the child's background continue the panel's.
  RECT rc;
  GetWindowRect(child, &rc);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rc), 2);
  SetBrushOrgEx(dc, -rc.left, -rc.top, nullptr);
  return pattern_.get();
}

LRESULT GradientPanel::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      RebuildCache();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      if (!cache_) RebuildCache();
      RECT rc;
      GetClientRect(hwnd_, &rc);
      HDC mem = CreateCompatibleDC(dc);
      {
        ScopedSelect sel(mem, cache_.get());
        BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
      }
      DeleteDC(mem);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT rc;
      GetClientRect(hwnd_, &rc);
      PaintGradient(reinterpret_cast<HDC>(wp), rc, start_, middle_, end_);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<LRESULT>(
          BrushFor(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)));
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
      return SendMessageW(GetParent(hwnd_), msg, wp, lp);
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

}  // namespace pontevia::app
