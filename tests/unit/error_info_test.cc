#include "components/error_info.h"

#include <gtest/gtest.h>

#include "components/message_catalogue.h"
#include "components/registry.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using ErrorInfoTest = testing::SimTest;

TEST_F(ErrorInfoTest, KeepsTheLastFailureUntilReadAndReadingClearsIt) {
  CRegistry registry;
  std::string text;
  EXPECT_FALSE(registry.ReadStringValue(kHkeyCurrentUser, "Software\\First", "v", text));
  EXPECT_FALSE(registry.ReadStringValue(kHkeyCurrentUser, "Software\\Second", "v", text));
  // A success afterwards does not clear it.
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, ""));

  std::int32_t code = 0;
  std::string argument;
  registry.GetError(code, argument);
  EXPECT_EQ(code, 115);
  EXPECT_EQ(argument, "Software\\Second");
  registry.GetError(code, argument);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(argument, "");
  EXPECT_EQ(registry.GetTitle(), "Registry Error!");
}

TEST(MessageFormatTest, ReplacesThePlaceholderOnlyAndLeavesPercentInArguments) {
  EXPECT_EQ(FormatMessageText("The file %s failed to be deleted.", "C:\\K-WARD\\100%s.DAT"),
            "The file C:\\K-WARD\\100%s.DAT failed to be deleted.");
  EXPECT_EQ(FormatMessageText("K-WARD Uninstall Error", ""), "K-WARD Uninstall Error");
}

}  // namespace
}  // namespace kw
