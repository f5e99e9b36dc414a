// Text helpers: UTF-8 and UTF-16, simple case folding, the ANSI code page.
//
// Text inside the player is UTF-8. Bytes that are not valid UTF-8 are kept as
// they are; for comparisons each such byte stands for a code point of its own
// (U+DC80 + byte), so two different stray bytes never compare equal. ICU does
// the decoding, encoding and conversions; the stray-byte code points are ours,
// since names in show files need not be valid UTF-8 and ICU would merge a
// broken sequence into one replacement character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace viv {

// Decodes the code point at pos and advances pos past it.
char32_t NextCodePoint(std::string_view text, size_t& pos);
void AppendUtf8(std::string& out, char32_t codePoint);

// Ill-formed sequences and unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Bytes of UTF-16 little-endian text (an odd last byte is dropped).
std::string Utf16LEBytesToUtf8(std::string_view bytes);
bool IsValidUtf8(std::string_view text);

// The ANSI code page is Windows-1252.
std::string AnsiToUtf8(std::string_view text);

// Unicode simple case folding (ASCII folds to lower case).
char32_t FoldCodePoint(char32_t c);
std::string FoldCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
// Negative, zero or positive, comparing folded code points.
int CompareText(std::string_view a, std::string_view b);
size_t HashFolded(std::string_view text);

// Simple (one code point to one) upper and lower case mappings.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

bool StartsWithText(std::string_view text, std::string_view prefix);
bool EndsWithText(std::string_view text, std::string_view suffix);

}  // namespace viv
