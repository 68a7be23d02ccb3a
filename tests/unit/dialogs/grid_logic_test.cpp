#include "dialogs/grid_logic.h"

#include <gtest/gtest.h>

#include <string>

namespace pontevia::dialogs {
namespace {

// Buttons in order: first, prior page, prior, next, next page, last, edit,
// post, cancel, refresh; "1" enabled, "0" disabled.
std::string Pattern(const NavigatorSnapshot& s) {
  std::string out;
  for (bool b : NavigatorEnabled(s)) out += b ? '1' : '0';
  return out;
}

TEST(Navigator, EnabledButtonsFollowPositionAndEditing) {
  const struct {
    const char* why;
    NavigatorSnapshot snapshot;
    const char* want;
  } kCases[] = {
      {"table closed", {false, 3, 0, false}, "0000000000"},
      {"empty table: nothing to move to or edit",
       {true, 0, 0, false},
       "0000000001"},
      {"one course", {true, 1, 0, false}, "0000001001"},
      {"first of three, browsing", {true, 3, 0, false}, "0001111001"},
      {"middle of three, browsing", {true, 3, 1, false}, "1111111001"},
      {"last of three, editing", {true, 3, 2, true}, "1110000111"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(Pattern(c.snapshot), c.want);
  }
}

TEST(Navigator, MovesStayInsideTheTable) {
  const struct {
    NavButton button;
    int row, count, want;
  } kCases[] = {
      {NavButton::kFirst, 7, 25, 0},      {NavButton::kLast, 0, 25, 24},
      {NavButton::kNext, 24, 25, 24},     {NavButton::kPrior, 0, 25, 0},
      {NavButton::kNextPage, 3, 25, 13},  {NavButton::kNextPage, 20, 25, 24},
      {NavButton::kPriorPage, 13, 25, 3}, {NavButton::kPriorPage, 4, 25, 0},
      {NavButton::kEdit, 5, 25, 5},       {NavButton::kNext, 0, 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.button));
    SCOPED_TRACE(c.row);
    EXPECT_EQ(RowAfter(c.button, c.row, c.count), c.want);
  }
}

TEST(Grid, EnterGoesToTheNextCellThenLeavesAtTheEnd) {
  const struct {
    int row, column, rows;
    CellMove want;
  } kCases[] = {
      {0, 0, 3, {0, 1, false}},
      {0, 2, 3, {0, 3, false}},
      {0, 3, 3, {1, 0, false}},
      // The last cell adds no course: the focus moves on to the OK button.
      {2, 3, 3, {2, 3, true}},
      {0, 3, 1, {0, 3, true}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.column));
    CellMove m = CellAfterEnter(c.row, c.column, c.rows, 4);
    EXPECT_EQ(m.row, c.want.row);
    EXPECT_EQ(m.column, c.want.column);
    EXPECT_EQ(m.leave_grid, c.want.leave_grid);
  }
}

}  // namespace
}  // namespace pontevia::dialogs
