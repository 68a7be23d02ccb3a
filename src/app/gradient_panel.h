// The gradient panel that lies behind the controls of both windows: a child
// window painted with GradientFill, holding labels and buttons. Labels on it
// are transparent (they are painted with the panel's own gradient) or stand
// on a solid colour of their own. Notifications of the controls it holds
// are passed on to its parent, so the window that owns the panel handles them.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "app/win_util.h"

namespace pontevia::app {

struct LabelStyle {
  COLORREF text = RGB(0, 0, 0);
  bool opaque = false;  // stands on `background` instead of the gradient
  COLORREF background = RGB(255, 255, 255);
};

class GradientPanel {
 public:
  struct CreateArgs {
    HWND parent = nullptr;
    int id = 0;
    Bounds bounds;
    COLORREF start = RGB(255, 255, 255);
    COLORREF middle = RGB(255, 255, 255);
    COLORREF end = RGB(255, 255, 255);
  };

  GradientPanel() = default;
  GradientPanel(const GradientPanel&) = delete;
  GradientPanel& operator=(const GradientPanel&) = delete;

  // The window is destroyed with its parent.
  bool Create(const CreateArgs& args, int dpi);
  HWND hwnd() const { return hwnd_; }
  const Bounds& bounds() const { return bounds_; }

  // How a label on this panel paints its text and background.
  void SetLabelStyle(HWND label, const LabelStyle& style);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  void RebuildCache();
  HBRUSH BrushFor(HWND child, HDC dc);

  HWND hwnd_ = nullptr;
  Bounds bounds_;
  COLORREF start_ = 0, middle_ = 0, end_ = 0;
  ScopedGdiObj<HBITMAP> cache_;
  ScopedGdiObj<HBRUSH> pattern_;
  std::vector<std::pair<HWND, LabelStyle>> labels_;
  std::vector<std::pair<COLORREF, HBRUSH>> solid_brushes_;
};

}  // namespace pontevia::app
