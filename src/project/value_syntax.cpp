#include "project/value_syntax.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace viv {
namespace {

constexpr char kBackspace = '\b';
constexpr uint32_t kOpaqueAlpha = 255;

template <class T>
std::optional<T> ParseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == kBackspace)) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  // Accumulate negatively so that the type's minimum fits.
  T value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    T digit = c - '0';
    if (value < (std::numeric_limits<T>::min() + digit) / 10) return std::nullopt;
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == std::numeric_limits<T>::min()) return std::nullopt;
    value = -value;
  }
  return value;
}

uint32_t ParseHexColour(std::string_view digits) {
  uint32_t value = 0;
  for (char c : digits) {
    uint32_t d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return 0;
    value = (value << 4) | d;
  }
  return value & 0xFFFFFF;
}

uint32_t ParseAlpha(std::string_view field) {
  int64_t alpha = kOpaqueAlpha;
  if (!field.empty() && field[0] == '#') {
    alpha = ParseHexColour(field.substr(1));
  } else if (auto v = ParseInt32(field)) {
    alpha = *v;
  }
  if (alpha > 255) alpha = 255;
  if (alpha < 0) alpha = 0;
  return static_cast<uint32_t>(alpha);
}

}  // namespace

std::optional<int32_t> ParseInt32(std::string_view text) { return ParseDecimal<int32_t>(text); }
std::optional<int64_t> ParseInt64(std::string_view text) { return ParseDecimal<int64_t>(text); }

std::optional<double> ParseReal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  size_t mantissaStart = i;
  int digits = 0, dots = 0;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9')
      ++digits;
    else if (text[i] == '.' && dots == 0)
      ++dots;
    else
      break;
  }
  if (digits == 0) return std::nullopt;
  std::string number(text.substr(mantissaStart, i - mantissaStart));
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    size_t expStart = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t expDigits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == expDigits) return std::nullopt;
    number += 'e';
    number.append(text.substr(expStart, i - expStart));
  }
  if (i != text.size()) return std::nullopt;
  if (number[0] == '.') number.insert(number.begin(), '0');
  double value = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (end != number.data() + number.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as 0; overflow is not a usable number. The mantissa's
    // first significant digit tells which one happened.
    size_t e = number.find('e');
    size_t mantissaEnd = e == std::string::npos ? number.size() : e;
    size_t dot = number.find('.');
    if (dot == std::string::npos || dot > mantissaEnd) dot = mantissaEnd;
    size_t firstDigit = number.find_first_of("123456789");
    int64_t lead = firstDigit < dot ? static_cast<int64_t>(dot - firstDigit)
                                    : -static_cast<int64_t>(firstDigit - dot - 1);
    // No exponent written means 10^0; an exponent too long for 64 bits is
    // decided by its sign alone. Clamped, it cannot overflow when the
    // mantissa's lead is added.
    int64_t exponent = 0;
    if (e != std::string::npos) {
      std::string_view exponentText = std::string_view(number).substr(e + 1);
      exponent = std::clamp(
          ParseInt64(exponentText).value_or(exponentText.starts_with('-') ? INT64_MIN : INT64_MAX),
          INT64_MIN / 2, INT64_MAX / 2);
    }
    if (lead + exponent > 0) return std::nullopt;
    value = 0;
  } else if (ec != std::errc()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<bool> ParseBool(std::string_view text) {
  if (text == "1") return true;
  if (text == "0") return false;
  return std::nullopt;
}

uint32_t ParseColour(std::string_view text, uint32_t defaultColour) {
  auto fields = SplitFields(text, ',');
  if (fields.size() == 1 || fields.size() == 2) {
    uint32_t alpha = fields.size() == 2 ? ParseAlpha(fields[1]) : kOpaqueAlpha;
    uint32_t rgb;
    if (!fields[0].empty() && fields[0][0] == '#') {
      rgb = ParseHexColour(fields[0].substr(1));
    } else {
      auto system = ParseInt32(fields[0]);
      if (!system) return defaultColour;
      // System colour order: 0x00BBGGRR.
      uint32_t v = static_cast<uint32_t>(*system);
      rgb = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
    }
    return (alpha << 24) | rgb;
  }
  if (fields.size() == 3 || fields.size() == 4) {
    auto component = [&](size_t i, int32_t def) {
      int32_t v = i < fields.size() ? ParseInt32(fields[i]).value_or(def) : def;
      return static_cast<uint32_t>(v) & 0xFF;
    };
    return (component(3, 255) << 24) | (component(0, 0) << 16) | (component(1, 0) << 8) |
           component(2, 0);
  }
  return defaultColour;
}

std::vector<std::string_view> SplitFields(std::string_view text, char separator) {
  std::vector<std::string_view> fields;
  if (text.empty()) return fields;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

std::string DecodeEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (i + 1 == text.size()) return {};
    char next = text[++i];
    if (next == '\\')
      out += '\\';
    else if (next == 'n')
      out += "\r\n";
    else
      return {};
  }
  return out;
}

std::string EncodeEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r' || c == '\n') {
      out += "\\n";
      if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n') && text[i + 1] != c)
        ++i;
    } else {
      out += c;
    }
  }
  return out;
}

TCommaList::TCommaList(std::string_view text, char separator) {
  for (auto field : SplitFields(text, separator)) fFields.emplace_back(field);
}

std::string TCommaList::ReadText(size_t index, std::string_view defaultValue) const {
  return index < fFields.size() ? fFields[index] : std::string(defaultValue);
}

int32_t TCommaList::ReadInteger(size_t index, int32_t defaultValue) const {
  return index < fFields.size() ? ParseInt32(fFields[index]).value_or(defaultValue) : defaultValue;
}

double TCommaList::ReadReal(size_t index, double defaultValue) const {
  return index < fFields.size() ? ParseReal(fFields[index]).value_or(defaultValue) : defaultValue;
}

}  // namespace viv
