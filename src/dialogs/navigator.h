// The record navigator above the courses grid: ten picture buttons in a row
// (first, prior page, prior, next, next page, last, edit, post, cancel,
// refresh), each with its hint. The buttons never take the focus, so
// pressing one leaves the grid's editing as it was. A stepping button held
// down repeats, first after 500 ms, then every 100 ms. A press reaches the
// parent as WM_COMMAND/BN_CLICKED with the button's ID.
#pragma once

#include <windows.h>

#include <array>

#include "app/win_util.h"
#include "dialogs/grid_logic.h"

namespace pontevia::dialogs {

class Navigator {
 public:
  struct CreateArgs {
    HWND parent = nullptr;
    HWND tooltip_owner = nullptr;  // the dialog
    int first_id = 0;    // IDs first_id .. first_id + 9, in NavButton order
    app::Bounds bounds;  // the whole bar; each button is a tenth of it
  };

  bool Create(const CreateArgs& args, int dpi, app::Layout* layout);
  void SetEnabled(const std::array<bool, kNavButtonCount>& enabled);
  HWND button(NavButton b) const { return buttons_[static_cast<int>(b)]; }

 private:
  std::array<HWND, kNavButtonCount> buttons_{};
  HWND tooltip_ = nullptr;
};

}  // namespace pontevia::dialogs
