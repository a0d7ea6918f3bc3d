#include "util/date_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "util/date_picture.h"

namespace quillmar {
namespace {

TEST(DateTime, EncodesDaysSince18991230) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(0, 1, 0, 0), 1.0 / 1440);
}

TEST(DateTime, RejectsImpossibleValuesWithGermanMessages) {
  const auto date_message = [](int y, int m, int d) {
    try {
      EncodeDate(y, m, d);
    } catch (const EConvertError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(date_message(2003, 13, 1), "Ungültiges Argument zum Codieren des Datums");
  EXPECT_EQ(date_message(2003, 4, 31), "Ungültiges Argument zum Codieren des Datums");
  EXPECT_EQ(date_message(2003, 2, 29), "Ungültiges Argument zum Codieren des Datums");
  EXPECT_EQ(date_message(2004, 2, 29), "no error");
  EXPECT_EQ(date_message(1900, 2, 29), "Ungültiges Argument zum Codieren des Datums");
  EXPECT_EQ(date_message(2000, 2, 29), "no error");
  for (auto [h, n, s] : {std::tuple{24, 0, 0}, {0, 60, 0}, {0, 0, 60}, {-1, 0, 0}}) {
    try {
      EncodeTime(h, n, s, 0);
      ADD_FAILURE() << h << ":" << n << ":" << s;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Ungültiges Argument zum Codieren der Uhrzeit");
    }
  }
}

TEST(DateTime, DecodeRoundTripsAndAbsorbsFloatingPointNoise) {
  const TDateTime t = EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 58, 0);
  int y, m, d, h, n, s, ms;
  DecodeDate(t, y, m, d);
  DecodeTime(t, h, n, s, ms);
  EXPECT_EQ((std::tuple{y, m, d, h, n, s, ms}), (std::tuple{2024, 2, 29, 23, 59, 58, 0}));
  // 10:16 reached by adding minutes is still 10:16, not 10:15:59.999.
  TDateTime sum = EncodeDate(2005, 6, 1);
  for (int i = 0; i < 616; ++i)
    sum += kOneMinute;
  EXPECT_EQ(FormatDateTime("YYYYMMDDHHNN", sum), "200506011016");
  EXPECT_EQ(YearOfDate(t), 2024);
  EXPECT_EQ(MonthOfDate(t), 2);
}

TEST(DateTime, FormatDropsSeconds) {
  const TDateTime t = EncodeDate(2005, 3, 7) + EncodeTime(9, 5, 59, 999);
  EXPECT_EQ(FormatDateTime("YYYYMMDDHHNN", t), "200503070905");
  EXPECT_EQ(FormatDateTime("YYYYMMDD", t), "20050307");
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", t), "07.03.2005 09:05:59");
  EXPECT_EQ(FormatDateTime("yy", t), "05");
}

class TimeZoneTest : public ::testing::Test {
 protected:
  void SetZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_value_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    saved_ = tz != nullptr;
    if (saved_)
      saved_value_ = tz;
  }
  bool saved_ = false;
  std::string saved_value_;
};

TEST_F(TimeZoneTest, ConversionsUseTheRulesInForceAtThatDate) {
  SetZone("CET-1CEST,M3.5.0,M10.5.0/3");
  // 2024-01-15 12:00 UTC is 13:00 in winter; 2024-07-15 12:00 UTC is 14:00 in summer.
  EXPECT_EQ(FormatDateTime("YYYY-MM-DD HH:NN", UnixToLocalDateTime(1705320000)),
            "2024-01-15 13:00");
  EXPECT_EQ(FormatDateTime("YYYY-MM-DD HH:NN", UnixToLocalDateTime(1721044800)),
            "2024-07-15 14:00");
  EXPECT_EQ(LocalDateTimeToUnix(EncodeDate(2024, 1, 15) + EncodeTime(13, 0, 0, 0)), 1705320000);
  EXPECT_EQ(LocalDateTimeToUnix(EncodeDate(2024, 7, 15) + EncodeTime(14, 0, 0, 0)), 1721044800);
}

TEST(ParseDateTime, ReadsFieldsAtThePicturePositions) {
  EXPECT_EQ(ParseDateTime("dd.mm.yy", "05.11.80"), EncodeDate(2080, 11, 5));
  EXPECT_EQ(ParseDateTime("dd.mm.yy", "05.11.81"), EncodeDate(1981, 11, 5));
  EXPECT_EQ(ParseDateTime("DD.MM.YYYY", "00.11.2003"), 0.0);
  EXPECT_EQ(ParseDateTime("DD.MM.YYYY", "24.12.2003"), EncodeDate(2003, 12, 24));
  EXPECT_DOUBLE_EQ(ParseDateTime("HH:NN", "14:05"), EncodeTime(14, 5, 0, 0));
  EXPECT_DOUBLE_EQ(ParseDateTime("\"HH\":NN:SS", "14:05:09"), EncodeTime(14, 5, 9, 0));
  EXPECT_EQ(ParseDateTime("", "14:05"), 0.0);
  EXPECT_EQ(ParseDateTime("HH:NN", ""), 0.0);
  // Non-numbers read as 0; a value shorter than the picture reads missing fields as 0.
  EXPECT_DOUBLE_EQ(ParseDateTime("HH:NN", "xx:05"), EncodeTime(0, 5, 0, 0));
  EXPECT_DOUBLE_EQ(ParseDateTime("HH:NN", "07"), EncodeTime(7, 0, 0, 0));
}

TEST(ParseDateTime, ImpossibleValuesRaiseConversionErrors) {
  EXPECT_THROW(ParseDateTime("HH:NN", "24:00"), EConvertError);
  EXPECT_THROW(ParseDateTime("HH:NN", "12:60"), EConvertError);
  EXPECT_THROW(ParseDateTime("DD.MM.YYYY", "31.04.2003"), EConvertError);
  EXPECT_THROW(ParseDateTime("DD.MM.YYYY", "01.13.2003"), EConvertError);
}

}  // namespace
}  // namespace quillmar
