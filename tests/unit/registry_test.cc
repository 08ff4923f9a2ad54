#include "components/registry.h"

#include <gtest/gtest.h>

#include "tests/support/sim_test.h"

namespace kw {
namespace {

class RegistryTest : public testing::SimTest {
 protected:
  std::int32_t TakeCode(std::string* argument = nullptr) {
    std::int32_t code = 0;
    std::string text;
    m_registry.GetError(code, text);
    if (argument != nullptr) *argument = text;
    return code;
  }
  CRegistry m_registry;
};

TEST(NormalizeKeyPathTest, LeadingThenTrailingBackslashesGo) {
  auto normalized = [](CTrimString path) {
    CRegistry::NormalizeKeyPath(path);
    return std::string(path);
  };
  EXPECT_EQ(normalized("\\\\\\"), "");
  EXPECT_EQ(normalized("\\Software\\Halvern Software\\K-WARD32\\"),
            "Software\\Halvern Software\\K-WARD32");
  EXPECT_EQ(normalized("Software\\\\Microsoft"), "Software\\\\Microsoft");
  CTrimString blankThenName;
  blankThenName.append("\\ name");
  EXPECT_EQ(normalized(blankThenName), "name");
  // Leading backslashes go first, so a blank before one keeps it there.
  CTrimString untrimmed;
  untrimmed.append(" \\Key\\");
  EXPECT_EQ(normalized(untrimmed), "\\Key");
  CTrimString nameWithBlank;
  nameWithBlank.append(" sub ");
  EXPECT_EQ(normalized(nameWithBlank), " sub ");
}

TEST_F(RegistryTest, KeyExistsNeedsReadAccess) {
  Registry().CreateKey(kHkeyCurrentUser, "Software\\Open");
  Registry().Switches(kHkeyCurrentUser, "Software\\Locked").refuseRead = true;
  EXPECT_TRUE(m_registry.KeyExists(kHkeyCurrentUser, "\\Software\\Open\\"));
  EXPECT_TRUE(m_registry.KeyExists(kHkeyCurrentUser, "\\\\"));  // the root itself
  EXPECT_FALSE(m_registry.KeyExists(kHkeyCurrentUser, "Software\\Locked"));
  EXPECT_FALSE(m_registry.KeyExists(kHkeyCurrentUser, "Software\\Missing"));
  EXPECT_EQ(TakeCode(), 0);
}

TEST_F(RegistryTest, ValueExistsRules) {
  const char* key = "Software\\Values";
  Registry().SetValue(kHkeyCurrentUser, key, "EmptyNamed", kRegSz, "");
  Registry().SetValue(kHkeyCurrentUser, key, "", kRegSz, std::string(1, '\0'));
  Registry().SetValue(kHkeyCurrentUser, key, "Huge", kRegBinary, std::string(501, 'x'));
  EXPECT_TRUE(m_registry.ValueExists(kHkeyCurrentUser, key, "EmptyNamed"));
  EXPECT_FALSE(m_registry.ValueExists(kHkeyCurrentUser, key, ""));  // unnamed, empty
  EXPECT_FALSE(m_registry.ValueExists(kHkeyCurrentUser, key, "Huge"));
  EXPECT_FALSE(m_registry.ValueExists(kHkeyCurrentUser, key, "Missing"));
  Registry().SetString(kHkeyCurrentUser, key, "", "text");
  EXPECT_TRUE(m_registry.ValueExists(kHkeyCurrentUser, key, ""));
}

TEST_F(RegistryTest, ReadStringValueErrorsNameThePathTheWayTheyShould) {
  Registry().CreateKey(kHkeyCurrentUser, "Software\\Present");
  std::string text = "before";
  std::string argument;
  EXPECT_FALSE(m_registry.ReadStringValue(kHkeyCurrentUser, "\\Software\\Missing", "v", text));
  EXPECT_EQ(TakeCode(&argument), 115);
  EXPECT_EQ(argument, "Software\\Missing");  // normalised
  EXPECT_FALSE(m_registry.ReadStringValue(kHkeyCurrentUser, "\\Software\\Present", "v", text));
  EXPECT_EQ(TakeCode(&argument), 116);
  EXPECT_EQ(argument, "\\Software\\Present");  // as the caller wrote it
  EXPECT_EQ(text, "before");
}

TEST_F(RegistryTest, ReadStringValueTypes) {
  const char* key = "Software\\Types";
  Registry().SetValue(kHkeyCurrentUser, key, "Multi", kRegMultiSz,
                      std::string("first\0second\0\0", 14));
  Registry().SetDword(kHkeyCurrentUser, key, "Number", 0x00434241);
  Registry().SetValue(kHkeyCurrentUser, key, "Expand", kRegExpandSz,
                      std::string("%WINDIR%\\x", 10) + '\0');
  Registry().SetString(kHkeyCurrentUser, key, "Blanks", "  C:\\K-WARD\\ ");

  std::string text;
  std::string argument;
  EXPECT_FALSE(m_registry.ReadStringValue(kHkeyCurrentUser, key, "Multi", text));
  EXPECT_EQ(TakeCode(&argument), 135);
  EXPECT_EQ(argument, key);
  EXPECT_EQ(text, "first");

  EXPECT_TRUE(m_registry.ReadStringValue(kHkeyCurrentUser, key, "Number", text));
  EXPECT_EQ(text, "ABC");
  EXPECT_TRUE(m_registry.ReadStringValue(kHkeyCurrentUser, key, "Expand", text));
  EXPECT_EQ(text, "%WINDIR%\\x");  // not expanded

  CTrimString trimmed = "previous";
  EXPECT_TRUE(m_registry.ReadStringValue(kHkeyCurrentUser, key, "Blanks", trimmed));
  EXPECT_EQ(trimmed, "  C:\\K-WARD\\ ");  // taken over as read
}

TEST_F(RegistryTest, ReadStringValueNeverReadsPastTheBytesReturned) {
  const char* key = "Software\\Bounds";
  // Exactly 500 bytes without a terminator fill the storage completely.
  Registry().SetValue(kHkeyCurrentUser, key, "Full", kRegSz, std::string(500, 'A'));
  // Text stored without its terminator, read into an output that held a
  // longer text before: none of the old text may show through.
  Registry().SetValue(kHkeyCurrentUser, key, "Short", kRegSz, "C:\\X");
  Registry().SetValue(kHkeyCurrentUser, key, "TooLong", kRegSz, std::string(501, 'B'));

  std::string text;
  EXPECT_TRUE(m_registry.ReadStringValue(kHkeyCurrentUser, key, "Full", text));
  EXPECT_EQ(text, std::string(500, 'A'));

  text = "C:\\OLD\\LONGER\\TEXT";
  EXPECT_TRUE(m_registry.ReadStringValue(kHkeyCurrentUser, key, "Short", text));
  EXPECT_EQ(text, "C:\\X");

  text = "kept";
  EXPECT_FALSE(m_registry.ReadStringValue(kHkeyCurrentUser, key, "TooLong", text));
  EXPECT_EQ(TakeCode(), 116);
  EXPECT_EQ(text, "kept");
}

TEST_F(RegistryTest, KeysThatRefuseReadingCannotBeRead) {
  Registry().SetString(kHkeyLocalMachine, "Software\\Guarded", "v", "secret");
  Registry().Switches(kHkeyLocalMachine, "Software\\Guarded").refuseRead = true;
  std::string text;
  EXPECT_FALSE(m_registry.ReadStringValue(kHkeyLocalMachine, "Software\\Guarded", "v", text));
  EXPECT_EQ(TakeCode(), 115);
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace kw
