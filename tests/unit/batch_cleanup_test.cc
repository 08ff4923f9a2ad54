#include <gtest/gtest.h>

#include "app/uninstall_app.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kBatchPath = "C:\\WINDOWS\\DOSSTART.BAT";

class BatchCleanupTest : public testing::SimTest {
 protected:
  bool RunStage() {
    CUninstallApp app;
    return app.RemoveStartupBatchEntries();
  }
};

TEST_F(BatchCleanupTest, TheGuardAndItsClsLinesGoTheUsersLinesStay) {
  const struct {
    const char* what;
    std::string in;
    std::string out;
  } cases[] = {
      {"the guard and the CLS after it", "@ECHO OFF\r\nC:\\K-WARD\\SENTRYX.EXE\r\ncls\r\nMOUSE.COM\r\n",
       "@ECHO OFF\r\nMOUSE.COM\r\n"},
      {"the guard in any case and form, adjacent lines too",
       "lh c:\\k-ward\\sentryx.exe /q\r\nC:\\PROGRA~1\\K-WARD\\SENTRYX.EXE /U\r\n@SentryX.Exe\r\nMOUSE\r\n",
       "MOUSE\r\n"},
      {"CLS in every form that runs it",
       "CLS\r\n  @cls\r\n\tCls > NUL\r\n@ CLS\r\nCLS|MORE\r\ncls&echo\r\ncls<NUL\r\nCLS \r\nMOUSE\r\n",
       "MOUSE\r\n"},
      {"lines that merely hold the letters are the user's",
       "CALL CLSETUP.BAT\r\nREM CLS\r\nECHO CLS\r\nCLSX\r\nSET X=CLS\r\nCLS\r\n",
       "CALL CLSETUP.BAT\r\nREM CLS\r\nECHO CLS\r\nCLSX\r\nSET X=CLS\r\n"},
      {"nothing matches: the bytes stay as they were",
       "MOUSE\nCALL CLSETUP.BAT\nSMARTDRV", "MOUSE\nCALL CLSETUP.BAT\nSMARTDRV"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Files().AddFile(kBatchPath, c.in);
    const std::size_t moves = Journal("moved").size();
    EXPECT_TRUE(RunStage());
    EXPECT_EQ(Files().Content(kBatchPath), c.out);
    EXPECT_EQ(Journal("moved").size() > moves, c.in != c.out) << "rewritten only when a line went";
  }
}

TEST_F(BatchCleanupTest, AMissingFileIsCreatedEmpty) {
  EXPECT_TRUE(RunStage());
  EXPECT_TRUE(Files().Exists(kBatchPath));
  EXPECT_EQ(Files().Content(kBatchPath), "");
}

TEST_F(BatchCleanupTest, AFileThatCannotBeRewrittenFailsTheStageAndKeepsItsLines) {
  const std::string lines = "C:\\K-WARD\\SENTRYX.EXE\r\nCLS\r\nMOUSE\r\n";
  Files().AddFile(kBatchPath, lines);
  Files().SetReadOnly(kBatchPath, true);
  EXPECT_FALSE(RunStage());
  EXPECT_EQ(Files().Content(kBatchPath), lines);

  Files().SetReadOnly(kBatchPath, false);
  Files().FillUpAfter(3);
  EXPECT_FALSE(RunStage());
  EXPECT_EQ(Files().Content(kBatchPath), lines);

  const std::uint32_t hold = Files().Hold(kBatchPath, "a DOS box");
  EXPECT_FALSE(RunStage());  // cannot be opened
  Files().Release(hold);
}

}  // namespace
}  // namespace kw
