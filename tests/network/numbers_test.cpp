#include <gtest/gtest.h>

#include "network/runtime_error.h"
#include "network/vb_text.h"

namespace {

using network::IntegerValue;
using network::IsNumeric;

int FailureNumber(const std::string& text) {
  try {
    IntegerValue(text);
  } catch (const network::RuntimeError& e) {
    return e.Number();
  }
  return 0;
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

TEST(IntegerValue, RoundsHalvesToEven) {
  EXPECT_EQ(IntegerValue("0.5"), 0);
  EXPECT_EQ(IntegerValue("1.5"), 2);
  EXPECT_EQ(IntegerValue("2.5"), 2);
  EXPECT_EQ(IntegerValue("2.51"), 3);
  EXPECT_EQ(IntegerValue("-0.5"), 0);
  EXPECT_EQ(IntegerValue("-1.5"), -2);
  EXPECT_EQ(IntegerValue(" 5 "), 5);
  EXPECT_EQ(IntegerValue("0999"), 999);
  EXPECT_EQ(IntegerValue("4e2"), 400);
}

TEST(IntegerValue, SixteenBitRangeThenOverflow) {
  EXPECT_EQ(IntegerValue("32767"), 32767);
  EXPECT_EQ(IntegerValue("32767.49"), 32767);
  EXPECT_EQ(IntegerValue("-32768"), -32768);
  EXPECT_EQ(IntegerValue("-32768.5"), -32768);  // half to even stays in range
  EXPECT_EQ(FailureNumber("32767.5"), network::kErrOverflow);
  EXPECT_EQ(FailureNumber("32768"), network::kErrOverflow);
  EXPECT_EQ(FailureNumber("-32769"), network::kErrOverflow);
  EXPECT_EQ(FailureNumber("1e10"), network::kErrOverflow);
  EXPECT_EQ(FailureNumber("abc"), network::kErrTypeMismatch);
  EXPECT_EQ(FailureNumber(""), network::kErrTypeMismatch);
  try {
    IntegerValue("40000");
  } catch (const network::RuntimeError& e) {
    EXPECT_EQ(e.Description(), "Overflow");
  }
}

TEST(TextRules, TrimTakesSpacesOnlyAndLengthCountsCharacters) {
  EXPECT_EQ(network::Trim("  a b  "), "a b");
  EXPECT_EQ(network::Trim("   "), "");
  EXPECT_EQ(network::Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(network::CharLength("0100"), 4u);
  EXPECT_EQ(network::CharLength("\xc3\xa9t\xc3\xa9"), 3u);  // "été"
  EXPECT_EQ(network::CharLength("\xf0\x9f\x98\x80"), 2u);   // one emoji, a surrogate pair
}

}  // namespace
