#include "app/glyphs.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "app/win_util.h"

namespace pontevia::app {

namespace {

struct Canvas {
  HDC dc;
  RECT box;
  // Maps a point of the 16-unit design grid into the box.
  POINT At(int x, int y) const {
    const int w = box.right - box.left;
    const int h = box.bottom - box.top;
    return POINT{box.left + MulDiv(x, w, 16), box.top + MulDiv(y, h, 16)};
  }
  void Polygon(std::initializer_list<POINT> grid_points, COLORREF fill,
               COLORREF line) const {
    std::vector<POINT> pts;
    for (POINT p : grid_points) pts.push_back(At(p.x, p.y));
    ScopedGdiObj<HBRUSH> brush(CreateSolidBrush(fill));
    ScopedGdiObj<HPEN> pen(CreatePen(PS_SOLID, 1, line));
    ScopedSelect b(dc, brush.get());
    ScopedSelect p(dc, pen.get());
    ::Polygon(dc, pts.data(), static_cast<int>(pts.size()));
  }
  void Box(int l, int t, int r, int b, COLORREF fill, COLORREF line) const {
    Polygon({{l, t}, {r, t}, {r, b}, {l, b}}, fill, line);
  }
  void Line(int x1, int y1, int x2, int y2, int width_units,
            COLORREF color) const {
    const int w = box.right - box.left;
    ScopedGdiObj<HPEN> pen(
        CreatePen(PS_SOLID, (std::max)(1, MulDiv(width_units, w, 16)), color));
    ScopedSelect p(dc, pen.get());
    POINT a = At(x1, y1), b = At(x2, y2);
    MoveToEx(dc, a.x, a.y, nullptr);
    LineTo(dc, b.x, b.y);
  }
};

void DrawShape(const Canvas& c, Glyph glyph, COLORREF ink, bool colourful) {
  const COLORREF green = colourful ? RGB(0, 128, 0) : ink;
  const COLORREF dark_green = colourful ? RGB(0, 80, 0) : ink;
  switch (glyph) {
    case Glyph::kOk:
    case Glyph::kNavPost:
      c.Polygon({{1, 9}, {3, 7}, {6, 10}, {12, 3}, {14, 5}, {6, 13}},
                glyph == Glyph::kOk ? green : ink,
                glyph == Glyph::kOk ? dark_green : ink);
      break;
    case Glyph::kClose: {
      const COLORREF frame = colourful ? RGB(96, 64, 0) : ink;
      const COLORREF opening = colourful ? RGB(32, 32, 32) : ink;
      const COLORREF wood = colourful ? RGB(208, 152, 48) : RGB(255, 255, 255);
      c.Box(3, 1, 13, 15, opening, frame);
      c.Polygon({{4, 2}, {10, 4}, {10, 15}, {4, 14}}, wood, frame);
      c.Box(8, 8, 9, 10, frame, frame);
      break;
    }
    case Glyph::kNavFirst:
      c.Box(3, 3, 5, 13, ink, ink);
      c.Polygon({{6, 8}, {12, 3}, {12, 13}}, ink, ink);
      break;
    case Glyph::kNavPriorPage:
      c.Polygon({{2, 8}, {7, 3}, {7, 13}}, ink, ink);
      c.Polygon({{8, 8}, {13, 3}, {13, 13}}, ink, ink);
      break;
    case Glyph::kNavPrior:
      c.Polygon({{5, 8}, {10, 3}, {10, 13}}, ink, ink);
      break;
    case Glyph::kNavNext:
      c.Polygon({{6, 3}, {11, 8}, {6, 13}}, ink, ink);
      break;
    case Glyph::kNavNextPage:
      c.Polygon({{3, 3}, {8, 8}, {3, 13}}, ink, ink);
      c.Polygon({{9, 3}, {14, 8}, {9, 13}}, ink, ink);
      break;
    case Glyph::kNavLast:
      c.Polygon({{4, 3}, {10, 8}, {4, 13}}, ink, ink);
      c.Box(11, 3, 13, 13, ink, ink);
      break;
    case Glyph::kNavEdit:
      c.Polygon({{3, 11}, {8, 5}, {13, 11}}, ink, ink);
      break;
    case Glyph::kNavCancel:
      c.Line(4, 4, 12, 12, 2, colourful ? RGB(160, 0, 0) : ink);
      c.Line(12, 4, 4, 12, 2, colourful ? RGB(160, 0, 0) : ink);
      break;
    case Glyph::kNavRefresh: {
      const int w = c.box.right - c.box.left;
      ScopedGdiObj<HPEN> pen(
          CreatePen(PS_SOLID, (std::max)(1, MulDiv(2, w, 16)), ink));
      ScopedSelect p(c.dc, pen.get());
      ScopedSelect b(c.dc, GetStockObject(NULL_BRUSH));
      // Nearly a full circle, open at the top right, with the arrow head
      // at its upper end pointing on round.
      POINT tl = c.At(3, 3), br = c.At(13, 13), from = c.At(9, 2),
            to = c.At(14, 6);
      Arc(c.dc, tl.x, tl.y, br.x, br.y, from.x, from.y, to.x, to.y);
      c.Polygon({{8, 0}, {12, 3}, {8, 6}}, ink, ink);
      break;
    }
  }
}

}  // namespace

void DrawGlyph(HDC dc, Glyph glyph, const RECT& box, bool enabled) {
  if (enabled) {
    DrawShape(Canvas{dc, box}, glyph, RGB(0, 0, 0), true);
    return;
  }
  RECT shifted = box;
  OffsetRect(&shifted, 1, 1);
  DrawShape(Canvas{dc, shifted}, glyph, RGB(255, 255, 255), false);
  DrawShape(Canvas{dc, box}, glyph, RGB(128, 128, 128), false);
}

}  // namespace pontevia::app
