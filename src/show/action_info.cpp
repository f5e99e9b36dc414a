#include "show/action_info.h"

#include "project/value_syntax.h"

namespace viv {
namespace {

struct TPlainAction {
  std::string_view Text;
  TActionKind Kind;
};

constexpr TPlainAction kPlainActions[] = {
    {"exit", TActionKind::Exit},
    {"prevslide", TActionKind::PrevSlide},
    {"nextslide", TActionKind::NextSlide},
    {"help", TActionKind::Help},
    {"pause", TActionKind::Pause},
    {"print", TActionKind::Print},
    {"gotofirstslide", TActionKind::GotoSlide},
    {"stop", TActionKind::Stop},
    {"closedialog", TActionKind::CloseDialog},
    {"saveslide", TActionKind::SaveSlide},
    {"changeprinter", TActionKind::ChangePrinter},
};

struct TArgumentAction {
  std::string_view Prefix;  // up to and including "("
  TActionKind Kind;
  bool Quoted;
};

constexpr TArgumentAction kArgumentActions[] = {
    {"gotoslide(", TActionKind::GotoSlide, false},
    {"openwebsite(", TActionKind::OpenWebSite, true},
    {"writeemail(", TActionKind::WriteEmail, true},
    {"runappandexit(", TActionKind::RunAppAndExit, true},
    {"runapp(", TActionKind::RunApp, true},
    {"runpresentationandreturn(", TActionKind::RunPresentationAndReturn, true},
    {"runpresentation(", TActionKind::RunPresentation, true},
    {"opendialog(", TActionKind::OpenDialog, true},
};

// The keywords are ASCII, so lowering ASCII letters keeps every byte offset.
std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return lower;
}

}  // namespace

TVivActionInfo ParseActionText(std::string_view text) {
  std::string lower = AsciiLower(text);
  for (const auto& action : kPlainActions)
    if (lower == action.Text) return {action.Kind, 0, {}};

  for (const auto& action : kArgumentActions) {
    if (!lower.starts_with(action.Prefix) || !lower.ends_with(')')) continue;
    // The argument keeps its letter case; the last character is taken to be
    // ")" and quoted forms lose one character on each side.
    std::string_view argument = text.substr(action.Prefix.size());
    argument.remove_suffix(1);
    if (action.Quoted) {
      if (argument.size() < 2)
        argument = {};
      else
        argument = argument.substr(1, argument.size() - 2);
    }
    TVivActionInfo info{action.Kind, 0, std::string(argument)};
    if (action.Kind == TActionKind::GotoSlide) info.Number = ParseInt32(argument).value_or(-1);
    return info;
  }
  return {};
}

}  // namespace viv
