#include "container/package_format.h"

#include <algorithm>
#include <vector>

#include "base/text.h"

namespace viv {

TPackMethod PackMethodFromNumber(int64_t number) {
  switch (number) {
    case 1: return TPackMethod::Deflated;
    case 2: return TPackMethod::Scrambled;
    default: return TPackMethod::Stored;
  }
}

std::string EntryKey(std::string_view entryName) {
  std::string name(entryName);
  for (char& c : name) {
    if (c == '[')
      c = '<';
    else if (c == ']')
      c = '>';
  }
  bool hasControl = std::any_of(name.begin(), name.end(),
                                [](char c) { return static_cast<unsigned char>(c) < 32; });
  if (!hasControl) return name;
  // Positions count characters, so split the name into code points first.
  std::vector<std::string_view> chars;
  size_t controlCount = 0, firstControl = std::string::npos;
  for (size_t pos = 0; pos < name.size();) {
    size_t start = pos;
    NextCodePoint(name, pos);
    std::string_view ch = std::string_view(name).substr(start, pos - start);
    if (ch.size() == 1 && static_cast<unsigned char>(ch[0]) < 32) {
      if (firstControl == std::string::npos) firstControl = chars.size();
      ++controlCount;
    }
    chars.push_back(ch);
  }
  if (controlCount == 0) return name;

  std::string key;
  for (size_t i = 0; i < firstControl; ++i) key += chars[i];
  size_t repeatFrom = firstControl >= controlCount ? firstControl - controlCount : 0;
  for (size_t i = repeatFrom; i < firstControl; ++i) key += chars[i];
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (size_t i = firstControl; i < chars.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(chars[i][0]);
    if (chars[i].size() == 1 && c < 32) {
      key += '#';
      key += kHex[c >> 4];
      key += kHex[c & 0xF];
    } else {
      key += chars[i];
    }
  }
  return key;
}

}  // namespace viv
