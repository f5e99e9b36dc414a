// Writes document trees as text, plain (CR LF line ends) or in the escaped
// one-line form.
#pragma once

#include <string>
#include <string_view>

namespace viv {

class TIniList;

class TIniWriter {
 public:
  explicit TIniWriter(bool escaped) : fEscaped(escaped) {}

  void Line(size_t indent, std::string_view text);
  // The children of list; object blocks are written with 2 more spaces each
  // level, without recursion.
  void WriteChildren(const TIniList& list, size_t indent);
  std::string Take() { return std::move(fOut); }

 private:
  bool fEscaped;
  std::string fOut;
};

}  // namespace viv
