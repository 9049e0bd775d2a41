// The text and number helpers.
#include <optional>
#include <tuple>

#include <gtest/gtest.h>

#include "csv_text.h"
#include "text.h"

using namespace qz;

TEST(Text, Trimming) {
  EXPECT_EQ(Trimmed("  a b  "), "a b");
  EXPECT_EQ(Trimmed("\t a\r\n", " \t\r\n"), "a");
  EXPECT_EQ(Trimmed("\ta\t"), "\ta\t");
  EXPECT_EQ(Trimmed("   "), "");
}

TEST(Text, ListItems) {
  using Items = std::vector<std::string>;
  EXPECT_EQ(ListItems("kelvor, alarms ,,\tops\t", ','), (Items{"kelvor", "alarms", "ops"}));
  EXPECT_EQ(ListItems("Temp., C;Load, A", ';'), (Items{"Temp., C", "Load, A"}));
  EXPECT_EQ(ListItems(" ; ", ';'), Items{});
  EXPECT_EQ(ListItems("", ','), Items{});
  EXPECT_EQ(ListItems("one", ','), Items{"one"});
}

TEST(Text, DotFields) {
  std::string rest = "1.3..6";
  EXPECT_EQ(TakeDotField(rest), "1");
  EXPECT_EQ(TakeDotField(rest), "3");
  EXPECT_EQ(TakeDotField(rest), "");
  EXPECT_EQ(TakeDotField(rest), "6");
  EXPECT_EQ(rest, "");
}

TEST(Text, Int32Numbers) {
  const std::pair<const char*, std::optional<int32_t>> cases[] = {
      {"0", 0},           {"+7", 7},    {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX},
      {"2147483648", {}}, {"", {}},     {"+", {}},                  {" 1", {}},
      {"1 ", {}},         {"0x10", {}}, {"--1", {}},                {"12a", {}}};
  for (const auto& [text, expected] : cases) {
    int32_t value = -99;
    EXPECT_EQ(ParseInt32(text, value), expected.has_value()) << text;
    if (expected) {
      EXPECT_EQ(value, *expected) << text;
    }
    EXPECT_EQ(ParseInt32Or(text, -99), expected.value_or(-99)) << text;
  }
}

TEST(Text, StrToIntSaysWhatWasWrong) {
  EXPECT_EQ(StrToInt("+42"), 42);
  try {
    StrToInt("4 2");
    FAIL();
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'4 2' is not a valid integer value");
  }
  try {
    StrToInt(std::string(100, '9') + "x");
    FAIL();
  } catch (const EConvertError& error) {
    EXPECT_EQ(std::string(error.what()), "'" + std::string(80, '9') + "\u2026' is not a valid integer value");
  }
}

TEST(Text, MessagesNeverCutInsideACharacter) {
  const std::string text = std::string(79, 'a') + "\xC3\xBC" + "tail";
  EXPECT_EQ(ShortenedForMessage(text), std::string(79, 'a') + "\u2026");
  EXPECT_EQ(ShortenedForMessage("short"), "short");
}

TEST(Text, IPv4Texts) {
  const struct {
    const char* text;
    bool strict;
    bool withBlanks;
  } cases[] = {{"192.168.1.90", true, true},      {"0.0.0.0", true, true},        {"255.255.255.255", true, true},
               {" 10 . 0 .0. 1 ", false, true},   {"256.1.1.1", false, false},    {"1.2.3", false, false},
               {"1.2.3.4.5", false, false},       {"1..3.4", false, false},       {"a.b.c.d", false, false},
               {"1.2.3.-4", false, false},        {"", false, false},             {"1.2.3.0004", false, false},
               {"1.2.3.4.", false, false},        {"localhost", false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsIPv4Text(c.text), c.strict) << c.text;
    EXPECT_EQ(IsIPv4Text(c.text, true), c.withBlanks) << c.text;
  }
}

TEST(Text, CountsWithTheirNoun) {
  const std::tuple<uint64_t, const char*, const char*> cases[] = {
      {0, "write", "0 writes"}, {1, "write", "1 write"}, {2, "reading", "2 readings"}, {1, "ping", "1 ping"}};
  for (auto [count, noun, text] : cases) EXPECT_EQ(Counted(count, noun), text);
}

// Device texts in the CSV files for spreadsheets: a formula is never run,
// and RFC 4180 quoting keeps commas, quotes and line breaks.
TEST(CsvText, CellsAreGuardedAndQuotedAsSpreadsheetsNeed) {
  const struct {
    std::string Text;
    std::string Guarded;
    std::string Field;  // qz::CsvField(qz::GuardedCell(Text))
  } cases[] = {
      {"Rack 3", "Rack 3", "Rack 3"},
      {"", "", ""},
      {"=HYPERLINK(\"http://x\")", "'=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
      {"+7 495 000", "'+7 495 000", "'+7 495 000"},
      {"-cmd", "'-cmd", "'-cmd"},
      {"@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx", "'\tx"},
      {"\rx", "'\rx", "\"'\rx\""},
      {"-12", "-12", "-12"},      // a number is no formula
      {"-12.5", "-12.5", "-12.5"},
      {"-", "'-", "'-"},
      {"-1e5", "'-1e5", "'-1e5"},
      {"Hall \"B\", rack 3", "Hall \"B\", rack 3", "\"Hall \"\"B\"\", rack 3\""},
      {"two\nlines", "two\nlines", "\"two\nlines\""},
      {"Щит 3", "Щит 3", "Щит 3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qz::GuardedCell(c.Text), c.Guarded) << c.Text;
    EXPECT_EQ(qz::CsvField(qz::GuardedCell(c.Text)), c.Field) << c.Text;
  }
}

