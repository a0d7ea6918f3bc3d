#include "sync/proposal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sync/file_node_builder.h"
#include "util/date_time.h"

namespace quillmar {
namespace {

using testing::At;
using testing::MakeNode;
using testing::TNodeData;

const TDateTime kDay = 1.0;

TEST(IsInSyncTest, ComparesToTheMinuteOrTheDay) {
  struct Case {
    const char* what;
    TNodeData node;
    bool in_sync;
  };
  const Case cases[] = {
      {"seconds dropped on both sides",
       {.LocalSize = 10,
        .RemoteSize = 10,
        .LocalDate = At(10, 15, 50),
        .RemoteDate = At(10, 15, 5),
        .HasTime = true},
       true},
      {"local a minute later by two seconds",
       {.LocalSize = 10,
        .RemoteSize = 10,
        .LocalDate = At(10, 16, 1),
        .RemoteDate = At(10, 15, 59),
        .HasTime = true},
       false},
      {"local at 59.999 s is still the same minute",
       {.LocalSize = 10,
        .RemoteSize = 10,
        .LocalDate = At(10, 15, 59, 999),
        .RemoteDate = At(10, 15, 0),
        .HasTime = true},
       true},
      {"date only, local later the same day",
       {.LocalSize = 10,
        .RemoteSize = 10,
        .LocalDate = At(23, 59, 58),
        .RemoteDate = At(0, 0, 0),
        .HasTime = false},
       true},
      {"date only, local a day later",
       {.LocalSize = 10,
        .RemoteSize = 10,
        .LocalDate = At(0, 0, 0) + kDay,
        .RemoteDate = At(23, 59, 0),
        .HasTime = false},
       false},
      {"remote a day newer",
       {.LocalSize = 10,
        .RemoteSize = 10,
        .LocalDate = At(12, 0, 0),
        .RemoteDate = At(12, 0, 0) + kDay,
        .HasTime = true},
       true},
      {"identical",
       {.LocalSize = 0,
        .RemoteSize = 0,
        .LocalDate = At(12, 0, 0),
        .RemoteDate = At(12, 0, 0),
        .HasTime = true},
       true},
      {"sizes differ",
       {.LocalSize = 10,
        .RemoteSize = 11,
        .LocalDate = At(12, 0, 0),
        .RemoteDate = At(12, 0, 0),
        .HasTime = true},
       false},
      {"sizes differ beyond 32 bits",
       {.LocalSize = 4'294'967'306,
        .RemoteSize = 10,
        .LocalDate = At(12, 0, 0),
        .RemoteDate = At(12, 0, 0),
        .HasTime = true},
       false},
      {"only remote, empty", {.RemoteDate = At(12, 0, 0), .HasTime = true}, true},
      {"only local, empty", {.LocalDate = At(12, 0, 0)}, false},
      {"neither side", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsInSync(*MakeNode(c.node)), c.in_sync);
  }
}

// The in-step test must agree with comparing the formatted texts, also where floating point
// rounding decides the minute, for negative dates and for values without a four-digit year.
TEST(IsInSyncTest, AgreesWithTheFormattedDates) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double base = At(10, 15, 0);
  std::vector<double> values = {
      0.0,
      -0.0,
      1e-12,
      kOneMinute,
      -1.25,
      -1.75,
      -0.5,
      -700000.3,
      base,
      base - 1e-9,
      base + 1e-9,
      base - 0.0004 * kOneSecond,
      base - 0.0006 * kOneSecond,
      base + 59.9994 * kOneSecond,
      base + 59.9996 * kOneSecond,
      At(23, 59, 59, 999),
      At(23, 59, 59) + 0.9996 * kOneSecond,
      At(0, 0, 0),
      EncodeDate(9999, 12, 31) + EncodeTime(23, 59, 59, 999),
      EncodeDate(9999, 12, 31) + EncodeTime(23, 59, 59, 999) + 0.0006 * kOneSecond,
      2958466.0,
      3000000.25,
      nan,
      inf,
      -inf};
  std::mt19937_64 random(1848);
  std::uniform_real_distribution<double> spread(-3.0, 3.0);
  for (int i = 0; i < 300; ++i) {
    // Near minute boundaries, where rounding to the millisecond matters.
    values.push_back(base + std::floor(spread(random) * 100) * kOneMinute +
                     spread(random) * 1e-3 * kOneSecond);
  }
  for (const bool has_time : {true, false}) {
    const char* picture = has_time ? "YYYYMMDDHHNN" : "YYYYMMDD";
    for (const double local : values) {
      for (const double remote : values) {
        TFileNode node;
        node.LocalSize = node.RemoteSize = 3;
        node.LocalDate = local;
        node.RemoteDate = remote;
        node.HasTime = has_time;
        const bool expected = FormatDateTime(picture, local) <= FormatDateTime(picture, remote);
        ASSERT_EQ(IsInSync(node), expected)
            << picture << " local " << FormatDateTime("YYYY-MM-DD HH:NN:SS", local) << " (" << local
            << ") remote " << FormatDateTime("YYYY-MM-DD HH:NN:SS", remote) << " (" << remote
            << ")";
      }
    }
  }
}

TEST(ProposeActionsTest, DecisionTable) {
  const TDateTime t = At(12, 30, 0);
  struct Case {
    const char* what;
    TNodeData node;
    TFileAction plain;          // DeleteRemote off
    TFileAction delete_remote;  // DeleteRemote on
  };
  const Case cases[] = {
      {"only local", {.LocalSize = 5, .LocalDate = t}, faPump, faPump},
      {"only local, empty", {.LocalSize = 0, .LocalDate = t}, faPump, faPump},
      {"only remote, empty",
       {.RemoteSize = 0, .RemoteDate = t, .HasTime = true},
       faNoAction,
       faNoAction},
      {"only remote", {.RemoteSize = 1, .RemoteDate = t, .HasTime = true}, faSuck, faDelRemote},
      {"only remote, date only", {.RemoteSize = 9, .RemoteDate = t}, faSuck, faDelRemote},
      {"equal sizes, local earlier",
       {.LocalSize = 5,
        .RemoteSize = 5,
        .LocalDate = t,
        .RemoteDate = t + kOneMinute,
        .HasTime = true},
       faNoAction,
       faNoAction},
      {"equal sizes, local later in the same minute",
       {.LocalSize = 5,
        .RemoteSize = 5,
        .LocalDate = t + 30 * kOneSecond,
        .RemoteDate = t,
        .HasTime = true},
       faNoAction,
       faNoAction},
      {"equal sizes, local a minute later",
       {.LocalSize = 5,
        .RemoteSize = 5,
        .LocalDate = t + kOneMinute,
        .RemoteDate = t,
        .HasTime = true},
       faPump,
       faPump},
      {"equal sizes, date only, local later the same day",
       {.LocalSize = 5, .RemoteSize = 5, .LocalDate = t + 0.25, .RemoteDate = t},
       faNoAction,
       faNoAction},
      {"equal sizes, date only, local a day later",
       {.LocalSize = 5, .RemoteSize = 5, .LocalDate = t + kDay, .RemoteDate = t},
       faPump,
       faPump},
      {"sizes differ, local later",
       {.LocalSize = 5,
        .RemoteSize = 6,
        .LocalDate = t + kOneSecond,
        .RemoteDate = t,
        .HasTime = true},
       faPump,
       faPump},
      {"sizes differ, local earlier",
       {.LocalSize = 5,
        .RemoteSize = 6,
        .LocalDate = t,
        .RemoteDate = t + kOneSecond,
        .HasTime = true},
       faSuck,
       faSuck},
      {"sizes differ, local empty and earlier",
       {.LocalSize = 0, .RemoteSize = 6, .LocalDate = t, .RemoteDate = t + kDay, .HasTime = true},
       faSuck,
       faSuck},
      {"sizes differ, dates exactly equal",
       {.LocalSize = 5, .RemoteSize = 6, .LocalDate = t, .RemoteDate = t, .HasTime = true},
       faPump,
       faPump},
      {"sizes differ, dates exactly equal, local empty",
       {.LocalSize = 0, .RemoteSize = 6, .LocalDate = t, .RemoteDate = t, .HasTime = true},
       faSuck,
       faDelRemote},
      {"local without date but with a size",
       {.LocalSize = 100, .RemoteSize = 6, .LocalDate = 0, .RemoteDate = t, .HasTime = true},
       faPump,
       faPump},
      {"negative local date",
       {.LocalSize = 0, .RemoteSize = 6, .LocalDate = -2.0, .RemoteDate = t, .HasTime = true},
       faSuck,
       faDelRemote},
  };
  for (const bool delete_remote : {false, true}) {
    TFileList list;
    for (const Case& c : cases) {
      TNodeData data = c.node;
      data.Name = c.what;
      data.Action = faTimeSync;  // every node must be assigned afresh
      list.Append(MakeNode(data));
    }
    ProposeActions(list, delete_remote);
    const Case* c = cases;
    for (TFileNode* node : list.FileNodes()) {
      SCOPED_TRACE(std::string(c->what) + (delete_remote ? ", DeleteRemote" : ""));
      EXPECT_EQ(node->Action, delete_remote ? c->delete_remote : c->plain);
      ++c;
    }
  }
}

TEST(ChangeActionTest, AcceptsOnlyActionsWhoseSidesExist) {
  const TDateTime t = At(8, 0, 0);
  struct Case {
    const char* what;
    TNodeData node;
    const char* results;  // ChangeAction for the codes 0..5, from the present action 5
  };
  const Case cases[] = {
      {"both sides", {.LocalDate = t, .RemoteDate = t}, "012345"},
      {"only local", {.LocalSize = 5, .LocalDate = t}, "015355"},
      {"only remote", {.RemoteSize = 5, .RemoteDate = t}, "052545"},
      {"local size without date", {.LocalSize = 100, .RemoteSize = 5, .RemoteDate = t}, "052545"},
      {"neither side", {.LocalSize = 100, .RemoteSize = 100}, "055555"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TNodeData data = c.node;
    data.Action = faTimeSync;
    auto node = MakeNode(data);
    std::string results;
    for (int code = 0; code < kActionCount; ++code) {
      results += static_cast<char>('0' + ChangeAction(*node, static_cast<TFileAction>(code)));
    }
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(node->Action, faTimeSync) << "ChangeAction must not store";
  }
}

TEST(ChangeActionTest, RefusedChangeKeepsThePresentAction) {
  const TDateTime t = At(8, 0, 0);
  auto local_only = MakeNode({.LocalSize = 1, .LocalDate = t, .Action = faPump});
  EXPECT_EQ(ChangeAction(*local_only, faTimeSync), faPump);
  EXPECT_EQ(ChangeAction(*local_only, faNoAction), faNoAction);
  auto remote_only = MakeNode({.RemoteSize = 1, .RemoteDate = t, .Action = faDelRemote});
  EXPECT_EQ(ChangeAction(*remote_only, faPump), faDelRemote);
  auto no_local_date =
      MakeNode({.LocalSize = 100, .RemoteSize = 1, .RemoteDate = t, .Action = faSuck});
  EXPECT_EQ(ChangeAction(*no_local_date, faDelLocal), faSuck);
  // A code outside the enumeration is never accepted.
  auto both = MakeNode({.LocalDate = t, .RemoteDate = t, .Action = faSuck});
  EXPECT_EQ(ChangeAction(*both, static_cast<TFileAction>(6)), faSuck);
  EXPECT_EQ(ChangeAction(*both, static_cast<TFileAction>(200)), faSuck);
}

}  // namespace
}  // namespace quillmar
