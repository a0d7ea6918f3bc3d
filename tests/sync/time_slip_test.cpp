// The clock comparison against a scripted site with a fixed local clock, and its caption.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "engine_probe.h"
#include "scripted_site.h"

namespace quillmar::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kTestText = "Timeslip-Test by Quillmar. This file can be deleted.\r\n\r\n";
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The first of this month, so that a listing with a time of day lands in this year.
TDateTime FirstOfMonth() {
  int year, month, day;
  DecodeDate(Now(), year, month, day);
  return EncodeDate(year, month, 1);
}
TDateTime LocalClock() {
  return FirstOfMonth() + EncodeTime(14, 9, 31, 0);
}
// A listing line of the first of this month at hh:mm.
std::string Listed(const std::string& name, const std::string& time) {
  int year, month, day;
  DecodeDate(Now(), year, month, day);
  return std::string("-rw-r--r--   1 web users 56 ") + kMonths[month - 1] + "  1 " + time + " " +
         name + "\r\n";
}

class TimeSlipTest : public EngineTest {
 protected:
  TimeSlipTest() {
    TSyncEngineProbe::SetClock(engine, &LocalClock);
    Profile().TestFilename = "timeslip.txt";
    engine.FileList.RemoteRoot = "/htdocs/";
  }
  TDateTime Measure() {
    site.Start();
    TSyncEngineProbe::Connect(engine, site.HostAndPort());
    const TDateTime offset = engine.MeasureTimeSlip();
    TSyncEngineProbe::Disconnect(engine);
    site.Stop();
    return offset;
  }
  std::vector<std::string> Commands() const {
    std::vector<std::string> commands;
    for (const std::string& command : site.Commands()) {
      const std::string verb = command.substr(0, 4);
      if (verb == "STOR" || verb == "LIST" || verb == "DELE")
        commands.push_back(command);
    }
    return commands;
  }

  TScriptedSite site;
};

TEST_F(TimeSlipTest, OffsetIsTheLocalMinuteMinusTheListedTime) {
  struct TCase {
    const char* Listed;
    double Minutes;
    const char* Caption;
  };
  const TCase cases[] = {
      {"14:07", 2, "L = R+2 min"},
      {"14:12", -3, "L = R\u20133 min"},
      {"14:09", 0, "L = R"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Listed);
    site.Listings["LIST /htdocs/timeslip.txt"] = Listed("timeslip.txt", c.Listed);
    const TDateTime offset = Measure();
    EXPECT_NEAR(offset * 1440.0, c.Minutes, 1e-6);
    EXPECT_EQ(TimeSlipCaption(offset), c.Caption);
    EXPECT_THAT(Commands(), ElementsAre("STOR /htdocs/timeslip.txt", "LIST /htdocs/timeslip.txt",
                                        "DELE /htdocs/timeslip.txt"));
    EXPECT_EQ(site.Uploads().at("/htdocs/timeslip.txt"), kTestText);
  }
}

TEST_F(TimeSlipTest, TheLastMatchingEntryWinsAndTheFullPathMatchesToo) {
  site.Listings["LIST /htdocs/timeslip.txt"] =
      Listed("timeslip.txt", "14:01") + Listed("other.txt", "10:00") +
      Listed("/htdocs/timeslip.txt", "14:04") + Listed("TIMESLIP.TXT", "10:00");
  EXPECT_NEAR(Measure() * 1440.0, 5, 1e-6);
}

TEST_F(TimeSlipTest, WithoutListTestFileOnlyItsDirectoryIsListed) {
  Profile().TestFilename = "sub/timeslip.txt";
  Profile().ListTestFileOnly = false;
  site.Listings["LIST /htdocs/sub/"] =
      Listed("index.html", "09:00") + Listed("timeslip.txt", "14:08") + Listed("z.txt", "09:00");
  EXPECT_NEAR(Measure() * 1440.0, 1, 1e-6);
  EXPECT_THAT(Commands(), ElementsAre("STOR /htdocs/sub/timeslip.txt", "LIST /htdocs/sub/",
                                      "DELE /htdocs/sub/timeslip.txt"));
}

TEST_F(TimeSlipTest, LeadingSlashesOfTheTestFileStayBelowTheRemoteRoot) {
  Profile().TestFilename = "//tmp/t.txt";
  site.Listings["LIST /htdocs/tmp/t.txt"] = Listed("t.txt", "14:10");
  EXPECT_NEAR(Measure() * 1440.0, -1, 1e-6);
  EXPECT_THAT(Commands(), Contains("STOR /htdocs/tmp/t.txt"));
}

TEST_F(TimeSlipTest, AFileMissingFromTheListingGivesNoOffset) {
  site.Listings["LIST /htdocs/timeslip.txt"] = "";
  EXPECT_EQ(Measure(), 0.0);
}

TEST_F(TimeSlipTest, ARefusedUploadIsLoggedAndGivesNoOffset) {
  site.RefusedUploads.insert("/htdocs/timeslip.txt");
  EXPECT_EQ(Measure(), 0.0);
  EXPECT_TRUE(host.HasLogLine(llError, "Kann Datei f\u00FCr Uhrenvergleich nicht anlegen."));
  EXPECT_THAT(Commands(), ElementsAre("STOR /htdocs/timeslip.txt"));
}

TEST_F(TimeSlipTest, AFailedListingEndsTheMeasurementWithAnError) {
  // No listing: 550 to LIST.
  site.Start();
  TSyncEngineProbe::Connect(engine, site.HostAndPort());
  EXPECT_THROW(engine.MeasureTimeSlip(), std::exception);
  TSyncEngineProbe::Disconnect(engine);
  site.Stop();
  EXPECT_THAT(Commands(), Not(Contains("DELE /htdocs/timeslip.txt")));
}

TEST(TimeSlipCaption, ShowsWholeSignedMinutes) {
  const std::pair<double, const char*> cases[] = {
      {0, "L = R"},    {5, "L = R+5 min"},   {-3, "L = R\u20133 min"},   {0.4, "L = R"},
      {-0.4, "L = R"}, {90, "L = R+90 min"}, {-0.6, "L = R\u20131 min"},
  };
  for (const auto& [minutes, caption] : cases)
    EXPECT_EQ(TimeSlipCaption(minutes * kOneMinute), caption) << minutes;
}

}  // namespace
}  // namespace quillmar::testing
