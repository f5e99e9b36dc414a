#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

namespace viv {
namespace {

using namespace std::string_literals;

TEST(Text, Utf8AndUtf16RoundTrip) {
  struct TCase {
    std::string Utf8;
    std::u16string Utf16;
  };
  const TCase kCases[] = {
      {"", u""},
      {"A", u"A"},
      {"\xC3\xA9", u"\u00E9"},                    // é, 2 bytes
      {"\xE2\x82\xAC", u"\u20AC"},                // €, 3 bytes
      {"\xEF\xBF\xBF", u"\uFFFF"},                // last of the basic plane
      {"\xF0\x9D\x84\x9E", u"\xD834\xDD1E"},      // U+1D11E, a surrogate pair
      {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},      // U+10FFFF
      {"a\xF0\x9F\x98\x80z", u"a\xD83D\xDE00z"},  // U+1F600 between ASCII
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Utf8);
    EXPECT_TRUE(IsValidUtf8(c.Utf8));
    EXPECT_EQ(Utf8ToUtf16(c.Utf8), c.Utf16);
    EXPECT_EQ(Utf16ToUtf8(c.Utf16), c.Utf8);
  }
}

TEST(Text, InvalidSequencesBecomeReplacementCharacters) {
  struct TCase {
    std::string Utf8;
    std::u16string Utf16;
  };
  const TCase kCases[] = {
      {"\x80", u"\uFFFD"},                                // stray continuation byte
      {"\xC3", u"\uFFFD"},                                // truncated sequence
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong "/"
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xC3(", u"\uFFFD("},                              // lead byte without continuation
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Utf8);
    EXPECT_FALSE(IsValidUtf8(c.Utf8));
    EXPECT_EQ(Utf8ToUtf16(c.Utf8), c.Utf16);
  }
  // Unpaired surrogates in UTF-16.
  EXPECT_EQ(Utf16ToUtf8(u"\xD834x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16ToUtf8(u"x\xDD1E"), "x\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xDD1E\xD834"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800\xDBFF"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // two high halves
}

TEST(Text, Utf16LittleEndianBytes) {
  EXPECT_EQ(Utf16LEBytesToUtf8("A\0\xE9\0\x34\xD8\x1E\xDD"s), "A\xC3\xA9\xF0\x9D\x84\x9E");
  EXPECT_EQ(Utf16LEBytesToUtf8("A\0B"s), "A");  // odd last byte dropped
}

TEST(Text, Windows1252) {
  struct TCase {
    unsigned char Byte;
    const char* Utf8;
  };
  const TCase kCases[] = {
      {0x41, "A"},
      {0x80, "\xE2\x82\xAC"},  // €
      {0x81, "\xC2\x81"},      // undefined: the C1 control
      {0x8A, "\xC5\xA0"},      // Š
      {0x8C, "\xC5\x92"},      // Œ
      {0x8D, "\xC2\x8D"},      // undefined
      {0x91, "\xE2\x80\x98"},  // ‘
      {0x96, "\xE2\x80\x93"},  // –
      {0x99, "\xE2\x84\xA2"},  // ™
      {0x9D, "\xC2\x9D"},      // undefined
      {0x9F, "\xC5\xB8"},      // Ÿ
      {0xA0, "\xC2\xA0"},      // from here on Latin-1
      {0xE9, "\xC3\xA9"},      // é
      {0xFF, "\xC3\xBF"},      // ÿ
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.Byte));
    EXPECT_EQ(AnsiToUtf8(std::string(1, static_cast<char>(c.Byte))), c.Utf8);
  }
  // The UTF-8 bytes of é read as ANSI are two characters.
  EXPECT_EQ(AnsiToUtf8("\xC3\xA9"), "\xC3\x83\xC2\xA9");
}

TEST(Text, SimpleCaseFolding) {
  struct TCase {
    const char* A;
    const char* B;
    bool Same;
  };
  const TCase kCases[] = {
      {"Slide25", "slide25", true},
      {"\xC3\x84\xC3\x96", "\xC3\xA4\xC3\xB6", true},                  // ÄÖ, äö
      {"\xCE\xA3\xCE\x91\xCE\xA3", "\xCF\x83\xCE\xB1\xCF\x82", true},  // ΣΑΣ, σας
      {"\xE2\x84\xAA", "k", true},         // Kelvin sign: 3 bytes against 1
      {"\xE1\xBA\x9E", "\xC3\x9F", true},  // capital sharp s, ß
      {"\xC3\x9F", "ss", false},           // full folding is not used
      {"\xC4\xB0", "i", false},            // İ has no simple folding
      {"\xC4\xB1", "i", false},            // dotless ı
      {"abc", "abd", false},
      {"ab", "abc", false},
      {"", "", true},
      {"\x80", "\x81", false},  // stray bytes are code points of their own
      {"\x80", "\x80", true},
      {"a\xFF", "A\xFF", true},
      {"\xC3", "\xC3\xA9", false},  // a truncated lead byte is not é
      {"\xC3\x80", "\xE0", false},  // À against a stray byte 0xE0
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.A) + " / " + c.B);
    EXPECT_EQ(SameText(c.A, c.B), c.Same);
    EXPECT_EQ(SameText(c.B, c.A), c.Same);
    EXPECT_EQ(CompareText(c.A, c.B) == 0, c.Same);
    if (c.Same) {
      EXPECT_EQ(HashFolded(c.A), HashFolded(c.B));
      EXPECT_EQ(FoldCase(c.A), FoldCase(c.B));
    }
  }
  EXPECT_LT(CompareText("a", "B"), 0);
  EXPECT_GT(CompareText("abc", "AB"), 0);
  EXPECT_EQ(FoldCase("\xC3\x84x\x80Z"), "\xC3\xA4x\x80z");
}

TEST(Text, CaseMappingsAndAffixes) {
  EXPECT_EQ(UpperCase("stra\xC3\x9F"
                      "e \xC3\xA4\x80"),
            "STRA\xC3\x9F"
            "E \xC3\x84\x80");
  EXPECT_EQ(LowerCase("\xC3\x84\xC3\x96Z"), "\xC3\xA4\xC3\xB6z");
  EXPECT_TRUE(
      StartsWithText("\xE2\x84\xAA"
                     "elvin",
                     "KEL"));
  EXPECT_TRUE(StartsWithText("LoadFromDisk:C:\\x.jpg", "loadfromdisk:"));
  EXPECT_FALSE(StartsWithText("Load", "LoadFromDisk:"));
  EXPECT_TRUE(EndsWithText("Bild.JPG", ".jpg"));
  EXPECT_TRUE(EndsWithText("foo\xC3\x84", "\xC3\xA4"));
  EXPECT_TRUE(EndsWithText("x", ""));
  EXPECT_FALSE(EndsWithText("a", "ba"));
}

}  // namespace
}  // namespace viv
