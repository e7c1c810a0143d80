// The runtime's text rules every window's checks share.
#include <gtest/gtest.h>

#include "forms/runtime_error.h"
#include "forms/text_rules.h"

namespace {

using forms::IntegerValue;
using forms::IsNumeric;

struct Failure {
  int number = 0;
  std::string description;
};

Failure FailureOf(const std::string& text) {
  try {
    IntegerValue(text);
  } catch (const forms::RuntimeError& e) {
    return {e.Number(), e.Description()};
  }
  return {};
}

TEST(NumericTest, AcceptsSignedDecimalsWithSpacesAndExponent) {
  for (const char* text : {"0", " 5 ", "-999", "+12", "0.50", ".5", "5.", "1e3", "1.5E-2", "-2e+2",
                           "0999", "1000000000000000"}) {
    EXPECT_TRUE(IsNumeric(text)) << text;
  }
}

TEST(NumericTest, RefusesEmptyAlphabeticAndMalformed) {
  for (const char* text : {"", "   ", "abc", "12a", "1,000", "1 2", "--1", "+", ".", "e5", "1e",
                           "1e+", "1.2.3", "1e999", "\t1"}) {
    EXPECT_FALSE(IsNumeric(text)) << '"' << text << '"';
  }
}

TEST(IntegerValue, RoundsHalvesToEvenWithinSixteenBits) {
  const struct {
    const char* text;
    int value;
  } cases[] = {{"0.5", 0},          {"1.5", 2},         {"2.5", 2},          {"2.51", 3},
               {"-0.5", 0},         {"-1.5", -2},       {" 5 ", 5},          {"0999", 999},
               {"4e2", 400},        {"+7", 7},          {"7.0", 7},          {"32767", 32767},
               {"32767.49", 32767}, {"-32768", -32768}, {"-32768.5", -32768}};
  for (const auto& c : cases) EXPECT_EQ(IntegerValue(c.text), c.value) << c.text;
}

TEST(IntegerValue, OverflowAndTypeMismatchByNumberAndDescription) {
  const struct {
    const char* text;
    int number;
    const char* description;
  } cases[] = {{"32767.5", 6, "Overflow"}, {"32768", 6, "Overflow"},     {"-32769", 6, "Overflow"},
               {"1e10", 6, "Overflow"},    {"abc", 13, "Type mismatch"}, {"", 13, "Type mismatch"}};
  for (const auto& c : cases) {
    const Failure f = FailureOf(c.text);
    EXPECT_EQ(f.number, c.number) << c.text;
    EXPECT_EQ(f.description, c.description) << c.text;
  }
}

TEST(TextRules, TrimSplitLengthAndShorten) {
  EXPECT_EQ(forms::Trim("  a b  "), "a b");
  EXPECT_EQ(forms::Trim("   "), "");
  EXPECT_EQ(forms::Trim("\ta\t"), "\ta\t");

  EXPECT_TRUE(forms::Split("").empty());
  EXPECT_EQ(forms::Split("a,"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(forms::Split(",b,,c"), (std::vector<std::string>{"", "b", "", "c"}));

  EXPECT_EQ(forms::Len("0100"), 4u);
  EXPECT_EQ(forms::Len("\xc3\xa9t\xc3\xa9"), 3u);  // "été"
  EXPECT_EQ(forms::Len("\xf0\x9f\x98\x80"), 2u);   // one emoji, a surrogate pair

  EXPECT_EQ(forms::Shorten("abcdef", 6), "abcdef");
  EXPECT_EQ(forms::Shorten("abcdefg", 6), "abcdef...");
  // Cut after whole characters: three "é" of two bytes each.
  EXPECT_EQ(forms::Shorten("\xc3\xa9\xc3\xa9\xc3\xa9", 2), "\xc3\xa9\xc3\xa9...");
  EXPECT_EQ(forms::Shorten(std::string(5000, 'x')).size(), 63u);
}

}  // namespace
