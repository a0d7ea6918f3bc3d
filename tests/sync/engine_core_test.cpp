// The engine's state, run logger, statistics and progress, the cancel command and the action
// commands, on a recording host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine_fixture.h"
#include "engine_probe.h"
#include "ftp/ftp_socket.h"
#include "log/file_logger.h"
#include "log/multi_logger.h"
#include "sync/file_node_builder.h"

namespace quillmar::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(EngineTest, ChoosingAnotherProfileEmptiesListGridAndStatistics) {
  engine.FileList.Append(MakeNode({.Name = "a", .LocalSize = 5, .LocalDate = At(9, 0, 0)}));
  engine.UpdateStatistics();
  ASSERT_EQ(host.LastStatistics()->Files, "1");
  const int clears = host.GridClears;

  engine.SetProfile(nullptr);

  EXPECT_EQ(engine.FileList.Count, 0);
  EXPECT_EQ(engine.Profile(), nullptr);
  EXPECT_EQ(host.GridClears, clears + 1);
  EXPECT_EQ(host.LastStatistics()->Files, "---");
  EXPECT_EQ(host.LastStatistics()->ActionCount[faNoAction], "---");
  EXPECT_FALSE(host.CommandStates.back());
}

TEST_F(EngineTest, RunLoggerWritesTheLogViewAndAFreshProtocolFileWhenAsked) {
  const std::filesystem::path file = TempPath() / "FTP-Protokoll.txt";
  std::ofstream(file) << "from the last connection\r\n";

  engine.FileLog = false;
  {
    auto logger = engine.CreateRunLogger();
    EXPECT_EQ(engine.FileLogger(), nullptr);
    logger->Log(llInfo, "ohne Datei");
  }
  EXPECT_TRUE(host.HasLogLine(llInfo, "ohne Datei"));
  EXPECT_EQ(ReadText(file), "from the last connection\r\n");

  engine.FileLog = true;
  {
    auto logger = engine.CreateRunLogger();
    ASSERT_NE(engine.FileLogger(), nullptr);
    EXPECT_EQ(engine.FileLogger()->FileName(), file.string());
    logger->Log(llInfo, "mit Datei");
  }
  EXPECT_TRUE(host.HasLogLine(llInfo, "mit Datei"));
  EXPECT_EQ(ReadText(file), ".mit Datei\r\n");
}

TEST_F(EngineTest, UnwritableProtocolFileIsReportedInTheLogAndTheLoggerStillWorks) {
  engine.FileLog = true;
  engine.LogDirectory = (TempPath() / "missing" / "").string();
  auto logger = engine.CreateRunLogger();
  EXPECT_EQ(engine.FileLogger(), nullptr);
  EXPECT_TRUE(host.HasLogLineContaining(llError, "FTP-Protokoll.txt"));
  logger->Log(llInfo, "weiter");
  EXPECT_TRUE(host.HasLogLine(llInfo, "weiter"));
}

TEST_F(EngineTest, TransferProgressShowsNothingWithoutBytesToTransfer) {
  engine.Counters = {};
  engine.TransferProgress(500);
  EXPECT_THAT(host.Progress, IsEmpty());
  EXPECT_THAT(host.Titles, IsEmpty());
  EXPECT_EQ(host.ProcessMessagesCalls, 0);
}

TEST_F(EngineTest, TransferProgressShowsBarsAndTitleAndLetsMessagesThrough) {
  engine.Counters.TotalBytes = 100'000'000;
  engine.Counters.DoneBytes = 20'000'000;
  engine.Counters.CurrentFileSize = 50'000'000;
  engine.Counters.RunStart = Now();
  engine.TransferProgress(30'000'000);
  ASSERT_EQ(host.Progress.size(), 1u);
  EXPECT_EQ(host.Progress[0].CurrentPercent, 60);
  EXPECT_EQ(host.Progress[0].OverallPercent, 50);
  EXPECT_EQ(host.Progress[0].BytesTransferred, "50.000.000  /  100.000.000");
  EXPECT_THAT(host.Titles, ElementsAre("50 % Quillmar"));
  EXPECT_EQ(host.ProcessMessagesCalls, 1);
}

TEST_F(EngineTest, ResetProgressSwitchesProgressOffAndShowsDashes) {
  engine.Counters.TotalBytes = 10;
  engine.ResetProgress();
  EXPECT_EQ(engine.Counters.TotalBytes, 0);
  ASSERT_EQ(host.Progress.size(), 1u);
  EXPECT_EQ(host.Progress[0].OverallPercent, 0);
  EXPECT_EQ(host.Progress[0].Speed, "---");
  EXPECT_THAT(host.CurrentFiles, ElementsAre("---"));
}

TEST_F(EngineTest, CancelLogsSetsTheFlagAndCancelsTheBlockingCall) {
  engine.Cancel();
  EXPECT_THAT(host.AddedLines, ElementsAre(TLogEntry{llInfo, "ABBRUCH ANGEFORDERT"}));
  EXPECT_TRUE(engine.AbortRequested);
  EXPECT_TRUE(BlockingCancelled());
}

// --- Action commands ---------------------------------------------------------------------

class ActionCommandsTest : public EngineTest {
 protected:
  ActionCommandsTest() {
    // Row 0 both sides, 1 local only, 2 remote only, 3 both with equal sizes.
    engine.FileList.Append(MakeNode({.Name = "both",
                                     .LocalSize = 10,
                                     .RemoteSize = 20,
                                     .LocalDate = At(9, 0, 0),
                                     .RemoteDate = At(8, 0, 0),
                                     .Action = faPump}));
    engine.FileList.Append(
        MakeNode({.Name = "local", .LocalSize = 3, .LocalDate = At(9, 0, 0), .Action = faPump}));
    engine.FileList.Append(
        MakeNode({.Name = "remote", .RemoteSize = 0, .RemoteDate = At(9, 0, 0), .Action = faSuck}));
    engine.FileList.Append(MakeNode({.Name = "same",
                                     .LocalSize = 7,
                                     .RemoteSize = 7,
                                     .LocalDate = At(9, 0, 0),
                                     .RemoteDate = At(9, 0, 0)}));
  }
  std::vector<TFileAction> Actions() const {
    std::vector<TFileAction> actions;
    for (const TFileNode* node : engine.FileList.FileNodes())
      actions.push_back(node->Action);
    return actions;
  }
};

TEST_F(ActionCommandsTest, SetSelectedActionsAppliesOnlyValidChangesToTheSelectedRows) {
  struct TCase {
    const char* Name;
    std::vector<int> Rows;
    TFileAction Code;
    std::vector<TFileAction> Expected;
  };
  const TCase cases[] = {
      {"time sync needs both sides",
       {0, 1, 2},
       faTimeSync,
       {faTimeSync, faPump, faSuck, faNoAction}},
      {"pump needs the local side", {2, 3}, faPump, {faPump, faPump, faSuck, faPump}},
      {"no action always applies",
       {0, 1, 2},
       faNoAction,
       {faNoAction, faNoAction, faNoAction, faNoAction}},
      {"suck needs the remote side", {1, 3}, faSuck, {faPump, faPump, faSuck, faSuck}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    int row = 0;
    const TFileAction initial[] = {faPump, faPump, faSuck, faNoAction};
    for (TFileNode* node : engine.FileList.FileNodes())
      node->Action = initial[row++];
    host.Selection = c.Rows;
    host.RepaintedRows.clear();
    engine.SetSelectedActions(c.Code);
    EXPECT_EQ(Actions(), c.Expected);
    EXPECT_EQ(host.RepaintedRows, c.Rows);
  }
}

TEST_F(ActionCommandsTest, SetSelectedActionsRefitsAndRecountsAlsoWithoutSelection) {
  host.Selection.clear();
  engine.SetSelectedActions(faSuck);
  EXPECT_THAT(Actions(), ElementsAre(faPump, faPump, faSuck, faNoAction));
  ASSERT_EQ(host.AutoSizes.size(), 1u);
  EXPECT_EQ(host.AutoSizes[0].Column, 7);
  EXPECT_EQ(host.AutoSizes[0].Margin, 4);
  ASSERT_NE(host.LastStatistics(), nullptr);
  EXPECT_EQ(host.LastStatistics()->ActionCount[faPump], "2");
}

TEST_F(ActionCommandsTest, SelectByActionChangesOnlyRowsWithThatAction) {
  host.Selection = {2, 3};
  engine.SelectByAction(faPump, true);
  EXPECT_THAT(host.Selection, ElementsAre(2, 3, 0, 1));
  engine.SelectByAction(faSuck, false);
  EXPECT_THAT(host.Selection, ElementsAre(3, 0, 1));
}

TEST_F(ActionCommandsTest, SelectEqualSizedTakesEmptyOneSidedFilesToo) {
  host.Selection.clear();
  engine.SelectEqualSized();
  // "remote" has 0 bytes on the server and none locally.
  EXPECT_THAT(host.Selection, ElementsAre(2, 3));
}

}  // namespace
}  // namespace quillmar::testing
