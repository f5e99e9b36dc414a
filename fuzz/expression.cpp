// Any bytes as an expression: compiling fails only with an error that points
// into the text; a compiled program keeps its stack balanced, folds every
// constant operation, and gives the same result twice unless it draws random
// numbers. The same bytes as the fn of a modifier are read and evaluated.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "base/text.h"
#include "model/animation/expression.h"
#include "model/animation/object_mod.h"
#include "project/ini_tree.h"

namespace {

using namespace viv;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "expression: %s\n", what);
  std::abort();
}

// a and b are run-time slots; c, d and e constants 0, NaN and infinity.
std::optional<TCalcName> Names(std::string_view name) {
  if (name == "a") return TCalcName::Variable(0);
  if (name == "b") return TCalcName::Variable(1);
  if (name == "c") return TCalcName::Constant(0);
  if (name == "d") return TCalcName::Constant(std::numeric_limits<double>::quiet_NaN());
  if (name == "e") return TCalcName::Constant(std::numeric_limits<double>::infinity());
  return std::nullopt;
}

bool SameResult(double x, double y) {
  return (std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0;
}

void CheckProgram(const TCalcCmdList& list) {
  bool readsSomething = false, random = false;
  for (const TCalcCmd& cmd : list.Commands()) {
    if (cmd.Op == TCalcOp::PushGetter || cmd.Op == TCalcOp::Call) readsSomething = true;
    if (cmd.Op == TCalcOp::Call && cmd.Curve < 0 && SameText(cmd.Function->Name, "Rnd"))
      random = true;
  }
  Check(!list.Commands().empty() && list.StackDepth() >= 1, "an empty program");
  Check(list.SlotCount() <= 2, "a slot the resolver never gave");
  Check(readsSomething || list.Commands().size() == 1, "constant operations left unfolded");
  const double inputs[][2] = {{0.5, -3}, {0, 0}, {std::nan(""), INFINITY}};
  for (const auto& slots : inputs) {
    double first = list.Evaluate(slots);
    double second = list.Evaluate(slots);
    Check(random || SameResult(first, second), "two runs disagree");
  }
}

void ReadAsModifier(std::string_view text) {
  auto block = MakeRef<TIniObject>("M", "Mod");
  block->WriteText("dst", "Pos.t");
  block->WriteText("fn", std::string(text));
  block->WriteText("x1", "26");
  block->WriteText("k", "0");
  std::string whyNot;
  TRef<TVivObjectMod> mod = TVivObjectMod::Read(*block, &whyNot);
  if (!mod) {
    Check(!whyNot.empty(), "a modifier dropped without a reason");
    return;
  }
  Check(text.size() <= TVivObjectMod::kMaxExpressionLength, "an overlong fn was accepted");
  Check(mod->Accepts(*block), "a modifier refuses its own block");
  TModInputs inputs;
  for (int g = 0; g < kGroupCount; ++g) inputs.Fractions[static_cast<size_t>(g)] = g / 7.0;
  inputs.Value = 0.5;
  (void)mod->Evaluate(inputs);
}

}  // namespace

// The libraries' undefined-behaviour checks report and carry on by default;
// here every report is a finding.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TCalcError error;
  std::optional<TCalcCmdList> list = CompileExpression(text, Names, &error);
  if (list)
    CheckProgram(*list);
  else
    Check(!error.Message.empty() && error.Position <= size, "an error without a place");
  ReadAsModifier(text);
  return 0;
}
