#include "base/text.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace viv {
namespace {

constexpr char32_t kStrayByteBase = 0xDC80;  // stands for an invalid UTF-8 byte
constexpr char32_t kReplacement = 0xFFFD;

bool IsStray(char32_t c) { return c >= kStrayByteBase && c < kStrayByteBase + 0x80; }

template <class Map>
std::string MapCodePoints(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    size_t start = pos;
    char32_t c = NextCodePoint(text, pos);
    if (IsStray(c)) {
      out.append(text.substr(start, pos - start));
    } else {
      AppendUtf8(out, map(c));
    }
  }
  return out;
}

}  // namespace

char32_t NextCodePoint(std::string_view text, size_t& pos) {
  // ICU decodes; an ill-formed sequence gives up its first byte only, so that
  // each stray byte keeps a code point of its own.
  size_t start = pos;
  UChar32 c;
  U8_NEXT(text.data(), pos, text.size(), c);
  if (c >= 0) return static_cast<char32_t>(c);
  pos = start + 1;
  return kStrayByteBase + (static_cast<unsigned char>(text[start]) & 0x7F);
}

void AppendUtf8(std::string& out, char32_t c) {
  char bytes[U8_MAX_LENGTH];
  size_t length = 0;
  U8_APPEND_UNSAFE(bytes, length, static_cast<UChar32>(c));
  out.append(bytes, length);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  // Never more UTF-16 units than UTF-8 bytes.
  std::u16string out(text.size(), u'\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), kReplacement, nullptr, &error);
  out.resize(U_SUCCESS(error) ? static_cast<size_t>(length) : 0);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  // At most three bytes per unit; a pair of units takes four.
  std::string out(3 * text.size(), '\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                     static_cast<int32_t>(text.size()), kReplacement, nullptr, &error);
  out.resize(U_SUCCESS(error) ? static_cast<size_t>(length) : 0);
  return out;
}

std::string Utf16LEBytesToUtf8(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return Utf16ToUtf8(units);
}

bool IsValidUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    UChar32 c;
    U8_NEXT(text.data(), pos, text.size(), c);
    if (c < 0) return false;
  }
  return true;
}

std::string AnsiToUtf8(std::string_view text) {
  // ICU's table maps the five bytes Windows-1252 leaves undefined to the C1
  // controls of the same value, as the system's converter does. Bytes below
  // 0x80 stay one byte and no other takes more than three: room for exactly
  // that (project texts reach 128 MiB).
  size_t high = 0;
  for (char c : text) high += static_cast<unsigned char>(c) >= 0x80 ? 1 : 0;
  std::string out(text.size() + 2 * high + 1, '\0');
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = ucnv_convert("UTF-8", "windows-1252", out.data(),
                                static_cast<int32_t>(out.size()), text.data(),
                                static_cast<int32_t>(text.size()), &error);
  out.resize(U_SUCCESS(error) ? static_cast<size_t>(length) : 0);
  return out;
}

char32_t FoldCodePoint(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  if (IsStray(c)) return c;
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

std::string FoldCase(std::string_view text) { return MapCodePoints(text, FoldCodePoint); }

int CompareText(std::string_view a, std::string_view b) {
  size_t pa = 0, pb = 0;
  while (pa < a.size() && pb < b.size()) {
    char32_t ca = FoldCodePoint(NextCodePoint(a, pa));
    char32_t cb = FoldCodePoint(NextCodePoint(b, pb));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (pa < a.size()) return 1;
  if (pb < b.size()) return -1;
  return 0;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() == b.size()) {
    // Most names are ASCII and equal byte for byte.
    bool ascii = true;
    for (size_t i = 0; i < a.size(); ++i) {
      unsigned char x = a[i], y = b[i];
      if ((x | y) >= 0x80) {
        ascii = false;
        break;
      }
      if (x != y && FoldCodePoint(x) != FoldCodePoint(y)) return false;
    }
    if (ascii) return true;
  }
  return CompareText(a, b) == 0;
}

size_t HashFolded(std::string_view text) {
  // FNV-1a over folded code points.
  uint64_t hash = 14695981039346656037ull;
  for (size_t pos = 0; pos < text.size();) {
    char32_t c = FoldCodePoint(NextCodePoint(text, pos));
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (c >> shift) & 0xFF;
      hash *= 1099511628211ull;
    }
  }
  return static_cast<size_t>(hash);
}

std::string UpperCase(std::string_view text) {
  return MapCodePoints(text, [](char32_t c) -> char32_t {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
    return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
  });
}

std::string LowerCase(std::string_view text) {
  return MapCodePoints(text, [](char32_t c) -> char32_t {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
  });
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  // Case folding can change byte lengths, so compare by code points.
  size_t pt = 0, pp = 0;
  while (pp < prefix.size()) {
    if (pt >= text.size()) return false;
    if (FoldCodePoint(NextCodePoint(text, pt)) != FoldCodePoint(NextCodePoint(prefix, pp)))
      return false;
  }
  return true;
}

bool EndsWithText(std::string_view text, std::string_view suffix) {
  std::u32string t, s;
  for (size_t p = 0; p < text.size();) t += FoldCodePoint(NextCodePoint(text, p));
  for (size_t p = 0; p < suffix.size();) s += FoldCodePoint(NextCodePoint(suffix, p));
  return t.size() >= s.size() && t.compare(t.size() - s.size(), s.size(), s) == 0;
}

}  // namespace viv
