#include "show/action_info.h"

#include <gtest/gtest.h>

namespace viv {
namespace {

struct TActionCase {
  const char* Text;
  TActionKind Kind;
  int32_t Number;
  const char* Argument;
};

constexpr TActionCase kActionCases[] = {
    {"exit", TActionKind::Exit, 0, ""},
    {"EXIT", TActionKind::Exit, 0, ""},
    {"prevslide", TActionKind::PrevSlide, 0, ""},
    {"NextSlide", TActionKind::NextSlide, 0, ""},
    {"help", TActionKind::Help, 0, ""},
    {"pause", TActionKind::Pause, 0, ""},
    {"print", TActionKind::Print, 0, ""},
    {"gotofirstslide", TActionKind::GotoSlide, 0, ""},
    {"GOTOSLIDE(7)", TActionKind::GotoSlide, 7, "7"},
    {"gotoslide(x)", TActionKind::GotoSlide, -1, "x"},
    {"gotoslide()", TActionKind::GotoSlide, -1, ""},
    {"openwebsite(\"MyPage\")", TActionKind::OpenWebSite, 0, "MyPage"},
    {"writeemail('Ann@Example.org')", TActionKind::WriteEmail, 0, "Ann@Example.org"},
    {"runapp(\"Notes.exe\")", TActionKind::RunApp, 0, "Notes.exe"},
    {"RunAppAndExit(\"a b\")", TActionKind::RunAppAndExit, 0, "a b"},
    {"runpresentation(\"Next.exe -slide 2\")", TActionKind::RunPresentation, 0,
     "Next.exe -slide 2"},
    {"stop", TActionKind::Stop, 0, ""},
    {"runpresentationandreturn(\"B.exe\")", TActionKind::RunPresentationAndReturn, 0, "B.exe"},
    {"opendialog(\"Print\")", TActionKind::OpenDialog, 0, "Print"},
    {"closedialog", TActionKind::CloseDialog, 0, ""},
    {"saveslide", TActionKind::SaveSlide, 0, ""},
    {"changeprinter", TActionKind::ChangePrinter, 0, ""},
    // A quoted form with too short an argument keeps nothing.
    {"runapp(x)", TActionKind::RunApp, 0, ""},
    // Not in the grammar.
    {"", TActionKind::None, 0, ""},
    {"jump", TActionKind::None, 0, ""},
    {"exit now", TActionKind::None, 0, ""},
    {"gotoslide(3", TActionKind::None, 0, ""},
    {"openwebsite", TActionKind::None, 0, ""},
};

TEST(ParseActionText, EveryFormOfTheGrammar) {
  for (const auto& c : kActionCases) {
    SCOPED_TRACE(c.Text);
    TVivActionInfo info = ParseActionText(c.Text);
    EXPECT_EQ(info.ActionKind, c.Kind);
    EXPECT_EQ(info.Number, c.Number);
    EXPECT_EQ(info.Text, c.Argument);
  }
}

}  // namespace
}  // namespace viv
