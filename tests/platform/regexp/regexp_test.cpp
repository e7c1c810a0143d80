#include "regexp/regexp.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Values(const std::vector<regexp::Match>& matches) {
  std::vector<std::string> out;
  for (const auto& m : matches) out.push_back(m.Value);
  return out;
}

TEST(RegExpFlags, DollarIsEndOfTextUnlessMultiline) {
  regexp::RegExp re;
  re.SetPattern("^abc$");
  EXPECT_TRUE(re.Test("abc"));
  EXPECT_FALSE(re.Test("abc\n"));  // a script engine does not let "$" skip a final line end
  EXPECT_FALSE(re.Test("x\nabc"));
  re.SetMultiline(true);
  EXPECT_TRUE(re.Test("abc\n"));
  EXPECT_TRUE(re.Test("x\r\nabc"));
}

TEST(RegExpFlags, ChangingAFlagTakesEffectOnTheNextCall) {
  regexp::RegExp re;
  re.SetPattern("^[a-z]{2,4}$");
  EXPECT_FALSE(re.Test("ABC"));
  re.SetIgnoreCase(true);
  EXPECT_TRUE(re.Test("ABC"));
  re.SetIgnoreCase(false);
  EXPECT_FALSE(re.Test("ABC"));
  re.SetPattern("^B");
  EXPECT_TRUE(re.Test("BC"));
}

TEST(RegExpSyntax, ScriptEscapesAndAsciiWordClass) {
  regexp::RegExp re;
  re.SetPattern("^\\u0041\\x42$");
  EXPECT_TRUE(re.Test("AB"));
  re.SetPattern("^\\w+$");
  EXPECT_TRUE(re.Test("a_9Z"));
  EXPECT_FALSE(re.Test("caf\xc3\xa9"));  // \w is ASCII only
  re.SetPattern("a");
  EXPECT_FALSE(re.Test("\xff\xfe"));  // invalid UTF-8 input simply does not match
  EXPECT_TRUE(
      re.Test("\xff"
              "a"));
}

TEST(RegExpSyntax, BadPatternRaisesSyntaxError) {
  regexp::RegExp re;
  re.SetPattern("(abc");
  try {
    re.Test("abc");
    FAIL() << "no failure raised";
  } catch (const regexp::RegExpError& e) {
    EXPECT_EQ(e.number(), regexp::kSyntaxError);
    EXPECT_STREQ(e.what(), "Syntax error in regular expression");
  }
  re.SetPattern("abc");  // the object stays usable
  EXPECT_TRUE(re.Test("xabcx"));
}

TEST(RegExpExecute, FirstMatchOnlyWithoutGlobal) {
  regexp::RegExp re;
  re.SetPattern("(\\d+)(x)?");
  auto matches = re.Execute("ab 12 345x");
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].Value, "12");
  EXPECT_EQ(matches[0].FirstIndex, 3u);
  EXPECT_EQ(matches[0].Length, 2u);
  ASSERT_EQ(matches[0].SubMatches.size(), 2u);
  EXPECT_EQ(matches[0].SubMatches[0], "12");
  EXPECT_EQ(matches[0].SubMatches[1], "");  // group that did not take part

  re.SetGlobal(true);
  matches = re.Execute("ab 12 345x");
  ASSERT_EQ(matches.size(), 2u);
  EXPECT_EQ(matches[1].Value, "345x");
  EXPECT_EQ(matches[1].FirstIndex, 6u);
  EXPECT_EQ(matches[1].SubMatches[1], "x");
  EXPECT_TRUE(re.Execute("none").empty());
}

TEST(RegExpExecute, EmptyMatchesAdvanceByWholeCharacters) {
  regexp::RegExp re;
  re.SetGlobal(true);
  re.SetPattern("x*");
  EXPECT_EQ(Values(re.Execute("axb")), (std::vector<std::string>{"", "x", "", ""}));
  re.SetPattern("");
  auto matches = re.Execute("\xc3\xa9z");  // two characters, three bytes
  ASSERT_EQ(matches.size(), 3u);
  EXPECT_EQ(matches[1].FirstIndex, 2u);
  EXPECT_EQ(matches[2].FirstIndex, 3u);
}

TEST(RegExpExecute, MultilineAnchorsFindEveryLine) {
  regexp::RegExp re;
  re.SetGlobal(true);
  re.SetPattern("^b\\w*$");
  EXPECT_EQ(Values(re.Execute("a\r\nbe\nbo")), (std::vector<std::string>{}));
  re.SetMultiline(true);
  EXPECT_EQ(Values(re.Execute("a\r\nbe\nbo")), (std::vector<std::string>{"be", "bo"}));
}

}  // namespace
