#include "project/value_syntax.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace viv {
namespace {

TEST(ValueSyntax, Int32) {
  struct TCase {
    std::string Text;
    std::optional<int32_t> Value;
  };
  const TCase kCases[] = {
      {"0", 0},
      {"123", 123},
      {"+5", 5},
      {"-5", -5},
      {"2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"-2147483649", std::nullopt},
      {"99999999999", std::nullopt},
      {"000000000000000000012", 12},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"  42", 42},
      {"\b\b 7", 7},
      {" \b-7", -7},
      {"\t5", std::nullopt},  // only blanks and backspaces lead
      {"42 ", std::nullopt},
      {"4 2", std::nullopt},
      {"- 2", std::nullopt},
      {"--1", std::nullopt},
      {"+-1", std::nullopt},
      {"0x10", std::nullopt},
      {"1.0", std::nullopt},
      {"1e3", std::nullopt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(ParseInt32(c.Text), c.Value);
  }
}

TEST(ValueSyntax, Int64) {
  struct TCase {
    std::string Text;
    std::optional<int64_t> Value;
  };
  const TCase kCases[] = {
      {"2147483648", 2147483648LL},
      {"-2147483649", -2147483649LL},
      {"9223372036854775807", std::numeric_limits<int64_t>::max()},
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775808", std::numeric_limits<int64_t>::min()},
      {"-9223372036854775809", std::nullopt},
      {"18446744073709551616", std::nullopt},
      {" +12", 12},
      {"-", std::nullopt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(ParseInt64(c.Text), c.Value);
  }
}

TEST(ValueSyntax, Real) {
  struct TCase {
    std::string Text;
    std::optional<double> Value;
  };
  const TCase kCases[] = {
      {"1.5", 1.5},
      {"1,5", std::nullopt},
      {"1e3", 1000.0},
      {"1E3", 1000.0},
      {"1e+2", 100.0},
      {"-2.5e-1", -0.25},
      {"+1.5", 1.5},
      {"  3", 3.0},
      {" -0.5", -0.5},
      {".5", 0.5},
      {"5.", 5.0},
      {"007", 7.0},
      {".", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1e", std::nullopt},
      {"1e+", std::nullopt},
      {"e3", std::nullopt},
      {"1e3.5", std::nullopt},
      {"1.5 ", std::nullopt},
      {"12abc", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"0x1p3", std::nullopt},
      {"1e400", std::nullopt},  // too large to hold
      {"1e-400", 0.0},          // too small: zero
      {"0.001e-330", 0.0},
      {"1e99999999999999999999", std::nullopt},
      {"1e-99999999999999999999", 0.0},
      {"1e9223372036854775807", std::nullopt},  // the exponent's own limits
      {"0.01e-9223372036854775808", 0.0},
      // Without an exponent the digits alone decide: too many integer digits
      // are too large, a long run of zeros after the point is zero.
      {"1" + std::string(400, '0'), std::nullopt},
      {"-1" + std::string(400, '0') + ".5", std::nullopt},
      {"0." + std::string(400, '0') + "1", 0.0},
      {"." + std::string(400, '0') + "1", 0.0},
      {"0" + std::string(400, '0') + ".25", 0.25},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(ParseReal(c.Text), c.Value);
  }
}

TEST(ValueSyntax, Bool) {
  EXPECT_EQ(ParseBool("1"), true);
  EXPECT_EQ(ParseBool("0"), false);
  for (const char* text : {"true", "false", "01", "", " 1", "-1", "2", "yes"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseBool(text), std::nullopt);
  }
}

TEST(ValueSyntax, Colour) {
  constexpr uint32_t kDefault = 0x12345678;
  struct TCase {
    std::string Text;
    uint32_t Colour;
  };
  const TCase kCases[] = {
      {"#FF8000", 0xFFFF8000},
      {"#ff8000", 0xFFFF8000},
      {"255,128,0", 0xFFFF8000},
      {"32768", 0xFF008000},  // system order: 0x00BBGGRR
      {"255", 0xFFFF0000},
      {"16711680", 0xFF0000FF},
      {"0,0,0,128", 0x80000000},
      {"#FF8000,128", 0x80FF8000},
      {"#FF8000,#80", 0x80FF8000},
      {"#FF8000,300", 0xFFFF8000},  // alpha is limited to 255
      {"#FF8000,x", 0xFFFF8000},    // an unreadable alpha stays opaque
      {"32768,64", 0x40008000},
      {"1,2", 0x02010000},
      {"#GG0000", 0xFF000000},  // a bad hexadecimal digit gives 0
      {"#", 0xFF000000},
      {"256,0,0", 0xFF000000},  // only the low 8 bits remain
      {"-1,0,0", 0xFFFF0000},
      {"x,1,2", 0xFF000102},  // unreadable components take their defaults
      {"1,2,3,x", 0xFF010203},
      {"1,2,3,4", 0x04010203},
      {"abc", kDefault},
      {"", kDefault},
      {",", kDefault},
      {"1,2,3,4,5", kDefault},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(ParseColour(c.Text, kDefault), c.Colour);
  }
}

TEST(ValueSyntax, Lists) {
  struct TCase {
    std::string Text;
    char Separator;
    std::vector<std::string_view> Fields;
  };
  const TCase kCases[] = {
      {"", ',', {}},
      {"a", ',', {"a"}},
      {",", ',', {"", ""}},
      {"a,,b", ',', {"a", "", "b"}},
      {" a , b ", ',', {" a ", " b "}},
      {"1;2,3", ';', {"1", "2,3"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(SplitFields(c.Text, c.Separator), c.Fields);
    EXPECT_EQ(TCommaList(c.Text, c.Separator).Count(), c.Fields.size());
  }

  TCommaList list(" 5,5 ,1.5,x", ',');
  EXPECT_EQ(list.ReadInteger(0, -1), 5);   // leading blanks are allowed,
  EXPECT_EQ(list.ReadInteger(1, -1), -1);  // trailing ones are not
  EXPECT_EQ(list.ReadReal(2, 0), 1.5);
  EXPECT_EQ(list.ReadReal(3, 9), 9);
  EXPECT_EQ(list.ReadText(3), "x");
  EXPECT_EQ(list.ReadText(4, "none"), "none");
  EXPECT_EQ(list.ReadInteger(4, 7), 7);
}

TEST(ValueSyntax, EscapedText) {
  struct TCase {
    std::string Escaped, Decoded;
  };
  const TCase kCases[] = {
      {"line1\\nline2", "line1\r\nline2"},
      {"a\\\\b", "a\\b"},
      {"\\\\n", "\\n"},
      {"\\n\\n", "\r\n\r\n"},
      {"a\\tb", ""},  // an unknown escape empties the whole text
      {"abc\\", ""},  // so does a lone backslash at the end
      {"plain", "plain"},
      {"", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Escaped);
    EXPECT_EQ(DecodeEscaped(c.Escaped), c.Decoded);
  }
  // Every line end form becomes one "\n"; decoding gives CR LF back.
  EXPECT_EQ(EncodeEscaped("a\r\nb\n\rc\rd\ne\\"), "a\\nb\\nc\\nd\\ne\\\\");
  EXPECT_EQ(EncodeEscaped("a\n\nb\r\r"), "a\\n\\nb\\n\\n");
  EXPECT_EQ(DecodeEscaped(EncodeEscaped("x\\n\r\ny")), "x\\n\r\ny");
}

}  // namespace
}  // namespace viv
