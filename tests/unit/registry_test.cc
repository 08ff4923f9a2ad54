#include "components/registry.h"

#include <gtest/gtest.h>

#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kKey = "Software\\Values";

class RegistryTest : public testing::SimTest {
 protected:
  RegistryTest() {
    Registry().SetValue(kHkeyCurrentUser, kKey, "Full", kRegSz, std::string(500, 'A'));
    // Stored without its terminator.
    Registry().SetValue(kHkeyCurrentUser, kKey, "Short", kRegSz, "C:\\X");
    Registry().SetValue(kHkeyCurrentUser, kKey, "TooLong", kRegSz, std::string(501, 'B'));
    Registry().SetValue(kHkeyCurrentUser, kKey, "NoData", kRegSz, "");
    Registry().SetValue(kHkeyCurrentUser, kKey, "", kRegSz, std::string(1, '\0'));
    Registry().SetValue(kHkeyCurrentUser, kKey, "Multi", kRegMultiSz,
                        std::string("first\0second\0\0", 14));
    Registry().SetDword(kHkeyCurrentUser, kKey, "Number", 0x00434241);
    Registry().SetValue(kHkeyCurrentUser, kKey, "Expand", kRegExpandSz,
                        std::string("%WINDIR%\\x", 10) + '\0');
    Registry().SetString(kHkeyCurrentUser, kKey, "Blanks", "  C:\\K-WARD\\ ");
    Registry().SetString(kHkeyCurrentUser, "Software\\Locked", "v", "secret");
    Registry().Switches(kHkeyCurrentUser, "Software\\Locked").refuseRead = true;
  }
  std::int32_t TakeCode(std::string* argument) {
    std::int32_t code = 0;
    m_registry.GetError(code, *argument);
    return code;
  }
  CRegistry m_registry;
};

TEST(NormalizeKeyPathTest, LeadingThenTrailingBackslashesGo) {
  const struct {
    const char* path;  // taken untrimmed
    const char* normalized;
  } cases[] = {
      {"\\\\\\", ""},
      {"\\Software\\Halvern Software\\K-WARD32\\", "Software\\Halvern Software\\K-WARD32"},
      {"Software\\\\Microsoft", "Software\\\\Microsoft"},
      {"\\ name", "name"},
      {" \\Key\\", "\\Key"},  // leading backslashes go first: a blank before one keeps it
      {" sub ", " sub "},
  };
  for (const auto& c : cases) {
    CTrimString path;
    path.append(c.path);
    CRegistry::NormalizeKeyPath(path);
    EXPECT_EQ(path, c.normalized) << c.path;
  }
}

TEST_F(RegistryTest, KeysAndValuesExistWhenReadable) {
  EXPECT_TRUE(m_registry.KeyExists(kHkeyCurrentUser, "\\Software\\Values\\"));
  EXPECT_TRUE(m_registry.KeyExists(kHkeyCurrentUser, "\\\\"));  // the root itself
  EXPECT_FALSE(m_registry.KeyExists(kHkeyCurrentUser, "Software\\Locked"));
  EXPECT_FALSE(m_registry.KeyExists(kHkeyCurrentUser, "Software\\Missing"));
  EXPECT_TRUE(m_registry.ValueExists(kHkeyCurrentUser, kKey, "NoData"));  // named: present
  EXPECT_FALSE(m_registry.ValueExists(kHkeyCurrentUser, kKey, ""));       // unnamed, empty
  EXPECT_FALSE(m_registry.ValueExists(kHkeyCurrentUser, kKey, "TooLong"));
  EXPECT_FALSE(m_registry.ValueExists(kHkeyCurrentUser, kKey, "Missing"));
  std::string argument;
  EXPECT_EQ(TakeCode(&argument), 0);
  Registry().SetString(kHkeyCurrentUser, kKey, "", "text");
  EXPECT_TRUE(m_registry.ValueExists(kHkeyCurrentUser, kKey, ""));
}

// The text is exactly the bytes returned, up to a zero byte; a failed read
// leaves the caller's text alone.
TEST_F(RegistryTest, ReadStringValue) {
  const struct {
    const char* path;
    const char* name;
    bool read;
    std::string text;  // afterwards, from "earlier text"
    std::int32_t code;
    const char* argument;
  } cases[] = {
      {kKey, "Full", true, std::string(500, 'A'), 0, ""},
      {kKey, "Short", true, "C:\\X", 0, ""},
      {kKey, "NoData", true, "", 0, ""},
      {kKey, "Number", true, "ABC", 0, ""},
      {kKey, "Expand", true, "%WINDIR%\\x", 0, ""},      // not expanded
      {kKey, "Blanks", true, "  C:\\K-WARD\\ ", 0, ""},  // not trimmed
      {kKey, "TooLong", false, "earlier text", 116, kKey},
      {"\\Software\\Values", "Missing", false, "earlier text", 116, "\\Software\\Values"},
      {"\\Software\\Missing\\", "v", false, "earlier text", 115, "Software\\Missing"},
      {"Software\\Locked", "v", false, "earlier text", 115, "Software\\Locked"},
      {kKey, "Multi", false, "first", 135, kKey},
  };
  for (const auto& c : cases) {
    std::string text = "earlier text";
    EXPECT_EQ(m_registry.ReadStringValue(kHkeyCurrentUser, c.path, c.name, text), c.read) << c.name;
    EXPECT_EQ(text, c.text) << c.name;
    std::string argument;
    EXPECT_EQ(TakeCode(&argument), c.code) << c.name;
    EXPECT_EQ(argument, c.argument) << c.name;
  }
}

}  // namespace
}  // namespace kw
