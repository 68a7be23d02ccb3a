// The rules of the level and course grid and its record navigator, kept free
// of windows so they are tested natively: which navigator buttons can be
// pressed, where each of them moves, and where Enter goes.
#pragma once

#include <algorithm>
#include <array>

namespace pontevia::dialogs {

// The navigator's buttons, left to right. There is no insert and no delete
// button: the user may change existing courses but neither add nor remove one.
enum class NavButton {
  kFirst,
  kPriorPage,
  kPrior,
  kNext,
  kNextPage,
  kLast,
  kEdit,
  kPost,
  kCancel,
  kRefresh,
};
inline constexpr int kNavButtonCount = 10;
// How many records the page buttons skip.
inline constexpr int kNavPageSize = 10;

struct NavigatorSnapshot {
  bool active = false;  // the table is open
  int row_count = 0;
  int current_row = 0;   // meaningless when row_count is 0
  bool editing = false;  // the current record is being edited
};

constexpr std::array<bool, kNavButtonCount> NavigatorEnabled(
    const NavigatorSnapshot& s) {
  const bool has_rows = s.active && s.row_count > 0;
  const bool back = has_rows && s.current_row > 0;
  const bool forward = has_rows && s.current_row < s.row_count - 1;
  return {back,
          back,
          back,
          forward,
          forward,
          forward,
          has_rows && !s.editing,
          has_rows && s.editing,
          has_rows && s.editing,
          s.active};
}

// The row a move button leads to, kept inside the table. Buttons that do not
// move return `row` unchanged.
constexpr int RowAfter(NavButton b, int row, int row_count) {
  if (row_count <= 0) return 0;
  int to = row;
  switch (b) {
    case NavButton::kFirst:
      to = 0;
      break;
    case NavButton::kPriorPage:
      to = row - kNavPageSize;
      break;
    case NavButton::kPrior:
      to = row - 1;
      break;
    case NavButton::kNext:
      to = row + 1;
      break;
    case NavButton::kNextPage:
      to = row + kNavPageSize;
      break;
    case NavButton::kLast:
      to = row_count - 1;
      break;
    default:
      break;
  }
  return std::clamp(to, 0, row_count - 1);
}

struct CellMove {
  int row = 0;
  int column = 0;
  // Enter on the last cell of the last row leaves the grid (for the OK
  // button) instead of adding a record, which the grid never does.
  bool leave_grid = false;
};

// Enter acts as Tab inside the grid: the next cell to the right, then the
// first cell of the next row.
constexpr CellMove CellAfterEnter(int row, int column, int row_count,
                                  int column_count) {
  if (column + 1 < column_count) return {row, column + 1, false};
  if (row + 1 < row_count) return {row + 1, 0, false};
  return {row, column, true};
}

}  // namespace pontevia::dialogs
