#include "app/run_mode.h"

#include <gtest/gtest.h>

namespace pontevia::app {
namespace {

TEST(RunMode, TwoParametersWithHexHandleAreCommanded) {
  const struct {
    std::vector<std::string> params;
    Action action;
    uint64_t handle;
  } kCases[] = {
      {{"exportar", "1A2B"}, Action::kExport, 0x1A2B},
      {{"EXPORTAR", "ff"}, Action::kExport, 0xFF},
      {{"Importar", "00010046"}, Action::kImport, 0x10046},
      {{"importar", "FFFFFFFFFFFFFFFF"},
       Action::kImport,
       0xFFFFFFFFFFFFFFFFull},
      // Any other action waits for the user, still in commanded mode.
      {{"exportar ", "10"}, Action::kNone, 0x10},
      {{"convertir", "10"}, Action::kNone, 0x10},
      // Only A-Z are lower-cased: an accented capital does not match.
      {{"EXPORTÁR", "10"}, Action::kNone, 0x10},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.params[0] + " " + c.params[1]);
    StartRequest r = ParseStart(c.params);
    EXPECT_TRUE(r.two_params);
    EXPECT_TRUE(r.commanded());
    EXPECT_EQ(r.action, c.action);
    EXPECT_EQ(r.parent_handle, c.handle);
    EXPECT_TRUE(r.handle_error.empty());
  }
}

TEST(RunMode, AnyOtherParameterCountIsInteractive) {
  for (const std::vector<std::string>& params :
       {std::vector<std::string>{}, {"exportar"}, {"exportar", "10", "x"}}) {
    SCOPED_TRACE(params.size());
    StartRequest r = ParseStart(params);
    EXPECT_FALSE(r.two_params);
    EXPECT_FALSE(r.commanded());
    EXPECT_EQ(r.action, Action::kNone);
  }
}

// A handle that is not hexadecimal leaves the program interactive, reports
// the handle with the "$" that marks hexadecimal digits, and still names the
// action, which starts when the window is shown.
TEST(RunMode, HandleThatIsNotHexIsReportedAndNotCommanded) {
  const struct {
    std::string handle;
    std::string message;
  } kCases[] = {
      {"zz", "'$zz' no es un valor entero válido"},
      {"", "'$' no es un valor entero válido"},
      {"0x10", "'$0x10' no es un valor entero válido"},
      {"-1", "'$-1' no es un valor entero válido"},
      {" 10", "'$ 10' no es un valor entero válido"},
      {"10 ", "'$10 ' no es un valor entero válido"},
      {"10000000000000000",
       "'$10000000000000000' no es un valor entero válido"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("[" + c.handle + "]");
    StartRequest r = ParseStart({"exportar", c.handle});
    EXPECT_TRUE(r.two_params);
    EXPECT_FALSE(r.commanded());
    EXPECT_EQ(r.action, Action::kExport);
    EXPECT_EQ(r.handle_error, c.message);
  }
}

}  // namespace
}  // namespace pontevia::app
