// Arithmetic expressions of modifiers, compiled once into a list of commands
// for a small stack machine and then run on every frame.
//
// Grammar: numbers (digits with an optional "."), identifiers (a letter or "_",
// then letters, digits, "_" and "."), "+", "-", "*", "/" with the usual
// precedence, unary minus, parentheses and calls name(argument, ...).
// Operations on constants are folded while compiling.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace viv {

enum class TCalcOp : uint8_t {
  PushConst,   // pushes Value
  PushGetter,  // pushes the run-time value of Slot
  Call,        // pops ArgCount arguments, pushes Function's result
  Add,
  Subtract,
  Multiply,
  Divide,
  Negate,
  AddConst,       // top += Value
  MultiplyConst,  // top *= Value
};

struct TCalcFunction {
  std::string Name;
  int ArgCount = 0;
  double (*Call)(const double* args) = nullptr;
  // Calls whose arguments after the first are all constants are compiled to a
  // curve prepared once (QSplineGraph).
  bool EasingCurve = false;
};

// The cubic Bézier easing curve from (0, 0) to (1, 1) with the control points
// (x1, y1) and (x2, y2). At() finds the curve parameter s with Bx(s) = x to
// within kTolerance and returns By(s); x is limited to [0, 1].
class TBezierEasing {
 public:
  static constexpr double kTolerance = 0.000001;

  TBezierEasing(double x1, double y1, double x2, double y2);
  double At(double x) const;

 private:
  double CurveX(double s) const { return ((fAx * s + fBx) * s + fCx) * s; }
  double CurveY(double s) const { return ((fAy * s + fBy) * s + fCy) * s; }
  double SlopeX(double s) const { return (3 * fAx * s + 2 * fBx) * s + fCx; }
  double SolveParameter(double x) const;

  // Polynomial coefficients: B(s) = ((a s + b) s + c) s.
  double fAx, fBx, fCx, fAy, fBy, fCy;
};

struct TCalcCmd {
  TCalcOp Op = TCalcOp::PushConst;
  double Value = 0;                         // PushConst, AddConst, MultiplyConst
  int Slot = -1;                            // PushGetter
  int ArgCount = 0;                         // Call
  const TCalcFunction* Function = nullptr;  // Call
  int Curve = -1;  // Call of a prepared easing curve: index into Curves(); one argument
};

class TCalcCmdList {
 public:
  const std::vector<TCalcCmd>& Commands() const { return fCommands; }
  const std::vector<TBezierEasing>& Curves() const { return fCurves; }
  // The most values the program holds on its stack at once.
  size_t StackDepth() const { return fStackDepth; }
  // One past the highest slot the program reads.
  size_t SlotCount() const { return fSlotCount; }

  // Runs the program; getters read slots (a slot beyond the span reads 0).
  double Evaluate(std::span<const double> slots = {}) const;

 private:
  friend class TCalcCompiler;
  std::vector<TCalcCmd> fCommands;
  std::vector<TBezierEasing> fCurves;
  size_t fStackDepth = 0;
  size_t fSlotCount = 0;
};

// What an identifier stands for: a constant folded into the program, or a slot
// read when the program runs.
struct TCalcName {
  enum class TKind : uint8_t { Constant, Variable };
  TKind Kind = TKind::Constant;
  double Value = 0;
  int Slot = -1;

  static TCalcName Constant(double value) { return {TKind::Constant, value, -1}; }
  static TCalcName Variable(int slot) { return {TKind::Variable, 0, slot}; }
};

// Asked for every identifier that is not followed by "("; none lets the
// compiler try a function of the library without arguments ("Pi", "Rnd").
using TCalcResolver = std::function<std::optional<TCalcName>(std::string_view identifier)>;

// Compile error texts. The first four name what the compiler expected.
inline constexpr std::string_view kCalcUnknownOperator = "unknown operator";
inline constexpr std::string_view kCalcExpectedOperator = "Operator";
inline constexpr std::string_view kCalcExpectedOperatorOrClose = "Operator or \")\"";
inline constexpr std::string_view kCalcExpectedExpression = "Expression";
inline constexpr std::string_view kCalcDivisionByZero = "division by constant 0";
inline constexpr std::string_view kCalcUnknownIdentifier = "unknown identifier";
inline constexpr std::string_view kCalcUnknownFunction = "unknown function";
inline constexpr std::string_view kCalcWrongArgumentCount = "wrong number of arguments";
inline constexpr std::string_view kCalcTooDeep = "nesting too deep";

// Parentheses and calls nest at most this deep: enough for any expression of
// 256 characters, and it bounds the compiler's recursion for longer texts.
inline constexpr int kCalcMaxNesting = 128;

struct TCalcError {
  std::string Message;
  size_t Position = 0;  // byte offset in the text
};

// None when the text does not compile; then *error says why and where.
std::optional<TCalcCmdList> CompileExpression(std::string_view text, const TCalcResolver& resolver,
                                              TCalcError* error = nullptr);

// The process-wide function library: 16 buckets by a hash of the lower-case
// name; names match without regard to letter case. The built-in functions are
// registered on first use.
class TCalcFunctionLibrary {
 public:
  static constexpr size_t kBucketCount = 16;

  static TCalcFunctionLibrary& Instance();
  static size_t BucketOf(std::string_view name);

  // A later registration of a name hides the earlier one; functions stay
  // alive for the whole run, as compiled programs point at them.
  void Register(TCalcFunction function);
  const TCalcFunction* Find(std::string_view name) const;

 private:
  TCalcFunctionLibrary();

  mutable std::mutex fLock;
  std::array<std::list<TCalcFunction>, kBucketCount> fBuckets;
};

}  // namespace viv
