#include "app/button_state.h"

#include <gtest/gtest.h>

namespace pontevia::app {
namespace {

// A program run carries out at most one conversion; exit and help stay
// usable whatever happens.
TEST(MainButtons, DirectionButtonsOnlyBeforeAndOutsideARun) {
  const struct {
    const char* why;
    MainWindowSnapshot snapshot;
    bool direction;
  } kCases[] = {
      {"fresh window", {false, false}, true},
      {"run working: its dialogs are up", {false, true}, false},
      {"run completed", {true, false}, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    MainButtons b = MainButtonsEnabled(c.snapshot);
    EXPECT_EQ(b.exportar, c.direction);
    EXPECT_EQ(b.importar, c.direction);
    EXPECT_TRUE(b.salir);
    EXPECT_TRUE(b.ayuda);
  }
}

}  // namespace
}  // namespace pontevia::app
