#include "text/ansi.h"

#include <gtest/gtest.h>

#include "unit/testutil/temp_folder.h"

namespace pontevia::text {
namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

// Microsoft's published table of code page 1252 for 0x80..0x9F, written out
// as UTF-8 literals (independent of the converter's own table). The five
// holes map to the C1 control of the same number, as MultiByteToWideChar does.
struct HighByte {
  int byte;
  const char* utf8;
};
constexpr HighByte kHighBytes[] = {
    {0x80, "€"}, {0x81, "\xC2\x81"}, {0x82, "‚"}, {0x83, "ƒ"}, {0x84, "„"}, {0x85, "…"},
    {0x86, "†"}, {0x87, "‡"},        {0x88, "ˆ"}, {0x89, "‰"}, {0x8A, "Š"}, {0x8B, "‹"},
    {0x8C, "Œ"}, {0x8D, "\xC2\x8D"}, {0x8E, "Ž"}, {0x8F, "\xC2\x8F"}, {0x90, "\xC2\x90"},
    {0x91, "‘"}, {0x92, "’"},        {0x93, "“"}, {0x94, "”"}, {0x95, "•"}, {0x96, "–"},
    {0x97, "—"}, {0x98, "˜"},        {0x99, "™"}, {0x9A, "š"}, {0x9B, "›"}, {0x9C, "œ"},
    {0x9D, "\xC2\x9D"}, {0x9E, "ž"}, {0x9F, "Ÿ"},
};

TEST(Ansi, HighBytesMapToTheirUnicodeCharactersBothWays) {
  for (const HighByte& h : kHighBytes) {
    SCOPED_TRACE(h.byte);
    const std::string ansi = Bytes({h.byte});
    EXPECT_EQ(AnsiToUtf8(ansi), h.utf8);
    bool lossy = false;
    EXPECT_EQ(Utf8ToAnsi(h.utf8, &lossy), ansi);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(ansi)), ansi);
  }
}

TEST(Ansi, EveryByteSurvivesTheRoundTripsThroughUnicode) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  bool lossy = false;
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all), &lossy), all);
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(all), &lossy), all);
  EXPECT_FALSE(lossy);
  // Latin-1 letters are their own code points.
  EXPECT_EQ(AnsiToUtf16(Bytes({0xF1, 0xC7})), u"ñÇ");
}

TEST(Ansi, CharactersOutside1252BecomeQuestionMarksAndAreReported) {
  const struct {
    const char* why;
    std::string utf8;
    std::string want;
  } kCases[] = {
      {"CJK", "日本", "??"},
      {"emoji (4 bytes) is one character", "a😀b", "a?b"},
      {"C1 control that 1252 redefines", "\xC2\x80", "?"},
      {"stray continuation byte", "a\x80z", "a?z"},
      {"lead byte cut short", "\xC3", "?"},
      {"three-byte sequence cut before ASCII", "\xE2\x82" "A", "?A"},
      {"overlong encoding of '/'", "\xC0\xAF", "??"},
      {"UTF-16 surrogate encoded in UTF-8", "\xED\xA0\x80", "???"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    bool lossy = false;
    EXPECT_EQ(Utf8ToAnsi(c.utf8, &lossy), c.want);
    EXPECT_TRUE(lossy);
  }
  bool lossy = true;
  EXPECT_EQ(Utf8ToAnsi("Año", &lossy), Bytes({'A', 0xF1, 'o'}));
  EXPECT_TRUE(lossy) << "a clean conversion never resets the flag";
  EXPECT_EQ(Utf8ToAnsi("日"), "?") << "the flag is optional";
}

TEST(Ansi, Utf16SurrogatesPairedAndUnpaired) {
  bool lossy = false;
  EXPECT_EQ(Utf16ToAnsi(u"a\U0001F600b", &lossy), "a?b");
  EXPECT_TRUE(lossy);
  const char16_t lone_high[] = {u'x', 0xD83D, u'y', 0};
  const char16_t lone_low[] = {0xDE00, 0};
  EXPECT_EQ(Utf16ToAnsi(lone_high), "x?y");
  EXPECT_EQ(Utf16ToAnsi(lone_low), "?");
  EXPECT_EQ(Utf16ToUtf8(lone_low), "\xEF\xBF\xBD");  // U+FFFD
}

TEST(Ansi, Utf8AndUtf16ConvertIntoEachOther) {
  const std::string utf8 = "C:\\HTEMP\\Matemàtiques 😀 €";
  EXPECT_EQ(Utf8ToUtf16(utf8), u"C:\\HTEMP\\Matemàtiques 😀 €");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
}

// The same text stored in both encodings converts into the other byte for byte.
TEST(Ansi, PairedFixturesConvertIntoEachOther) {
  const std::string ansi = testing::ReadBytes(PONTEVIA_TEST_DATA "/text/latin_1252.txt");
  const std::string utf8 = testing::ReadBytes(PONTEVIA_TEST_DATA "/text/latin_utf8.txt");
  ASSERT_FALSE(ansi.empty());
  ASSERT_FALSE(utf8.empty());
  bool lossy = false;
  EXPECT_EQ(Utf8ToAnsi(utf8, &lossy), ansi);
  EXPECT_FALSE(lossy);
  EXPECT_EQ(AnsiToUtf8(ansi), utf8);
  EXPECT_EQ(Utf16ToAnsi(Utf8ToUtf16(utf8)), ansi);
}

TEST(Ansi, TrimRemovesCodesUpTo32OnBothEnds) {
  const struct {
    std::string in, want;
  } kCases[] = {
      {"  MAT  ", "MAT"},
      {"\t\r\n MAT\x01\x1F", "MAT"},
      {"a b", "a b"},
      {Bytes({0xA0, 'x', 0xA0}), Bytes({0xA0, 'x', 0xA0})},  // no-break space is 160: kept
      {std::string("\0x\0", 3), "x"},
      {" \x20\x0D ", ""},
      {"", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(Trim(c.in), c.want);
  }
  EXPECT_EQ(TrimRightBlanks("  a b  "), "  a b");
  EXPECT_EQ(TrimRightBlanks("a\t "), "a\t");
}

TEST(Ansi, CaseFoldingCoversThe1252Letters) {
  const struct {
    std::string a, b;
    bool equal;
  } kCases[] = {
      {"mat", "MAT", true},
      {Bytes({0xE0}), Bytes({0xC0}), true},   // à À
      {Bytes({0xF1}), Bytes({0xD1}), true},   // ñ Ñ
      {Bytes({0xE7}), Bytes({0xC7}), true},   // ç Ç
      {Bytes({0xFC}), Bytes({0xDC}), true},   // ü Ü
      {Bytes({0xFE}), Bytes({0xDE}), true},   // þ Þ
      {Bytes({0x9A}), Bytes({0x8A}), true},   // š Š
      {Bytes({0x9C}), Bytes({0x8C}), true},   // œ Œ
      {Bytes({0x9E}), Bytes({0x8E}), true},   // ž Ž
      {Bytes({0xFF}), Bytes({0x9F}), true},   // ÿ Ÿ
      {Bytes({0xD7}), Bytes({0xF7}), false},  // × ÷ are not letters
      {Bytes({0xDF}), "SS", false},           // ß has no single-byte capital
      {"a", Bytes({0xE0}), false},            // accents count
      {"mat", "mates", false},
      {"[", "{", false},                      // only letters fold
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(AnsiToUtf8(c.a) + " / " + AnsiToUtf8(c.b));
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal);
  }
  EXPECT_EQ(FoldCaseCopy(Bytes({'N', 0xDA, 0xD1, 'E', 'Z'})), Bytes({'n', 0xFA, 0xF1, 'e', 'z'}));
}

}  // namespace
}  // namespace pontevia::text
