// Writes document trees as text, plain (CR LF line ends) or in the escaped
// one-line form, into a string or straight into a stream as the tree is walked.
#pragma once

#include <string>
#include <string_view>

namespace viv {

class TIniList;
class TStream;

class TIniWriter {
 public:
  // Without a sink the text collects for Take; with one it is written out in
  // pieces, so deep documents never exist as one string.
  explicit TIniWriter(bool escaped, TStream* sink = nullptr) : fEscaped(escaped), fSink(sink) {}

  void Line(size_t indent, std::string_view text);
  // The children of list; object blocks are written with 2 more spaces each
  // level, without recursion.
  void WriteChildren(const TIniList& list, size_t indent);
  // Writes what is still held to the sink.
  void Flush();
  std::string Take() { return std::move(fOut); }

 private:
  void Append(std::string_view text);
  void AppendIndent(size_t indent);
  void EndLine();

  bool fEscaped;
  TStream* fSink;
  std::string fOut;
};

}  // namespace viv
