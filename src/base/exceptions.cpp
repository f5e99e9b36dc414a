#include "base/exceptions.h"

namespace viv {

std::string TCommonException::ClassMessage(std::string_view className) {
  std::string text = "Quorvane Exception: \"";
  text += className;
  text += '"';
  return text;
}

std::string AssertionText(std::string_view message, std::string_view sourceFile, int line) {
  auto slash = sourceFile.find_last_of('/');
  std::string_view unit =
      slash == std::string_view::npos ? sourceFile : sourceFile.substr(slash + 1);
  std::string text = "Asseertion with message: '";
  text += message;
  text += "' (";
  text += unit;
  text += ", line: ";
  text += std::to_string(line);
  text += ')';
  return text;
}

void AssertionFailed(std::string_view message, std::string_view sourceFile, int line) {
  throw EAssertionFailed(AssertionText(message, sourceFile, line));
}

}  // namespace viv
