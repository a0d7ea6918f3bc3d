#include "sync/statistics.h"

#include <gtest/gtest.h>

#include "sync/file_node_builder.h"

namespace quillmar {
namespace {

using testing::At;
using testing::MakeNode;
using testing::TNodeData;

TEST(Statistics, EmptyListShowsDashesEverywhere) {
  TFileList list;
  int actions = -1;
  const TStatisticsView view = ComputeStatistics(list, ".", actions);
  EXPECT_EQ(actions, 0);
  for (int a = 0; a < 6; ++a) {
    EXPECT_EQ(view.ActionCount[a], "---");
    EXPECT_EQ(view.ActionBytes[a], "---");
  }
  EXPECT_EQ(view.Files, "---");
  EXPECT_EQ(view.FilesHint, "Zu übertragende Bytes: ---");
  EXPECT_EQ(view.BytesLocal, "---");
}

TEST(Statistics, CountsPerActionWithTheSideTheActionMoves) {
  TFileList list;
  list.Append(
      MakeNode({.Name = "up", .LocalSize = 1000, .LocalDate = At(10, 0, 0), .Action = faPump}));
  list.Append(MakeNode({.Name = "down",
                        .LocalSize = 5,
                        .RemoteSize = 2000,
                        .LocalDate = At(9, 0, 0),
                        .RemoteDate = At(11, 0, 0),
                        .Action = faSuck}));
  list.Append(MakeNode({.Name = "same",
                        .LocalSize = 7,
                        .RemoteSize = 7,
                        .LocalDate = At(9, 0, 0),
                        .RemoteDate = At(9, 0, 0)}));
  // Only on the server: counts as remote, not as local; a remote deletion counts remote bytes.
  list.Append(MakeNode(
      {.Name = "gone", .RemoteSize = 300, .RemoteDate = At(8, 0, 0), .Action = faDelRemote}));
  // A local deletion and a time sync count the local size.
  list.Append(MakeNode({.Name = "old",
                        .LocalSize = 40,
                        .RemoteSize = 1,
                        .LocalDate = At(8, 0, 0),
                        .RemoteDate = At(8, 0, 0),
                        .Action = faDelLocal}));
  list.Append(MakeNode({.Name = "ts",
                        .LocalSize = 2,
                        .RemoteSize = 9,
                        .LocalDate = At(8, 0, 0),
                        .RemoteDate = At(8, 0, 0),
                        .Action = faTimeSync}));
  int actions = 0;
  const TStatisticsView view = ComputeStatistics(list, ".", actions);
  EXPECT_EQ(actions, 5);
  EXPECT_EQ(view.Files, "6");
  EXPECT_EQ(view.ActionCount[faPump], "1");
  EXPECT_EQ(view.ActionBytes[faPump], "1.000");
  EXPECT_EQ(view.ActionHint[faPump], "1.000 Bytes");
  EXPECT_EQ(view.ActionBytes[faSuck], "2.000");
  EXPECT_EQ(view.ActionBytes[faDelRemote], "300");
  EXPECT_EQ(view.ActionBytes[faDelLocal], "40");
  EXPECT_EQ(view.ActionBytes[faTimeSync], "2");
  EXPECT_EQ(view.ActionHint[faTimeSync], "");
  EXPECT_EQ(view.ActionCount[faNoAction], "1");
  EXPECT_EQ(view.ActionBytes[faNoAction], "7");
  EXPECT_EQ(view.FilesHint, "Zu übertragende Bytes: 3.000");
  EXPECT_EQ(view.FilesLocal, "5");
  EXPECT_EQ(view.FilesRemote, "5");
  EXPECT_EQ(view.BytesLocal, "1.054");
  EXPECT_EQ(view.BytesRemote, "2.317");

  const TStatisticsView cleared = ClearedStatistics(view);
  EXPECT_EQ(cleared.ActionCount[faPump], "---");
  EXPECT_EQ(cleared.BytesRemote, "---");
  EXPECT_EQ(cleared.ActionHint[faPump], "1.000 Bytes");
  EXPECT_EQ(cleared.FilesHint, "Zu übertragende Bytes: 3.000");
}

TEST(Statistics, NumberFormats) {
  EXPECT_EQ(GroupDigits(1234567, "."), "1.234.567");
  EXPECT_EQ(GroupDigits(999, "."), "999");
  EXPECT_EQ(GroupDigits(1000, "."), "1.000");
  EXPECT_EQ(GroupDigits(3221225472, "."), "3.221.225.472");
  EXPECT_EQ(FormatStatNumber(0, "."), "---");
  EXPECT_EQ(FormatByteCount(0, "."), "0");
  EXPECT_EQ(FormatByteCount(12345, "\u202F"), "12\u202F345");
}

TEST(Progress, BarsLabelsAndTitle) {
  TRunCounters counters;
  counters.TotalBytes = 100'000'000;
  counters.DoneBytes = 20'000'000;
  counters.CurrentFileSize = 50'000'000;
  counters.RunStart = At(10, 0, 0);
  std::string title;
  TProgressView view = ComputeProgress(counters, 30'000'000, At(11, 2, 3), ".", title);
  EXPECT_EQ(view.CurrentPercent, 60);
  EXPECT_EQ(view.OverallPercent, 50);
  EXPECT_EQ(title, "50 % Quillmar");
  EXPECT_EQ(view.BytesTransferred, "50.000.000  /  100.000.000");
  EXPECT_EQ(view.TimeElapsed, "01:02:03");

  counters = {
      .TotalBytes = 4 << 20, .DoneBytes = 0, .CurrentFileSize = 0, .RunStart = At(10, 0, 0)};
  view = ComputeProgress(counters, 1 << 20, At(10, 0, 8), ".", title);
  EXPECT_EQ(view.Speed, "128,0 KByte/s");
  EXPECT_EQ(view.CurrentPercent, 0);
  EXPECT_EQ(view.OverallPercent, 25);
}

TEST(Progress, PercentagesAreClampedAndTimeNeverNegative) {
  TRunCounters counters{
      .TotalBytes = 10, .DoneBytes = 10, .CurrentFileSize = 5, .RunStart = At(10, 0, 0)};
  std::string title;
  // A file that grew since the comparison reports more bytes than expected.
  const TProgressView view = ComputeProgress(counters, 50, At(9, 59, 0), ".", title);
  EXPECT_EQ(view.CurrentPercent, 100);
  EXPECT_EQ(view.OverallPercent, 100);
  EXPECT_EQ(title, "100 % Quillmar");
  EXPECT_EQ(view.TimeElapsed, "00:00:00");
  EXPECT_EQ(view.Speed, "0,0 KByte/s");
  const TProgressView idle = IdleProgress();
  EXPECT_EQ(idle.Speed, "---");
  EXPECT_EQ(idle.OverallPercent, 0);
}

}  // namespace
}  // namespace quillmar
