#include "ftp/listing_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ftp/ftp_file.h"
#include "util/date_time.h"

namespace quillmar {
namespace {

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
  return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 0);
}

TDateTime TimeOfDay(int hour, int minute) {
  return EncodeTime(hour, minute, 0, 0);
}

const TDateTime kNovember = At(2024, 11, 15, 12, 0);
const TDateTime kFebruary = At(2024, 2, 10, 8, 30);

struct TExpected {
  std::string Name;
  std::int64_t Size = 0;
  bool IsDir = false;
  TDateTime DateTime = 0;
  bool HasTime = false;
};

void ExpectEntry(const TFtpFile& file, const TExpected& expected) {
  EXPECT_EQ(file.Name, expected.Name);
  EXPECT_EQ(file.Size, expected.Size);
  EXPECT_EQ(file.IsDir, expected.IsDir);
  EXPECT_DOUBLE_EQ(file.DateTime, expected.DateTime);
  EXPECT_EQ(file.HasTime, expected.HasTime);
}

TEST(FtpFileTest, ParsesLongListingLines) {
  struct Case {
    const char* what;
    std::string line;
    TDateTime now;
    TExpected expected;
  };
  const Case cases[] = {
      {"time of day, month already past",
       "-rw-r--r--   1 web  users   18274 Mar  4 17:09 index.html",
       kNovember,
       {"index.html", 18274, false, At(2024, 3, 4, 17, 9), true}},
      {"time of day, month still ahead: last year",
       "-rw-r--r--   1 web  users   18274 Mar  4 17:09 index.html",
       kFebruary,
       {"index.html", 18274, false, At(2023, 3, 4, 17, 9), true}},
      {"current month keeps the year even for a later day",
       "-rw-r--r-- 1 web users 1 Nov 28 09:15 later.txt",
       kNovember,
       {"later.txt", 1, false, At(2024, 11, 28, 9, 15), true}},
      {"directory with a year",
       "drwxr-xr-x   2 web  users     512 Nov 30  2003 img",
       kNovember,
       {"img", 512, true, At(2003, 11, 30), false}},
      {"inner blanks of the name are kept",
       "-rw-r--r-- 1 web users 7 Jan 2 2020 my  file.txt",
       kNovember,
       {"my  file.txt", 7, false, At(2020, 1, 2), false}},
      {"tabs separate fields and become blanks in the name",
       "-rw-r--r--\t1\tweb\tusers\t10\tMar\t4\t17:09\tname\twith tab",
       kNovember,
       {"name with tab", 10, false, At(2024, 3, 4, 17, 9), true}},
      {"month in another language: time of day only",
       "-rw-r--r-- 1 web users 10 Mai 4 17:09 a.txt",
       kNovember,
       {"a.txt", 10, false, TimeOfDay(17, 9), true}},
      {"month in another language with a year: no date",
       "-rw-r--r-- 1 web users 10 Mai 4 2003 a.txt",
       kNovember,
       {"a.txt", 10, false, 0, false}},
      {"month names ignore case",
       "-rw-r--r-- 1 web users 10 mAR 4 2003 a.txt",
       kNovember,
       {"a.txt", 10, false, At(2003, 3, 4), false}},
      {"four-character time reads as a year of 0, month ahead: last year",
       "-rw-r--r-- 1 web users 10 Dec 5 9:05 a.txt",
       kNovember,
       {"a.txt", 10, false, At(2023, 12, 5), false}},
      {"eight fields: the last one is the name",
       "drwxr-xr-x 2 web users 512 Jan 5 2003",
       kNovember,
       {"2003", 512, true, At(2024, 1, 5), false}},
      {"seconds after the minutes are ignored",
       "-rw-r--r-- 1 web users 10 Mar 4 17:09:59 a.txt",
       kNovember,
       {"a.txt", 10, false, At(2024, 3, 4, 17, 9), true}},
      {"day that is not a number: time of day only",
       "-rw-r--r-- 1 web users 10 Mar x 17:09 a.txt",
       kNovember,
       {"a.txt", 10, false, TimeOfDay(17, 9), true}},
      {"day beyond 32 bits reads 0: no date",
       "-rw-r--r-- 1 web users 1 Jan 99999999999 2003 a",
       kNovember,
       {"a", 1, false, 0, false}},
      {"size above 32 bits",
       "-rw-r--r-- 1 web users 5368709120 Mar 4 2003 big.iso",
       kNovember,
       {"big.iso", 5368709120LL, false, At(2003, 3, 4), false}},
      {"size beyond 64 bits reads 0",
       "-rw-r--r-- 1 web users 99999999999999999999 Mar 4 2003 a",
       kNovember,
       {"a", 0, false, At(2003, 3, 4), false}},
      {"size that is not a number reads 0",
       "-rw-r--r-- 1 web users 12k Mar 4 2003 a",
       kNovember,
       {"a", 0, false, At(2003, 3, 4), false}},
      {"negative size reads 0",
       "-rw-r--r-- 1 web users -5 Mar 4 2003 a",
       kNovember,
       {"a", 0, false, At(2003, 3, 4), false}},
      {"upper-case D is a directory",
       "Drwxr-xr-x 2 web users 0 Mar 4 2003 up",
       kNovember,
       {"up", 0, true, At(2003, 3, 4), false}},
      {"Latin-1 name kept byte for byte",
       "-rw-r--r-- 1 web users 3 Mar 4 2003 \xC4rger \xFC.txt",
       kNovember,
       {"\xC4rger \xFC.txt", 3, false, At(2003, 3, 4), false}},
      {"symbolic link is no entry",
       "lrwxrwxrwx 1 web users 4 Mar 4 17:09 link -> /etc/target",
       kNovember,
       {"", 0, false, 0, false}},
      {"other format is no entry", "total 48", kNovember, {"", 0, false, 0, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectEntry(TFtpFile(c.line, "sub/", c.now), c.expected);
  }
}

TEST(FtpFileTest, KeepsDirUnchanged) {
  EXPECT_EQ(TFtpFile("-rw-r--r-- 1 a b 1 Mar 4 2003 x", "./odd//dir:", kNovember).Dir,
            "./odd//dir:");
}

TEST(FtpFileTest, ImpossibleDatesAndTimesThrow) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"-rw-r--r-- 1 web users 1 Apr 31 2003 a", kInvalidDateMessage},
      {"-rw-r--r-- 1 web users 1 Feb 29 2023 a", kInvalidDateMessage},
      {"-rw-r--r-- 1 web users 1 Jan 32 2003 a", kInvalidDateMessage},
      {"-rw-r--r-- 1 web users 1 Mar 4 24:00 a", kInvalidTimeMessage},
      {"-rw-r--r-- 1 web users 1 Mar 4 12:60 a", kInvalidTimeMessage},
      {"-rw-r--r-- 1 web users 1 Mai 4 25:00 a", kInvalidTimeMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    try {
      TFtpFile file(c.line, "", kNovember);
      ADD_FAILURE() << "no error for " << file.Name;
    } catch (const EConvertError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
  EXPECT_NO_THROW(TFtpFile("-rw-r--r-- 1 web users 1 Feb 29 2024 leap", "", kNovember));
}

struct TListed {
  std::string Dir;
  std::string Name;
  bool IsDir;
};

std::vector<TListed> Entries(const TLinkList& list) {
  std::vector<TListed> out;
  for (const TFtpFile* file : list.Nodes<TFtpFile>())
    out.push_back({file->Dir, file->Name, file->IsDir});
  return out;
}

MATCHER_P(IsListing, expected, "") {
  if (arg.size() != expected.size())
    return false;
  for (std::size_t i = 0; i < arg.size(); ++i) {
    if (arg[i].Dir != expected[i].Dir || arg[i].Name != expected[i].Name ||
        arg[i].IsDir != expected[i].IsDir) {
      *result_listener << "entry " << i << " is " << arg[i].Dir << "|" << arg[i].Name;
      return false;
    }
  }
  return true;
}

TEST(ParseListingTextTest, RecursiveListingWithSections) {
  const std::string text =
      "total 12\r\n"
      "drwxr-xr-x 3 web users 4096 Mar  4 17:09 .\r\n"
      "drwxr-xr-x 3 web users 4096 Mar  4 17:09 ..\r\n"
      "-rw-r--r-- 1 web users   10 Mar  4 17:09 top.txt\r\n"
      "drwxr-xr-x 2 web users 4096 Mar  4 17:09 img\r\n"
      "\r\n"
      "./img:\r\n"
      "total 4\r\n"
      "-rw-r--r-- 1 web users   20 Mar  4 17:09 logo.png\r\n"
      "\r\n"
      "./img/sub:\r\n"
      "-rw-r--r-- 1 web users   30 Mar  4 17:09 deep.png\r\n";
  TLinkList list;
  ParseListingText(text, list, kNovember);
  const std::vector<TListed> expected = {
      {"", ".", true},   {"", "..", true},           {"", "top.txt", false},
      {"", "img", true}, {"img", "logo.png", false}, {"img/sub", "deep.png", false}};
  EXPECT_THAT(Entries(list), IsListing(expected));
}

TEST(ParseListingTextTest, SortsLinesIntoEntriesHeadersAndSkips) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<TListed> expected;
  };
  const Case cases[] = {
      {"empty text", "", {}},
      {"line ends CR LF, CR and LF, blank and control characters trimmed",
       "\t -rw-r--r-- 1 a b 1 Mar 4 2003 one \x01\r-rw-r--r-- 1 a b 1 Mar 4 2003 two\n\n"
       "-rw-r--r-- 1 a b 1 Mar 4 2003 three",
       {{"", "one", false}, {"", "two", false}, {"", "three", false}}},
      {"doubled slashes in a header",
       "//www//img:\n-rw-r--r-- 1 a b 1 Mar 4 2003 x",
       {{"/www/img", "x", false}}},
      {"one pass over slashes: three become two",
       "///a:\n-rw-r--r-- 1 a b 1 Mar 4 2003 x",
       {{"//a", "x", false}}},
      {"absolute header without ./",
       "/htdocs/img:\n-rw-r--r-- 1 a b 1 Mar 4 2003 x",
       {{"/htdocs/img", "x", false}}},
      {"header without slash is skipped",
       ".:\n-rw-r--r-- 1 a b 1 Mar 4 2003 x",
       {{"", "x", false}}},
      {"symbolic link with a slash becomes the header",
       "lrwxrwxrwx 1 a b 4 Mar 4 17:09 link -> /etc/target\n-rw-r--r-- 1 a b 1 Mar 4 2003 x",
       {{"lrwxrwxrwx 1 a b 4 Mar 4 17:09 link -> /etc/target", "x", false}}},
      {"upper-case D line: skipped, or a header with a slash",
       "Drwxr-xr-x 2 a b 0 Mar 4 2003 up\n-rw-r--r-- 1 a b 1 Mar 4 2003 x\n"
       "Drwxr-xr-x 2 a b 0 Mar 4 2003 up/down\n-rw-r--r-- 1 a b 1 Mar 4 2003 y",
       {{"", "x", false}, {"Drwxr-xr-x 2 a b 0 Mar 4 2003 up/down", "y", false}}},
      {"lines of other formats and short entry lines",
       "03-04-03  05:09PM       <DIR>          img\n-\nd   \n-rw-r--r-- 1 a b 1 Mar 4 2003 x",
       {{"", "-", false}, {"", "d", false}, {"", "x", false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TLinkList list;
    ParseListingText(c.text, list, kNovember);
    EXPECT_THAT(Entries(list), IsListing(c.expected));
  }
}

TEST(ParseListingTextTest, ClearsTheListFirst) {
  TLinkList list;
  list.Append(std::make_unique<TFtpFile>("-rw-r--r-- 1 a b 1 Mar 4 2003 old", "", kNovember));
  ParseListingText("-rw-r--r-- 1 a b 1 Mar 4 2003 new\n", list, kNovember);
  EXPECT_THAT(Entries(list), IsListing(std::vector<TListed>{{"", "new", false}}));
}

TEST(ParseListingTextTest, ImpossibleDateKeepsTheEntriesReadSoFar) {
  const std::string text =
      "-rw-r--r-- 1 a b 1 Mar 4 2003 first\n"
      "./sub:\n"
      "-rw-r--r-- 1 a b 1 Mar 4 2003 second\n"
      "-rw-r--r-- 1 a b 1 Apr 31 2003 impossible\n"
      "-rw-r--r-- 1 a b 1 Mar 4 2003 never\n";
  TLinkList list;
  EXPECT_THROW(ParseListingText(text, list, kNovember), EConvertError);
  EXPECT_THAT(Entries(list),
              IsListing(std::vector<TListed>{{"", "first", false}, {"sub", "second", false}}));
}

}  // namespace
}  // namespace quillmar
