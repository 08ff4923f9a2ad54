#include "components/error_info.h"

#include <gtest/gtest.h>

#include "components/execute.h"
#include "components/message_catalogue.h"
#include "components/registry.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using ErrorInfoTest = testing::SimTest;

TEST_F(ErrorInfoTest, NewComponentsHaveNoErrorAndTheirOwnTitle) {
  CRegistry registry;
  CExecute execute("", "");
  EXPECT_EQ(registry.GetTitle(), "Registry Error!");
  EXPECT_EQ(execute.GetTitle(), "Execute Error!");
  std::int32_t code = -1;
  std::string argument = "sentinel";
  registry.GetError(code, argument);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(argument, "");
}

TEST_F(ErrorInfoTest, KeepsTheLastFailureUntilReadAndReadingClearsIt) {
  CRegistry registry;
  std::string text;
  EXPECT_FALSE(registry.ReadStringValue(kHkeyCurrentUser, "Software\\First", "v", text));
  EXPECT_FALSE(registry.ReadStringValue(kHkeyCurrentUser, "Software\\Second", "v", text));
  // A success afterwards does not clear it.
  Registry().CreateKey(kHkeyCurrentUser, "Software\\Present");
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, "Software\\Present"));

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

TEST_F(ErrorInfoTest, CatalogueTextsAreExact) {
  EXPECT_EQ(LoadMessage(3), "Closing down the K-WARD programs . . . ");
  EXPECT_EQ(LoadMessage(7), "Removing K-WARD files . . .");
  EXPECT_EQ(LoadMessage(24), "Unzip Error");
  EXPECT_EQ(LoadMessage(106),
            "An ending delimeter was found before the item \"%s\" could be found.");
  EXPECT_EQ(LoadMessage(134),
            "The key %s has been found although it should have been removed.  Please check your "
            "security settings to make sure you have ample rights to this key.");
  for (unsigned id = 30; id < 100; ++id) EXPECT_EQ(LoadMessage(id), "") << id;
  EXPECT_EQ(LoadMessage(144), "");
}

TEST(MessageFormatTest, ReplacesThePlaceholderOnlyAndLeavesPercentInArguments) {
  EXPECT_EQ(FormatMessageText("The file %s failed to be deleted.", "C:\\K-WARD\\100%s.DAT"),
            "The file C:\\K-WARD\\100%s.DAT failed to be deleted.");
  EXPECT_EQ(FormatMessageText("K-WARD Uninstall Error", ""), "K-WARD Uninstall Error");
}

}  // namespace
}  // namespace kw
