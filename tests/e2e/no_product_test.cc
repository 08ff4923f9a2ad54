// The real program on a machine without the product: one error box, then
// nothing else.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_machine.h"

namespace kw::e2e {
namespace {

TEST(NoProductTest, ShowsOneErrorBoxAndStartsNothing) {
  ResetMachine();
  RunOptions options;
  options.answers = {std::string(kErrorCaption) + "=OK"};
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  ASSERT_EQ(transcript.answererExitCode, 0);

  const std::vector<Event> boxes = transcript.Of("box");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Get("caption"), "K-WARD Uninstall Error");
  EXPECT_EQ(boxes[0].Get("text"), "Unable to obtain the location of the K-WARD directory");
  EXPECT_EQ(boxes[0].Get("buttons"), "OK");
  EXPECT_EQ(boxes[0].Get("icon"), "error");
  EXPECT_EQ(boxes[0].Get("owner"), "none");
  EXPECT_EQ(boxes[0].Get("pressed"), "OK");

  // The box is the only window, and the program started no other program.
  for (const Event& window : transcript.Of("window")) {
    EXPECT_EQ(window.Get("title"), kErrorCaption);
  }
  EXPECT_TRUE(transcript.ProcessesStartedBy("KWUNINST.EXE").empty());
  EXPECT_TRUE(transcript.Of("status-window").empty());
  const std::vector<Event> exits = transcript.Of("exit");
  ASSERT_EQ(exits.size(), 1u);
  EXPECT_EQ(exits[0].Get("code"), "0");
}

}  // namespace
}  // namespace kw::e2e
