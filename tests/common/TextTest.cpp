#include <gtest/gtest.h>

#include "lm/Text.h"
#include "vantor/detail/SeriousError.h"

using namespace lm::text;

TEST(Text, Utf16RoundTripIncludingSurrogatePairs) {
  const std::string utf8 = "abc \xE9\x80\x9A\xE4\xBF\xA1 \xF0\x9F\x93\xA1";  // "abc 通信 📡"
  std::u16string wide = Utf8ToUtf16(utf8);
  ASSERT_EQ(wide.size(), 4u + 2u + 1u + 2u);
  EXPECT_EQ(wide[4], u'\u901A');
  EXPECT_EQ(wide[7], 0xD83D);  // high surrogate of U+1F4E1
  EXPECT_EQ(Utf16ToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
}

TEST(Text, MalformedInputIsAnErrorNotATruncation) {
  // Overlong slash, a lone continuation byte, a truncated sequence, an encoded surrogate.
  for (std::string bad : {"a\xC0\xAF", "\x80", "ok\xE3\x81", "\xED\xA0\x80"}) {
    EXPECT_THROW(Utf8ToUtf16(bad), ConversionError) << bad;
    EXPECT_FALSE(TryUtf8ToAnsi(bad).has_value());
  }
  std::u16string loneSurrogate = u"x";
  loneSurrogate.push_back(static_cast<char16_t>(0xDC00));
  EXPECT_THROW(Utf16ToUtf8(loneSurrogate), ConversionError);
}

TEST(Text, AnsiIsCodePage932) {
  const std::string utf8 = "\xE9\x80\x9A\xE4\xBF\xA1\xE3\x81\x8C\xE5\xA4\xB1\xE6\x95\x97";  // 通信が失敗
  const std::string sjis = Utf8ToAnsi(utf8);
  EXPECT_EQ(sjis, "\x92\xCA\x90\x4D\x82\xAA\x8E\xB8\x94\x73");
  EXPECT_EQ(AnsiToUtf8(sjis), utf8);
  // Half-width katakana and the wave dash as Windows code page 932 maps it.
  EXPECT_EQ(Utf8ToAnsi("\xEF\xBD\xB1"), "\xB1");
  EXPECT_EQ(Utf8ToAnsi("\xEF\xBD\x9E"), "\x81\x60");
  // Plain ASCII, NUL included, passes unchanged.
  EXPECT_EQ(Utf8ToAnsi(std::string("A\0B", 3)), std::string("A\0B", 3));
}

TEST(Text, AnsiRejectsWhatItCannotCarry) {
  EXPECT_THROW(Utf8ToAnsi("\xF0\x9F\x93\xA1"), ConversionError);  // emoji
  EXPECT_THROW(AnsiToUtf8("\x82"), ConversionError);              // truncated double byte
  EXPECT_FALSE(TryAnsiToUtf8("\x81\x20").has_value());            // invalid trail byte
}

TEST(Text, InvalidUtf8IsReplacedBytewiseForMessages) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain \xe3\x81\x82", "plain \xe3\x81\x82"},
      {"\x82\xa0.csv", "\xef\xbf\xbd\xef\xbf\xbd.csv"},    // CP932 bytes
      {"\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},            // overlong '/'
      {"\xed\xa0\x80x", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdx"},  // a surrogate
      {"cut \xe3\x81", "cut \xef\xbf\xbd\xef\xbf\xbd"},
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lm::text::ReplaceInvalidUtf8(c.in), c.out) << c.in;
    EXPECT_TRUE(lm::text::IsValidUtf8(c.out));
    EXPECT_EQ(lm::text::IsValidUtf8(c.in), c.in == c.out);
  }
}

TEST(Text, AsciiCrossesTheCodePageUnchangedAndTheRestStillConverts) {
  std::string everyAscii;
  for (int c = 0; c < 0x80; ++c) everyAscii.push_back(static_cast<char>(c));
  const struct {
    std::string utf8, ansi;
  } cases[] = {
      {everyAscii, everyAscii},  // backslash and tilde stay themselves
      {"192.0.2.10 vela1234", "192.0.2.10 vela1234"},
      {"a\xE9\x80\x9A", "a\x92\xCA"},  // one non-ASCII character takes the converter
      {"\xEF\xBD\xB1~", "\xB1~"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TryUtf8ToAnsi(c.utf8), c.ansi);
    EXPECT_EQ(TryAnsiToUtf8(c.ansi), c.utf8);
  }
  EXPECT_FALSE(TryUtf8ToAnsi("ok\xC0\xAF").has_value());  // not UTF-8 is refused either way
}

TEST(Text, LenientAnsiShowsWhatDecodesAndReplacesTheRest) {
  const std::string R = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    std::string in, out;
    bool exact;
  } cases[] = {
      {"", "", true},
      {"plain, text", "plain, text", true},
      {"\x92\xCA\x90\x4D", "\xE9\x80\x9A\xE4\xBF\xA1", true},  // 通信
      {"\xB1\x81\x40", "\xEF\xBD\xB1\xE3\x80\x80", true},       // half-width katakana, a trail byte in ASCII range
      {"A\x89\xB7\xFF" "B\x82", "A\xE6\xB8\xA9" + R + "B" + R, false},  // 温 between bytes that are no character
      {"\x81\x20" "x", R + " x", false},                                 // an ASCII byte after a lead stays itself
      {"\x81," "\x82\xA0", R + "," + "\xE3\x81\x82", false},             // so does a separator
      {"\x85\xA1z", R + "z", false},  // an unassigned pair is one replacement, not a katakana
      {"ab\x82", "ab" + R, false},    // a lead byte alone at the end
      {"\xFF\xFF", R + R, false},
  };
  for (const auto& c : cases) {
    bool exact = !c.exact;
    EXPECT_EQ(AnsiToUtf8Lenient(c.in, &exact), c.out) << c.in;
    EXPECT_EQ(exact, c.exact) << c.in;
    EXPECT_TRUE(IsValidUtf8(AnsiToUtf8Lenient(c.in)));
  }
}

TEST(Text, WholeAnsiLengthLeavesALoneLeadByteOut) {
  const struct {
    std::string in;
    size_t whole;
  } cases[] = {
      {"", 0}, {"ab", 2}, {"a\x82", 1}, {"\x82\xA0", 2}, {"\x82\xA0\x82", 2}, {"\xB1\x82", 1}, {"\x82\x82\x82", 2},
  };
  for (const auto& c : cases) EXPECT_EQ(WholeAnsiLength(c.in), c.whole) << c.in;
}

TEST(Text, FormatGrowsAsNeeded) {
  EXPECT_EQ(Format("%04d-%04d", 2, 1), "0002-0001");
  std::string longText(5000, 'x');
  EXPECT_EQ(Format("[%s]", longText.c_str()).size(), 5002u);
}

TEST(SeriousError, TextCarriesFileLineAndMessage) {
  vantor::detail::SeriousError plain("/src/a/cefExistingBrowser.cpp", 42);
  EXPECT_STREQ(plain.what(), "serious error:/src/a/cefExistingBrowser.cpp(42)");
  EXPECT_EQ(plain.FileName(), "cefExistingBrowser.cpp");
  vantor::detail::SeriousError withMsg("x.cpp", 7, "bad state");
  EXPECT_STREQ(withMsg.what(), "serious error:x.cpp(7) bad state");
  auto fromMacro = VANTOR_SERIOUS_ERROR("m");
  EXPECT_EQ(fromMacro.FileName(), "TextTest.cpp");
}
