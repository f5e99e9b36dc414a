#include "model/animation/expression.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <random>

#include "base/text.h"

namespace viv {

// --- TBezierEasing

namespace {

constexpr int kNewtonSteps = 8;
constexpr int kBisectionSteps = 100;
constexpr double kFlatSlope = 1e-9;

}  // namespace

TBezierEasing::TBezierEasing(double x1, double y1, double x2, double y2) {
  fCx = 3 * x1;
  fBx = 3 * (x2 - x1) - fCx;
  fAx = 1 - fCx - fBx;
  fCy = 3 * y1;
  fBy = 3 * (y2 - y1) - fCy;
  fAy = 1 - fCy - fBy;
}

double TBezierEasing::SolveParameter(double x) const {
  // Newton from s = x converges in a few steps on ordinary curves.
  double s = x;
  for (int i = 0; i < kNewtonSteps; ++i) {
    double miss = CurveX(s) - x;
    if (std::fabs(miss) < kTolerance) return s;
    double slope = SlopeX(s);
    if (std::fabs(slope) < kFlatSlope) break;
    s -= miss / slope;
    if (!(s >= 0 && s <= 1)) break;
  }
  // Bx(0) = 0 <= x <= 1 = Bx(1): bisection always finds a parameter, also on
  // curves that are not monotone.
  double lo = 0, hi = 1;
  s = x;
  for (int i = 0; i < kBisectionSteps; ++i) {
    s = (lo + hi) / 2;
    double miss = CurveX(s) - x;
    if (std::fabs(miss) < kTolerance) break;
    if (miss < 0)
      lo = s;
    else
      hi = s;
  }
  return s;
}

double TBezierEasing::At(double x) const {
  if (std::isnan(x)) return x;
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  return CurveY(SolveParameter(x));
}

// --- TCalcCmdList

namespace {

constexpr size_t kInlineStack = 32;

double ApplyBinary(TCalcOp op, double a, double b) {
  switch (op) {
    case TCalcOp::Add: return a + b;
    case TCalcOp::Subtract: return a - b;
    case TCalcOp::Multiply: return a * b;
    case TCalcOp::Divide: return a / b;
    default: return 0;
  }
}

}  // namespace

double TCalcCmdList::Evaluate(std::span<const double> slots) const {
  double inlineStack[kInlineStack];
  std::vector<double> bigStack;
  double* stack = inlineStack;
  if (fStackDepth > kInlineStack) {
    bigStack.resize(fStackDepth);
    stack = bigStack.data();
  }
  size_t top = 0;
  for (const TCalcCmd& cmd : fCommands) {
    switch (cmd.Op) {
      case TCalcOp::PushConst: stack[top++] = cmd.Value; break;
      case TCalcOp::PushGetter:
        stack[top++] = static_cast<size_t>(cmd.Slot) < slots.size() ? slots[cmd.Slot] : 0;
        break;
      case TCalcOp::Call: {
        double* args = stack + top - cmd.ArgCount;
        double result = cmd.Curve >= 0 ? fCurves[cmd.Curve].At(args[0]) : cmd.Function->Call(args);
        top -= cmd.ArgCount;
        stack[top++] = result;
        break;
      }
      case TCalcOp::Add:
      case TCalcOp::Subtract:
      case TCalcOp::Multiply:
      case TCalcOp::Divide:
        --top;
        stack[top - 1] = ApplyBinary(cmd.Op, stack[top - 1], stack[top]);
        break;
      case TCalcOp::Negate: stack[top - 1] = -stack[top - 1]; break;
      case TCalcOp::AddConst: stack[top - 1] += cmd.Value; break;
      case TCalcOp::MultiplyConst: stack[top - 1] *= cmd.Value; break;
    }
  }
  return top == 1 ? stack[0] : std::nan("");
}

// --- Compiler

namespace {

// A compiled operand: a constant still open to folding, or the commands that
// leave its value on the stack.
struct TOperand {
  bool IsConst = true;
  double Value = 0;
  std::vector<TCalcCmd> Code;

  static TOperand Constant(double value) { return {true, value, {}}; }
};

TCalcCmd Command(TCalcOp op, double value = 0) {
  TCalcCmd cmd;
  cmd.Op = op;
  cmd.Value = value;
  return cmd;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsIdentifierChar(char c) { return IsLetter(c) || IsDigit(c) || c == '.'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool StartsOperand(char c) { return IsDigit(c) || IsLetter(c) || c == '.' || c == '('; }

}  // namespace

class TCalcCompiler {
 public:
  TCalcCompiler(std::string_view text, const TCalcResolver& resolver)
      : fText(text), fResolver(resolver) {}

  std::optional<TCalcCmdList> Run(TCalcError* error) {
    std::optional<TOperand> result = ParseSum(0);
    if (result) {
      SkipBlanks();
      if (fPos < fText.size()) {
        Fail(UnknownOrExpected(kCalcExpectedOperator));
        result.reset();
      }
    }
    if (!result) {
      if (error) *error = fError;
      return std::nullopt;
    }
    if (result->IsConst) Emit(*result);
    fList.fCommands = std::move(result->Code);
    Measure();
    return std::move(fList);
  }

 private:
  bool AtEnd() { return SkipBlanks(), fPos >= fText.size(); }
  char Peek() { return AtEnd() ? '\0' : fText[fPos]; }
  void SkipBlanks() {
    while (fPos < fText.size() && IsBlank(fText[fPos])) ++fPos;
  }

  std::nullopt_t Fail(std::string_view message) { return Fail(message, fPos); }
  std::nullopt_t Fail(std::string_view message, size_t position) {
    fError.Message = message;
    fError.Position = position;
    return std::nullopt;
  }
  // Where an operator (or a closing character) should follow an operand.
  std::string_view UnknownOrExpected(std::string_view expected) {
    if (fPos >= fText.size()) return expected;
    char c = fText[fPos];
    if (StartsOperand(c) || c == ')' || c == ',') return expected;
    return kCalcUnknownOperator;
  }

  // A constant becomes code when it meets code it cannot fold into.
  static void Emit(TOperand& operand) {
    if (!operand.IsConst) return;
    operand.Code.push_back(Command(TCalcOp::PushConst, operand.Value));
    operand.IsConst = false;
  }
  static void Append(TOperand& to, TOperand& from) {
    to.Code.insert(to.Code.end(), from.Code.begin(), from.Code.end());
  }

  std::optional<TOperand> Combine(TCalcOp op, TOperand lhs, TOperand rhs, size_t opPosition) {
    if (op == TCalcOp::Divide && rhs.IsConst && rhs.Value == 0)
      return Fail(kCalcDivisionByZero, opPosition);
    if (lhs.IsConst && rhs.IsConst)
      return TOperand::Constant(ApplyBinary(op, lhs.Value, rhs.Value));
    if (rhs.IsConst) {
      switch (op) {
        case TCalcOp::Add: lhs.Code.push_back(Command(TCalcOp::AddConst, rhs.Value)); break;
        case TCalcOp::Subtract: lhs.Code.push_back(Command(TCalcOp::AddConst, -rhs.Value)); break;
        case TCalcOp::Multiply:
          lhs.Code.push_back(Command(TCalcOp::MultiplyConst, rhs.Value));
          break;
        default: lhs.Code.push_back(Command(TCalcOp::MultiplyConst, 1 / rhs.Value)); break;
      }
      return lhs;
    }
    if (lhs.IsConst) {
      switch (op) {
        case TCalcOp::Add: rhs.Code.push_back(Command(TCalcOp::AddConst, lhs.Value)); return rhs;
        case TCalcOp::Subtract:
          // c - x = -x + c, exactly.
          rhs.Code.push_back(Command(TCalcOp::Negate));
          rhs.Code.push_back(Command(TCalcOp::AddConst, lhs.Value));
          return rhs;
        case TCalcOp::Multiply:
          rhs.Code.push_back(Command(TCalcOp::MultiplyConst, lhs.Value));
          return rhs;
        default: Emit(lhs); break;
      }
    }
    Append(lhs, rhs);
    lhs.Code.push_back(Command(op));
    return lhs;
  }

  std::optional<TOperand> ParseSum(int depth) {
    std::optional<TOperand> lhs = ParseProduct(depth);
    while (lhs) {
      char c = Peek();
      if (c != '+' && c != '-') break;
      size_t opPosition = fPos++;
      std::optional<TOperand> rhs = ParseProduct(depth);
      if (!rhs) return std::nullopt;
      lhs = Combine(c == '+' ? TCalcOp::Add : TCalcOp::Subtract, std::move(*lhs), std::move(*rhs),
                    opPosition);
    }
    return lhs;
  }

  std::optional<TOperand> ParseProduct(int depth) {
    std::optional<TOperand> lhs = ParseUnary(depth);
    while (lhs) {
      char c = Peek();
      if (c != '*' && c != '/') break;
      size_t opPosition = fPos++;
      std::optional<TOperand> rhs = ParseUnary(depth);
      if (!rhs) return std::nullopt;
      lhs = Combine(c == '*' ? TCalcOp::Multiply : TCalcOp::Divide, std::move(*lhs),
                    std::move(*rhs), opPosition);
    }
    return lhs;
  }

  // A run of unary minuses is counted, not recursed into.
  std::optional<TOperand> ParseUnary(int depth) {
    bool negate = false;
    while (Peek() == '-') {
      ++fPos;
      negate = !negate;
    }
    std::optional<TOperand> operand = ParsePrimary(depth);
    if (operand && negate) {
      if (operand->IsConst)
        operand->Value = -operand->Value;
      else
        operand->Code.push_back(Command(TCalcOp::Negate));
    }
    return operand;
  }

  std::optional<TOperand> ParsePrimary(int depth) {
    if (AtEnd()) return Fail(kCalcExpectedExpression);
    char c = fText[fPos];
    if (IsDigit(c) || (c == '.' && fPos + 1 < fText.size() && IsDigit(fText[fPos + 1])))
      return TOperand::Constant(ParseNumber());
    if (IsLetter(c)) return ParseIdentifier(depth);
    if (c == '(') {
      if (depth >= kCalcMaxNesting) return Fail(kCalcTooDeep);
      ++fPos;
      std::optional<TOperand> inner = ParseSum(depth + 1);
      if (!inner) return std::nullopt;
      if (Peek() != ')') return Fail(UnknownOrExpected(kCalcExpectedOperatorOrClose));
      ++fPos;
      return inner;
    }
    return Fail(kCalcExpectedExpression);
  }

  double ParseNumber() {
    size_t start = fPos;
    while (fPos < fText.size() && IsDigit(fText[fPos])) ++fPos;
    if (fPos < fText.size() && fText[fPos] == '.') {
      ++fPos;
      while (fPos < fText.size() && IsDigit(fText[fPos])) ++fPos;
    }
    std::string_view digits = fText.substr(start, fPos - start);
    double value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                     std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
      // Without an exponent only a long integer part overflows; a long run of
      // zeros after the point underflows.
      size_t dot = digits.find('.');
      std::string_view whole = digits.substr(0, dot);
      value = whole.find_first_not_of('0') != std::string_view::npos ? HUGE_VAL : 0;
    }
    return value;
  }

  std::optional<TOperand> ParseIdentifier(int depth) {
    size_t start = fPos;
    while (fPos < fText.size() && IsIdentifierChar(fText[fPos])) ++fPos;
    std::string_view name = fText.substr(start, fPos - start);
    if (Peek() == '(') return ParseCall(name, start, depth);
    if (std::optional<TCalcName> resolved = fResolver ? fResolver(name) : std::nullopt) {
      if (resolved->Kind == TCalcName::TKind::Constant) return TOperand::Constant(resolved->Value);
      TOperand operand{false, 0, {}};
      TCalcCmd cmd = Command(TCalcOp::PushGetter);
      cmd.Slot = resolved->Slot;
      operand.Code.push_back(cmd);
      return operand;
    }
    const TCalcFunction* function = TCalcFunctionLibrary::Instance().Find(name);
    if (!function) return Fail(kCalcUnknownIdentifier, start);
    if (function->ArgCount != 0) return Fail(kCalcWrongArgumentCount, start);
    return CallOperand(*function, {});
  }

  std::optional<TOperand> ParseCall(std::string_view name, size_t start, int depth) {
    const TCalcFunction* function = TCalcFunctionLibrary::Instance().Find(name);
    if (!function) return Fail(kCalcUnknownFunction, start);
    if (depth >= kCalcMaxNesting) return Fail(kCalcTooDeep);
    ++fPos;  // "("
    std::vector<TOperand> args;
    if (Peek() == ')') {
      ++fPos;
    } else {
      for (;;) {
        std::optional<TOperand> arg = ParseSum(depth + 1);
        if (!arg) return std::nullopt;
        args.push_back(std::move(*arg));
        char c = Peek();
        if (c != ')' && c != ',') return Fail(UnknownOrExpected(kCalcExpectedOperatorOrClose));
        ++fPos;
        if (c == ')') break;
      }
    }
    if (static_cast<int>(args.size()) != function->ArgCount)
      return Fail(kCalcWrongArgumentCount, start);
    return CallOperand(*function, std::move(args));
  }

  TOperand CallOperand(const TCalcFunction& function, std::vector<TOperand> args) {
    TOperand result{false, 0, {}};
    TCalcCmd call = Command(TCalcOp::Call);
    call.Function = &function;
    call.ArgCount = static_cast<int>(args.size());
    bool constantTail = function.EasingCurve && !args.empty();
    for (size_t i = 1; i < args.size() && constantTail; ++i) constantTail = args[i].IsConst;
    if (constantTail) {
      call.Curve = static_cast<int>(fList.fCurves.size());
      fList.fCurves.emplace_back(args[1].Value, args[2].Value, args[3].Value, args[4].Value);
      call.ArgCount = 1;
      args.resize(1);
    }
    for (TOperand& arg : args) {
      Emit(arg);
      Append(result, arg);
    }
    result.Code.push_back(call);
    return result;
  }

  void Measure() {
    size_t depth = 0;
    for (const TCalcCmd& cmd : fList.fCommands) {
      switch (cmd.Op) {
        case TCalcOp::PushConst: ++depth; break;
        case TCalcOp::PushGetter:
          ++depth;
          fList.fSlotCount = std::max(fList.fSlotCount, static_cast<size_t>(cmd.Slot) + 1);
          break;
        case TCalcOp::Call: depth = depth - cmd.ArgCount + 1; break;
        case TCalcOp::Add:
        case TCalcOp::Subtract:
        case TCalcOp::Multiply:
        case TCalcOp::Divide: --depth; break;
        default: break;
      }
      fList.fStackDepth = std::max(fList.fStackDepth, depth);
    }
  }

  std::string_view fText;
  const TCalcResolver& fResolver;
  size_t fPos = 0;
  TCalcError fError;
  TCalcCmdList fList;
};

std::optional<TCalcCmdList> CompileExpression(std::string_view text, const TCalcResolver& resolver,
                                              TCalcError* error) {
  return TCalcCompiler(text, resolver).Run(error);
}

// --- Function library

namespace {

double RoundHalfEven(double x) {
  double floor = std::floor(x);
  double rest = x - floor;
  if (rest < 0.5) return floor;
  if (rest > 0.5) return floor + 1;
  return std::fmod(floor, 2) == 0 ? floor : floor + 1;
}

double FractionalPart(double x) {
  double whole;
  return std::modf(x, &whole);
}

// Each thread draws from its own generator, so modifiers on different
// threads never wait for each other.
double UniformRandom() {
  thread_local std::mt19937_64 engine{std::random_device{}()};
  constexpr int kMantissaBits = 53;
  return static_cast<double>(engine() >> (64 - kMantissaBits)) * 0x1.0p-53;
}

const TCalcFunction kBuiltIns[] = {
    {"Pi", 0, [](const double*) { return std::numbers::pi; }},
    {"Sin", 1, [](const double* a) { return std::sin(a[0]); }},
    {"Cos", 1, [](const double* a) { return std::cos(a[0]); }},
    {"Tan", 1, [](const double* a) { return std::tan(a[0]); }},
    {"Cotan", 1, [](const double* a) { return 1 / std::tan(a[0]); }},
    {"ArcSin", 1, [](const double* a) { return std::asin(a[0]); }},
    {"ArcCos", 1, [](const double* a) { return std::acos(a[0]); }},
    {"ArcTan", 1, [](const double* a) { return std::atan(a[0]); }},
    {"ArcTan2", 2, [](const double* a) { return std::atan2(a[0], a[1]); }},
    {"Hypot", 2, [](const double* a) { return std::hypot(a[0], a[1]); }},
    {"Sqrt", 1, [](const double* a) { return std::sqrt(a[0]); }},
    {"Power", 2, [](const double* a) { return std::pow(a[0], a[1]); }},
    {"Pow", 2, [](const double* a) { return std::pow(a[0], a[1]); }},
    {"Sqr", 1, [](const double* a) { return a[0] * a[0]; }},
    {"Abs", 1, [](const double* a) { return std::fabs(a[0]); }},
    {"Frac", 1, [](const double* a) { return FractionalPart(a[0]); }},
    {"Round", 1, [](const double* a) { return RoundHalfEven(a[0]); }},
    {"Trunc", 1, [](const double* a) { return std::trunc(a[0]); }},
    {"Ceil", 1, [](const double* a) { return std::ceil(a[0]); }},
    {"Lerp", 3, [](const double* a) { return a[0] + (a[1] - a[0]) * a[2]; }},
    {"Rnd", 0, [](const double*) { return UniformRandom(); }},
    {"QSplineGraph", 5,
     [](const double* a) { return TBezierEasing(a[1], a[2], a[3], a[4]).At(a[0]); }, true},
};

}  // namespace

TCalcFunctionLibrary::TCalcFunctionLibrary() {
  for (const TCalcFunction& function : kBuiltIns) Register(function);
}

TCalcFunctionLibrary& TCalcFunctionLibrary::Instance() {
  static TCalcFunctionLibrary library;
  return library;
}

size_t TCalcFunctionLibrary::BucketOf(std::string_view name) {
  // FNV-1a over the folded (lower-case) name, so that names that match share a bucket.
  uint32_t hash = 2166136261u;
  for (char c : FoldCase(name)) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 16777619u;
  }
  return hash % kBucketCount;
}

void TCalcFunctionLibrary::Register(TCalcFunction function) {
  size_t bucket = BucketOf(function.Name);
  std::lock_guard lock(fLock);
  fBuckets[bucket].push_front(std::move(function));
}

const TCalcFunction* TCalcFunctionLibrary::Find(std::string_view name) const {
  size_t bucket = BucketOf(name);
  std::lock_guard lock(fLock);
  for (const TCalcFunction& function : fBuckets[bucket])
    if (SameText(function.Name, name)) return &function;
  return nullptr;
}

}  // namespace viv
