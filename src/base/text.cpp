#include "base/text.h"

#include <unicode/uchar.h>

namespace viv {
namespace {

constexpr char32_t kStrayByteBase = 0xDC80;  // stands for an invalid UTF-8 byte
constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 0x80-0x9F; the five bytes it leaves undefined map to the C1
// controls of the same value, as the system's converter does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((b0 & 0xE0) == 0xC0) {
    length = 2, c = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, c = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, c = b0 & 0x07, minimum = 0x10000;
  }
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return kStrayByteBase + (b0 & 0x7F);
  }
  for (int i = 1; i < length; ++i) {
    unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return kStrayByteBase + (b0 & 0x7F);
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++pos;
    return kStrayByteBase + (b0 & 0x7F);
  }
  pos += length;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    char32_t c = NextCodePoint(text, pos);
    if (IsStray(c)) c = kReplacement;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
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
    if (IsStray(NextCodePoint(text, pos))) return false;
  }
  return true;
}

std::string AnsiToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (unsigned char b : text) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else if (b < 0xA0) {
      AppendUtf8(out, kCp1252High[b - 0x80]);
    } else {
      AppendUtf8(out, b);
    }
  }
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
