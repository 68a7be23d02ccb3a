#include "app/win_util.h"

#include "text/ansi.h"

namespace pontevia::app {

namespace {

// GetDpiForWindow and friends exist from Windows 10 1607 on; older systems
// run the program at the system DPI.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD,
                                                 UINT);

struct DpiCalls {
  GetDpiForWindowFn get_dpi_for_window = nullptr;
  AdjustWindowRectExForDpiFn adjust_for_dpi = nullptr;
  HRESULT(WINAPI* get_dpi_for_monitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
};

const DpiCalls& Dpi() {
  static const DpiCalls calls = [] {
    DpiCalls c;
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
      c.get_dpi_for_window =
          ProcAddress<GetDpiForWindowFn>(user32, "GetDpiForWindow");
      c.adjust_for_dpi = ProcAddress<AdjustWindowRectExForDpiFn>(
          user32, "AdjustWindowRectExForDpi");
    }
    if (HMODULE shcore = LoadLibraryW(L"shcore.dll")) {
      c.get_dpi_for_monitor = ProcAddress<decltype(c.get_dpi_for_monitor)>(
          shcore, "GetDpiForMonitor");
    }
    return c;
  }();
  return calls;
}

int SystemDpi() {
  ScopedGetDC screen(nullptr);
  int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view utf8) {
  std::u16string s = text::Utf8ToUtf16(utf8);
  return std::wstring(s.begin(), s.end());
}

std::wstring WideFromAnsi(std::string_view ansi) {
  std::u16string s = text::AnsiToUtf16(ansi);
  return std::wstring(s.begin(), s.end());
}

std::string Utf8FromWide(std::wstring_view wide) {
  return text::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::string AnsiFromWide(std::wstring_view wide) {
  return text::Utf16ToAnsi(std::u16string(wide.begin(), wide.end()));
}

std::wstring WindowTextOf(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd, s.data(), n + 1);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(),
                                 static_cast<DWORD>(path.size()));
    if (n == 0) return L"";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
}

int DpiOf(HWND hwnd) {
  if (hwnd && Dpi().get_dpi_for_window) {
    UINT dpi = Dpi().get_dpi_for_window(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

int DpiOfPoint(POINT pt) {
  if (Dpi().get_dpi_for_monitor) {
    UINT x = 0, y = 0;
    HMONITOR monitor = MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST);
    if (SUCCEEDED(Dpi().get_dpi_for_monitor(monitor, 0 /*MDT_EFFECTIVE_DPI*/,
                                            &x, &y)) &&
        x > 0) {
      return static_cast<int>(x);
    }
  }
  return SystemDpi();
}

RECT ScaledRect(const Bounds& b, int dpi) {
  RECT rc;
  rc.left = Scaled(b.x, dpi);
  rc.top = Scaled(b.y, dpi);
  rc.right = Scaled(b.x + b.width, dpi);
  rc.bottom = Scaled(b.y + b.height, dpi);
  return rc;
}

SIZE WindowSizeForClient(int client_width, int client_height, DWORD style,
                         DWORD ex_style, int dpi) {
  RECT rc{0, 0, client_width, client_height};
  if (Dpi().adjust_for_dpi) {
    Dpi().adjust_for_dpi(&rc, style, FALSE, ex_style, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&rc, style, FALSE, ex_style);
  }
  return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

ScopedGdiObj<HFONT> CreateUiFont(const FontSpec& font, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(font.points, dpi, 72);
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = font.underline ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, font.face, LF_FACESIZE);
  return ScopedGdiObj<HFONT>(CreateFontIndirectW(&lf));
}

void Layout::Add(HWND hwnd, const Bounds& bounds, int font_slot) {
  items_.push_back(Item{hwnd, bounds, font_slot});
}

void Layout::Apply(int dpi, const std::vector<HFONT>& fonts) const {
  for (const Item& item : items_) {
    RECT rc = ScaledRect(item.bounds, dpi);
    SetWindowPos(item.hwnd, nullptr, rc.left, rc.top, rc.right - rc.left,
                 rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (item.font_slot >= 0 &&
        item.font_slot < static_cast<int>(fonts.size())) {
      SendMessageW(item.hwnd, WM_SETFONT,
                   reinterpret_cast<WPARAM>(fonts[item.font_slot]), TRUE);
    }
  }
}

HWND CreateControl(const ControlArgs& args, int dpi) {
  RECT rc = ScaledRect(args.bounds, dpi);
  DWORD style = WS_CHILD | args.style | (args.visible ? WS_VISIBLE : 0);
  return CreateWindowExW(
      args.ex_style, args.window_class, WideFromUtf8(args.text).c_str(), style,
      rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, args.parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)),
      GetModuleHandleW(nullptr), nullptr);
}

int ShowMessage(HWND owner, std::string_view text, std::string_view caption,
                UINT flags) {
  return MessageBoxW(owner, WideFromUtf8(text).c_str(),
                     WideFromUtf8(caption).c_str(), flags);
}

void PaintGradient(HDC dc, const RECT& rc, COLORREF start, COLORREF middle,
                   COLORREF end) {
  const LONG mid_y = rc.top + (rc.bottom - rc.top) / 2;
  auto vertex = [](LONG x, LONG y, COLORREF c) {
    TRIVERTEX v;
    v.x = x;
    v.y = y;
    v.Red = static_cast<COLOR16>(GetRValue(c) << 8);
    v.Green = static_cast<COLOR16>(GetGValue(c) << 8);
    v.Blue = static_cast<COLOR16>(GetBValue(c) << 8);
    v.Alpha = 0;
    return v;
  };
  TRIVERTEX v[4] = {
      vertex(rc.left, rc.top, start), vertex(rc.right, mid_y, middle),
      vertex(rc.left, mid_y, middle), vertex(rc.right, rc.bottom, end)};
  GRADIENT_RECT r[2] = {{0, 1}, {2, 3}};
  GradientFill(dc, v, 4, r, 2, GRADIENT_FILL_RECT_V);
}

}  // namespace pontevia::app
