#include "components/execute.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using ExecuteTest = testing::SimTest;

// Without a title or command line of its own a call uses the one stored at
// construction, and records it with the failure; titles are used as given,
// blanks included.
TEST_F(ExecuteTest, FailuresNameTheTitleOrCommandUsed) {
  const struct {
    const char* storedCommand;
    const char* storedTitle;
    std::function<bool(CExecute&)> call;
    std::int32_t code;
    const char* argument;
  } cases[] = {
      {"", "Stored", [](CExecute& e) { return e.CloseWindow(""); }, 101, "Stored"},
      {"", "Stored", [](CExecute& e) { return e.BringWindowToFront(""); }, 102, "Stored"},
      {"", "", [](CExecute& e) { return e.CloseWindow(""); }, 137, ""},
      {"", "", [](CExecute& e) { return e.CloseWindow("  "); }, 101, "  "},
      {"C:\\NOWHERE\\MISSING.EXE /x", "", [](CExecute& e) { return e.Execute("", false); }, 103,
       "C:\\NOWHERE\\MISSING.EXE /x"},
  };
  for (const auto& c : cases) {
    CExecute execute(c.storedCommand, c.storedTitle);
    EXPECT_FALSE(c.call(execute));
    std::int32_t code = 0;
    std::string argument;
    execute.GetError(code, argument);
    EXPECT_EQ(code, c.code) << c.argument;
    EXPECT_EQ(argument, c.argument);
    EXPECT_FALSE(execute.IsProcessAlive());  // nothing was started
  }
}

// A close request counts as delivered when the window existed, whether or
// not its program answered: a hung program must neither hang the caller nor
// make it think the window was never there.
TEST_F(ExecuteTest, CloseWindowIsTrueWhenTheWindowExisted) {
  testing::InstallProductProgram(Machine(), "C:\\P\\POLITE.EXE", {"Polite", {}});
  testing::ProductProgramScript hung{"Hung", {}};
  hung.hung = true;
  testing::InstallProductProgram(Machine(), "C:\\P\\HUNG.EXE", hung);
  sim::SimProcess* polite = testing::LaunchProgram(Machine(), "C:\\P\\POLITE.EXE");
  sim::SimProcess* hanging = testing::LaunchProgram(Machine(), "C:\\P\\HUNG.EXE");

  CExecute execute("", "");
  EXPECT_TRUE(execute.CloseWindow("polite"));
  EXPECT_FALSE(polite->IsRunning());
  EXPECT_TRUE(execute.CloseWindow("Hung"));
  EXPECT_TRUE(hanging->IsRunning());
  std::int32_t code = -1;
  std::string argument;
  execute.GetError(code, argument);
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace kw
