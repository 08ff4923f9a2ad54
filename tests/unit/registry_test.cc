#include "components/registry.h"

#include <gtest/gtest.h>

#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kKey = "Software\\Values";

class RegistryTest : public testing::SimTest {
 protected:
  RegistryTest() {
    Registry().SetValue(kHkeyCurrentUser, kKey, "", kRegSz, std::string(1, '\0'));
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
      {"Software\\Microsoft \\\\\\", "Software\\Microsoft"},  // trimmed after each
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
  Registry().SetValue(kHkeyCurrentUser, kKey, "NoData", kRegSz, "");
  Registry().SetValue(kHkeyCurrentUser, kKey, "TooLong", kRegBinary, std::string(501, 'B'));
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
    std::uint32_t type;  // stored under kKey unless kRegNone
    std::string stored;
    bool read;
    std::string text;  // afterwards, from "earlier text"
    std::int32_t code;
    const char* argument;
  } cases[] = {
      {kKey, "Full", kRegSz, std::string(500, 'A'), true, std::string(500, 'A'), 0, ""},
      {kKey, "Short", kRegSz, "C:\\X", true, "C:\\X", 0, ""},  // stored without its terminator
      {kKey, "NoData", kRegSz, "", true, "", 0, ""},
      {kKey, "Number", kRegDword, std::string("ABC\0", 4), true, "ABC", 0, ""},
      {kKey, "Expand", kRegExpandSz, std::string("%WINDIR%\\x\0", 11), true, "%WINDIR%\\x", 0, ""},
      {kKey, "Blanks", kRegSz, "  C:\\K-WARD\\ ", true, "  C:\\K-WARD\\ ", 0, ""},
      {kKey, "Multi", kRegMultiSz, std::string("first\0second\0\0", 14), false, "first", 135, kKey},
      {kKey, "TooLong", kRegSz, std::string(501, 'B'), false, "earlier text", 116, kKey},
      {"\\Software\\Values", "Missing", kRegNone, "", false, "earlier text", 116, "\\Software\\Values"},
      {"\\Software\\Missing\\", "v", kRegNone, "", false, "earlier text", 115, "Software\\Missing"},
      {"Software\\Locked", "v", kRegNone, "", false, "earlier text", 115, "Software\\Locked"},
  };
  for (const auto& c : cases) {
    if (c.type != kRegNone) Registry().SetValue(kHkeyCurrentUser, kKey, c.name, c.type, c.stored);
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
