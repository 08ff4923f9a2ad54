#include <gtest/gtest.h>

#include "app/uninstall_app.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kVxdKey = "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxds";
constexpr const char* kCommandKey = "kwt_auto_file\\shell\\open\\command";
constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95";

class LocateInstallDirTest : public testing::SimTest {
 protected:
  void SetSource1(const std::string& value) {
    Registry().SetString(kHkeyLocalMachine, kVxdKey, "ZRP", value);
  }
  void SetSource2(const std::string& value) {
    Registry().SetString(kHkeyClassesRoot, kCommandKey, "", value);
  }
  void SetSource3(const std::string& value) {
    Registry().SetString(kHkeyLocalMachine, kUninstallKey, "UninstallString", value);
  }
  std::string Located() {
    CUninstallApp app;
    if (!app.LocateInstallDir()) return "<not located>";
    return app.GetInstallDir();
  }
};

TEST_F(LocateInstallDirTest, SourcesAreTriedInOrder) {
  SetSource1("C:\\K-WARD\\ZRP.VXD");
  SetSource2("C:\\SECOND\\K-TASKER.EXE %1");
  SetSource3("C:\\THIRD\\KWUNINST.EXE /x");
  EXPECT_EQ(Located(), "C:\\K-WARD\\");
  Registry().Switches(kHkeyLocalMachine, kVxdKey).refuseRead = true;
  EXPECT_EQ(Located(), "C:\\SECOND\\");
  Registry().Switches(kHkeyClassesRoot, kCommandKey).refuseRead = true;
  EXPECT_EQ(Located(), "C:\\THIRD\\");
  // A program path without arguments is the path itself, not an empty text.
  SetSource3("C:\\THIRD\\KWUNINST.EXE");
  EXPECT_EQ(Located(), "C:\\THIRD\\");
}

TEST_F(LocateInstallDirTest, ADirectoryUnsafeToEmptyCountsAsUnreadable) {
  // Each of these would later send a recursive deletion somewhere it must
  // never go; the next source is tried instead.
  Machine().SetWindowsDirectory("C:\\OS\\WINDOWS");
  const char* unsafe[] = {
      "ZRP.VXD",                       // no directory at all
      "K-WARD\\ZRP.VXD",               // relative
      "C:\\ZRP.VXD",                   // the drive root
      "C:ZRP.VXD",                     // drive-relative
      "\\\\SERVER\\SHARE\\ZRP.VXD",    // a network path
      "C:\\OS\\WINDOWS\\ZRP.VXD",      // the Windows directory
      "c:\\os\\windows\\ZRP.VXD",      // the same in another case
      "C:\\OS\\ZRP.VXD",               // a directory holding it
      "C:\\K-WARD\\..\\ZRP.VXD",       // climbs back to the root
      "C:\\...\\ZRP.VXD",              // dots that normalise to nothing
      "C:\\K-WARD\\\\ZRP.VXD",         // an empty name
      "C:\\K*\\ZRP.VXD",               // a wildcard
      "",                              // empty
  };
  SetSource3("C:\\FALLBACK\\KWUNINST.EXE /x");
  for (const char* value : unsafe) {
    SetSource1(value);
    EXPECT_EQ(Located(), "C:\\FALLBACK\\") << "source 1 = " << value;
  }
  SetSource1("C:\\OS\\WIN\\ZRP.VXD");  // a name that only starts alike is fine
  EXPECT_EQ(Located(), "C:\\OS\\WIN\\");
  SetSource3("C:\\KWUNINST.EXE");
  SetSource1("C:\\");
  EXPECT_EQ(Located(), "<not located>");
}

}  // namespace
}  // namespace kw
