// expr
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "model/animation/object_mod.h"
#include "project/ini_tree.h"
#include "project/value_syntax.h"
#include "tool.h"

namespace viv::tool {
namespace {

struct TExprArgs {
  std::string Expression;
  std::vector<std::string> Bindings;
};

// The expression runs as the `fn` of a modifier on "Opacity", so "t" is the
// Opacity group's fraction. Unbound inputs: fractions and "value" 0, the
// parameters their defaults.
int RunExpr(const TExprArgs& args) {
  auto block = MakeRef<TIniObject>("expr", "Mod");
  block->WriteText("dst", std::string(GroupName(kGroupOpacity)));
  block->WriteText("fn", args.Expression);
  TAnimValues values = DefaultAnimValues();
  TModInputs inputs;
  inputs.Values = &values;
  for (const std::string& binding : args.Bindings) {
    size_t equals = binding.find('=');
    std::string name = binding.substr(0, equals);
    if (equals == std::string::npos || name.empty()) return Fail(binding + ": NAME=VALUE expected");
    std::string text = binding.substr(equals + 1);
    std::optional<double> value = ParseReal(text);
    if (!value) return Fail(binding + ": the value is not a number");
    if (name == "t" || name == "T") {
      inputs.Fractions[kGroupOpacity] = *value;
    } else if (SameText(name, "value")) {
      inputs.Value = *value;
    } else if (int group = FindGroupFractionName(name); group >= 0) {
      inputs.Fractions[static_cast<size_t>(group)] = *value;
    } else if (int param = FindParamByName(name); param >= 0) {
      values[static_cast<size_t>(param)] = static_cast<float>(*value);
    } else if (IsModOwnKey(name)) {
      return Fail(binding + ": " + name + " is a key of the Mod block itself");
    } else {
      block->WriteText(name, text);
    }
  }
  std::string whyNot;
  TRef<TVivObjectMod> mod = TVivObjectMod::Read(*block, &whyNot);
  if (!mod) return Fail(whyNot);
  TJson out;
  out["value"] = mod->Evaluate(inputs);  // NaN and infinities print as null
  PrintJson(out);
  return kExitOk;
}

}  // namespace

void AddExpressionCommands(CLI::App& app, TToolState& state) {
  auto args = std::make_shared<TExprArgs>();
  CLI::App* expr = app.add_subcommand(
      "expr",
      "an expression compiled and run as a modifier would run it (put -- before an expression "
      "that begins with \"-\")");
  expr->add_option("EXPR", args->Expression, "the expression, as the fn key of a Mod block")
      ->required();
  expr->add_option("BINDINGS", args->Bindings,
                   "NAME=VALUE: t, value, a group fraction (Pos.t), a parameter (Opacity); any "
                   "other name is a constant key of the Mod block");
  expr->callback([args, &state] { state.ExitCode = RunExpr(*args); });
}

}  // namespace viv::tool
