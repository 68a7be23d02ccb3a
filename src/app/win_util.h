// Small Win32 helpers shared by the main window and the level and course
// dialog: owners for GDI and other handles, text conversion at the Win32
// call, DPI scaling of layouts given in 96-DPI pixels, fonts and message
// boxes. Everything runs on the one user-interface thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pontevia::app {

// UTF-16 appears only here, at the Win32 call. Messages and captions are
// UTF-8; table data is Windows-1252.
std::wstring WideFromUtf8(std::string_view utf8);
std::wstring WideFromAnsi(std::string_view ansi);
std::string Utf8FromWide(std::wstring_view wide);
// Characters that 1252 cannot hold become '?'.
std::string AnsiFromWide(std::wstring_view wide);
std::wstring WindowTextOf(HWND hwnd);

// A function of a DLL loaded at run time, resolved by name; null when the
// DLL lacks it.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The folder of Pontevia.exe itself, with its final backslash: Horalia.ini
// and GestIB.chm live there whatever the current folder is.
std::wstring ProgramFolder();

// A GDI object deleted when the owner goes.
template <typename T>
class ScopedGdiObj {
 public:
  ScopedGdiObj() = default;
  explicit ScopedGdiObj(T obj) : obj_(obj) {}
  ~ScopedGdiObj() { Reset(); }
  ScopedGdiObj(const ScopedGdiObj&) = delete;
  ScopedGdiObj& operator=(const ScopedGdiObj&) = delete;
  ScopedGdiObj(ScopedGdiObj&& o) noexcept
      : obj_(std::exchange(o.obj_, nullptr)) {}
  ScopedGdiObj& operator=(ScopedGdiObj&& o) noexcept {
    if (this != &o) {
      Reset();
      obj_ = std::exchange(o.obj_, nullptr);
    }
    return *this;
  }
  void Reset(T obj = nullptr) {
    if (obj_) DeleteObject(obj_);
    obj_ = obj;
  }
  T get() const { return obj_; }
  explicit operator bool() const { return obj_ != nullptr; }

 private:
  T obj_ = nullptr;
};

class ScopedIcon {
 public:
  ScopedIcon() = default;
  explicit ScopedIcon(HICON icon) : icon_(icon) {}
  ~ScopedIcon() { Reset(); }
  ScopedIcon(const ScopedIcon&) = delete;
  ScopedIcon& operator=(const ScopedIcon&) = delete;
  void Reset(HICON icon = nullptr) {
    if (icon_) DestroyIcon(icon_);
    icon_ = icon;
  }
  HICON get() const { return icon_; }

 private:
  HICON icon_ = nullptr;
};

// A device context selected back and released on scope exit.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
  ~ScopedSelect() { SelectObject(dc_, old_); }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~ScopedGetDC() { ReleaseDC(hwnd_, dc_); }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// Left, top, width and height at 96 DPI, as the layouts are drawn.
struct Bounds {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The DPI a window is shown at; 96 when the system cannot tell.
int DpiOf(HWND hwnd);
// The DPI of the monitor nearest to the screen point (for windows not yet
// created).
int DpiOfPoint(POINT pt);
inline int Scaled(int px96, int dpi) { return MulDiv(px96, dpi, 96); }
RECT ScaledRect(const Bounds& b, int dpi);
// Window size for a client area, with the frame of `style` at `dpi`.
SIZE WindowSizeForClient(int client_width, int client_height, DWORD style,
                         DWORD ex_style, int dpi);

// Fonts by face, point size and weight, created for one DPI.
struct FontSpec {
  const wchar_t* face = L"MS Sans Serif";
  int points = 8;
  bool bold = false;
  bool underline = false;
};
ScopedGdiObj<HFONT> CreateUiFont(const FontSpec& font, int dpi);

// Remembers each control with its 96-DPI bounds and its font slot, so a
// window can be laid out again when it moves to a monitor of another DPI.
class Layout {
 public:
  void Add(HWND hwnd, const Bounds& bounds, int font_slot);
  // Moves every control and gives it its font (`fonts[font_slot]`).
  void Apply(int dpi, const std::vector<HFONT>& fonts) const;

 private:
  struct Item {
    HWND hwnd;
    Bounds bounds;
    int font_slot;
  };
  std::vector<Item> items_;
};

// A child control created from a filled structure rather than a long
// argument list. Text is UTF-8.
struct ControlArgs {
  HWND parent = nullptr;
  int id = 0;
  const wchar_t* window_class = L"STATIC";
  std::string text;
  DWORD style = 0;  // WS_CHILD is always added
  DWORD ex_style = 0;
  Bounds bounds;
  bool visible = true;
};
HWND CreateControl(const ControlArgs& args, int dpi);

// The program's plain message boxes. Text and caption UTF-8.
int ShowMessage(HWND owner, std::string_view text, std::string_view caption,
                UINT flags);
// The caption of the program's own messages, as the application title.
inline constexpr const char kProgramTitle[] = "Pontevia";

// Fills `rc` with a vertical three-colour gradient: start at the top,
// middle halfway, end at the bottom.
void PaintGradient(HDC dc, const RECT& rc, COLORREF start, COLORREF middle,
                   COLORREF end);

// The object a window procedure serves. It arrives as the creation parameter
// with WM_NCCREATE and is kept in the window's user data for every later
// message; null for the few messages before it and after WM_NCDESTROY clears it.
template <typename T>
T* WindowObject(HWND hwnd, UINT msg, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    return self;
  }
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace pontevia::app
