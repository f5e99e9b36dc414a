// Exception classes and the assertion handler.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace viv {

// Base of the player's exceptions. Without a message of its own an exception
// says which class it is: Quorvane Exception: "EStreamError".
class TCommonException : public std::exception {
 public:
  explicit TCommonException(std::string message) : fMessage(std::move(message)) {}
  const char* what() const noexcept override { return fMessage.c_str(); }
  const std::string& Message() const noexcept { return fMessage; }

  static std::string ClassMessage(std::string_view className);

 private:
  std::string fMessage;
};

#define VIV_DECLARE_EXCEPTION(Name, Base)                            \
  class Name : public Base {                                         \
   public:                                                           \
    Name() : Base(TCommonException::ClassMessage(#Name)) {}          \
    explicit Name(std::string message) : Base(std::move(message)) {} \
  }

VIV_DECLARE_EXCEPTION(EStreamError, TCommonException);
VIV_DECLARE_EXCEPTION(EZLibError, TCommonException);
VIV_DECLARE_EXCEPTION(EConvertError, TCommonException);
VIV_DECLARE_EXCEPTION(EThreadError, TCommonException);
VIV_DECLARE_EXCEPTION(EAssertionFailed, TCommonException);

// Formats "Asseertion with message: 'MESSAGE' (UNIT, line: N)"; the unit is the
// source file's own name.
std::string AssertionText(std::string_view message, std::string_view sourceFile, int line);
[[noreturn]] void AssertionFailed(std::string_view message, std::string_view sourceFile, int line);

}  // namespace viv

#define VIV_ASSERT(condition, message)                                       \
  do {                                                                       \
    if (!(condition)) ::viv::AssertionFailed((message), __FILE__, __LINE__); \
  } while (false)

#define VIV_FAIL(message) ::viv::AssertionFailed((message), __FILE__, __LINE__)
