#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "win32/ansi_string.h"
#include "windows.h"

namespace {

TEST(CodePage, AnsiCodePageIs1252ByDefault) {
  // The test runs without WIN32_ACP.
  EXPECT_EQ(GetACP(), 1252u);
}

TEST(CodePage, Windows1252HighRangeBothWays) {
  const char bytes[] = "\x80\x81\x9f\xe9";
  char16_t wide[8] = {};
  ASSERT_EQ(MultiByteToWideChar(1252, 0, bytes, 4, reinterpret_cast<LPWSTR>(wide), 8), 4);
  EXPECT_EQ(wide[0], u'\u20AC');
  EXPECT_EQ(wide[1], u'\u0081');  // a hole maps to its C1 control, not to a replacement
  EXPECT_EQ(wide[2], u'\u0178');
  EXPECT_EQ(wide[3], u'\u00E9');

  char back[8] = {};
  BOOL used = TRUE;
  ASSERT_EQ(WideCharToMultiByte(1252, 0, wide, 4, back, 8, nullptr, &used), 4);
  EXPECT_EQ(std::string(back, 4), std::string(bytes, 4));
  EXPECT_FALSE(used);
}

// Long text is decoded 16 bytes at a time when a block is ASCII: every length around the block
// size, with one high byte at every position, must decode as byte-by-byte decoding does.
TEST(CodePage, Windows1252DecodesLongTextWithHighBytesAnywhere) {
  for (int length = 1; length <= 40; ++length) {
    for (int at = -1; at < length; ++at) {
      std::string bytes;
      for (int i = 0; i < length; ++i) bytes.push_back(static_cast<char>('A' + i % 26));
      if (at >= 0) bytes[static_cast<size_t>(at)] = '\x80';
      std::u16string wide(static_cast<size_t>(length) + 1, u'#');
      ASSERT_EQ(MultiByteToWideChar(1252, 0, bytes.data(), length,
                                    reinterpret_cast<LPWSTR>(wide.data()), length),
                length);
      std::u16string want;
      for (char b : bytes) want.push_back(b == '\x80' ? u'\u20AC' : static_cast<char16_t>(b));
      want.push_back(u'#');  // nothing written beyond the text
      EXPECT_EQ(wide, want) << "length " << length << ", euro sign at " << at;
    }
  }
}

TEST(CodePage, UnmappableCharacterUsesDefaultAndSaysSo) {
  const char16_t text[] = u"a\u4E2Db\U0001F600c";
  char out[16] = {};
  BOOL used = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, &used);
  EXPECT_EQ(std::string(out, static_cast<std::size_t>(n)), std::string("a?b?c", 6));
  EXPECT_TRUE(used);
  EXPECT_FALSE(win32::Utf8ToAnsi("a\xe4\xb8\xad").has_value());
}

TEST(CodePage, SizeQueryTerminatorAndSmallBuffer) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);  // counts the NUL
  char16_t two[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, reinterpret_cast<LPWSTR>(two), 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePage, Utf8StrictAndLenient) {
  const char bad[] = "a\xc3(";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, 3, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  char16_t out[4];
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, bad, 3, reinterpret_cast<LPWSTR>(out), 4), 3);
  EXPECT_EQ(out[1], u'\uFFFD');
  // Overlong and surrogate encodings are refused too.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xc0\xaf", 2, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xed\xa0\x80", 3, nullptr, 0), 0);
  // UTF-8 has no default character.
  BOOL used;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"x", 1, nullptr, 0, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePage, RoundTripThroughAnsiKeepsText) {
  const std::string utf8 = "Caf\xc3\xa9 \xe2\x82\xac 5";
  auto ansi = win32::Utf8ToAnsi(utf8);
  ASSERT_TRUE(ansi.has_value());
  EXPECT_EQ(*ansi, "Caf\xe9 \x80 5");
  EXPECT_EQ(win32::AnsiToUtf8(*ansi), utf8);
}

TEST(CodePage, ShiftJisThroughIconv) {
  const char sjis[] = "\x93\xfa\x96\x7b";  // Japanese "Nippon"
  char16_t out[4];
  ASSERT_EQ(MultiByteToWideChar(932, 0, sjis, 4, reinterpret_cast<LPWSTR>(out), 4), 2);
  EXPECT_EQ(out[0], u'\u65E5');
  EXPECT_EQ(out[1], u'\u672C');
  char back[8];
  BOOL used = TRUE;
  ASSERT_EQ(WideCharToMultiByte(932, 0, out, 2, back, 8, nullptr, &used), 4);
  EXPECT_EQ(std::string(back, 4), std::string(sjis, 4));
  EXPECT_FALSE(used);
}

TEST(CodePage, LastErrorIsPerThread) {
  SetLastError(42);
  DWORD seen = 1;
  std::thread([&] { seen = GetLastError(); }).join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), 42u);
}

}  // namespace
