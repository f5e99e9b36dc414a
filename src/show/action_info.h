// Action records and the grammar of action texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace viv {

enum class TActionKind : uint8_t {
  None = 0,
  Exit = 1,
  PrevSlide = 2,
  NextSlide = 3,
  Help = 4,
  Pause = 5,
  Print = 6,
  GotoSlide = 7,
  OpenWebSite = 8,
  WriteEmail = 9,
  RunApp = 10,
  RunAppAndExit = 11,
  RunPresentation = 12,
  Stop = 13,
  RunPresentationAndReturn = 14,
  OpenDialog = 15,
  CloseDialog = 16,
  SaveSlide = 17,
  ChangePrinter = 18,
  GotoPosition = 19,  // internal: Number is a show time in ms
};

struct TVivActionInfo {
  TActionKind ActionKind = TActionKind::None;
  int32_t Number = 0;
  std::string Text;

  friend bool operator==(const TVivActionInfo&, const TVivActionInfo&) = default;
};

// Texts are compared in lower case; arguments keep their letter case. Any text
// not in the grammar gives kind None.
TVivActionInfo ParseActionText(std::string_view text);

}  // namespace viv
