#include <gtest/gtest.h>

#include "network/address.h"
#include "network/lp_regexp.h"
#include "nw_test_util.h"

namespace {

using network::CheckIP;
using network::CheckOctet;

TEST(CheckIP, AcceptsDottedQuads) {
  EXPECT_TRUE(CheckIP("192.168.1.1"));
  EXPECT_TRUE(CheckIP("0.0.0.0"));
  EXPECT_TRUE(CheckIP("255.255.255.255"));
  EXPECT_TRUE(CheckIP("10.0.99.100"));
}

TEST(CheckIP, RefusesEverythingElse) {
  for (const char* text :
       {"192.168.01.1", "256.1.1.1", "1.2.3", "1.2.3.4.5", " 1.2.3.4", "1.2.3.4 ", "", "   ",
        "1..2.3", "1.2.3.", ".1.2.3", "a.b.c.d", "1e2.1.1.1", "1.2.3.-4", "1.2.3.+4", "1. 2.3.4"}) {
    EXPECT_FALSE(CheckIP(text)) << '"' << text << '"';
  }
}

TEST(CheckIP, WorksOnACopy) {
  const std::string entry = "10.1.2.3";
  EXPECT_TRUE(CheckIP(entry));
  EXPECT_EQ(entry, "10.1.2.3");
}

TEST(CheckOctet, BoundsFollowTheLength) {
  for (const char* text : {"0", "9", "10", "99", "100", "199", "255"}) {
    EXPECT_TRUE(CheckOctet(text)) << text;
  }
  for (const char* text : {"", "01", "00", "001", "099", "256", "999", "1000", "-1", "+5", "5 ",
                           "1e2", "2E2", "1.5"}) {
    EXPECT_FALSE(CheckOctet(text)) << '"' << text << '"';
  }
}

TEST(Patterns, AKindOutsideTheTwoIsTheEmptyPattern) {
  using network::PatternKind;
  EXPECT_NE(network::lp_regexp::PatternOf(PatternKind::kEmail),
            network::lp_regexp::PatternOf(PatternKind::kIPv4));
  for (const int other : {2, -1, 7}) {
    EXPECT_EQ(network::lp_regexp::PatternOf(static_cast<PatternKind>(other)), "") << other;
  }
}

TEST(EmailPattern, AcceptsQuadAndWordDomainsInAnyCase) {
  network::lp_regexp re;
  for (const char* text :
       {"tech@192.168.1.10", "a@010.0.0.1", "a@199.255.250.9", "a+b_c-d.e@10.0.0.0",
        "john.smith@mail.example.com", "John.Smith@Mail.Example.COM", "x@my-host.info", "x@host.de",
        "X@HOST.ORG"}) {
    EXPECT_TRUE(re.IsValid(network::PatternKind::kEmail, text)) << text;
  }
}

TEST(EmailPattern, RefusesBadDomainsAndPartialMatches) {
  network::lp_regexp re;
  for (const char* text :
       {"a@localhost", "a@0.1.1.1", "a@256.1.1.1", "a@1.2.300.4", "a@example.c", "a@example.museum",
        "a@example.12", "@example.com", "a b@example.com", "a@b@example.com", "a@example.com junk",
        "a@example.com\n", "", "a@-host.com"}) {
    EXPECT_FALSE(re.IsValid(network::PatternKind::kEmail, text)) << '"' << text << '"';
  }
}

TEST(Patterns, KindsSelectTheirPatternAndExtractFindsEveryMatch) {
  network::lp_regexp re;
  EXPECT_TRUE(re.IsValid(network::PatternKind::kIPv4, "192.168.1.1"));
  EXPECT_FALSE(re.IsValid(network::PatternKind::kIPv4, "192.168.01.1"));
  EXPECT_FALSE(re.IsValid(network::PatternKind::kEmail, "192.168.1.1"));
  EXPECT_TRUE(re.IsValid(static_cast<network::PatternKind>(7),
                         "anything"));  // an empty pattern matches any text

  const auto found =
      re.Extract(network::PatternKind::kIPv4, "gw 10.0.0.1, dns 10.0.0.53\nntp 10.0.0.123");
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].Value, "10.0.0.1");
  EXPECT_EQ(found[1].Value, "10.0.0.53");
  EXPECT_EQ(found[2].Value, "10.0.0.123");
  EXPECT_EQ(found[1].FirstIndex, 17u);
  // The whole-text test still holds after an extraction switched multi-line on.
  EXPECT_FALSE(re.IsValid(network::PatternKind::kEmail, "a@example.com\nb@example.com"));
}

}  // namespace
