// The value syntaxes of the project text: numbers, booleans, colours, lists and
// the escaped one-line form. They work on the UTF-8 bytes of a value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace viv {

// Leading blanks and backspaces, at most one sign, one or more decimal digits,
// nothing else, inside the type's range.
std::optional<int32_t> ParseInt32(std::string_view text);
std::optional<int64_t> ParseInt64(std::string_view text);
// Leading blanks, one sign, digits with at most one ".", an optional exponent.
std::optional<double> ParseReal(std::string_view text);
// Exactly "1" or "0".
std::optional<bool> ParseBool(std::string_view text);
// 0xAARRGGBB; the default when the field count or a decimal colour is invalid.
uint32_t ParseColour(std::string_view text, uint32_t defaultColour);

// Fields split at every separator, untrimmed; an empty text has no fields.
std::vector<std::string_view> SplitFields(std::string_view text, char separator);

// "\\" -> "\", "\n" -> CR LF; any other escape makes the whole text empty.
std::string DecodeEscaped(std::string_view text);
// The inverse for single values: "\" -> "\\", each line end -> "\n".
std::string EncodeEscaped(std::string_view text);

// A value split into fields, each read with the value rules and its own default.
class TCommaList {
 public:
  TCommaList() = default;
  TCommaList(std::string_view text, char separator);

  size_t Count() const { return fFields.size(); }
  std::string ReadText(size_t index, std::string_view defaultValue = {}) const;
  int32_t ReadInteger(size_t index, int32_t defaultValue) const;
  double ReadReal(size_t index, double defaultValue) const;

 private:
  std::vector<std::string> fFields;
};

}  // namespace viv
