#include "model/animation/expression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace viv {
namespace {

// x and y are run-time slots 0 and 1, k the constant 10.
std::optional<TCalcName> TestNames(std::string_view name) {
  if (name == "x") return TCalcName::Variable(0);
  if (name == "y") return TCalcName::Variable(1);
  if (name == "k") return TCalcName::Constant(10);
  return std::nullopt;
}

TCalcCmdList Compile(std::string_view text) {
  TCalcError error;
  std::optional<TCalcCmdList> list = CompileExpression(text, TestNames, &error);
  EXPECT_TRUE(list) << text << ": " << error.Message << " at " << error.Position;
  return list ? std::move(*list) : TCalcCmdList();
}

double Value(std::string_view text, double x = 3, double y = -2) {
  const double slots[] = {x, y};
  return Compile(text).Evaluate(slots);
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// The command list as text: "x *2" is "get0 mul2".
std::string Shape(const TCalcCmdList& list) {
  std::string out;
  for (const TCalcCmd& cmd : list.Commands()) {
    if (!out.empty()) out += ' ';
    switch (cmd.Op) {
      case TCalcOp::PushConst: out += "push" + Number(cmd.Value); break;
      case TCalcOp::PushGetter: out += "get" + std::to_string(cmd.Slot); break;
      case TCalcOp::Call:
        out += cmd.Curve >= 0 ? "curve" + std::to_string(cmd.Curve)
                              : "call:" + cmd.Function->Name + "/" + std::to_string(cmd.ArgCount);
        break;
      case TCalcOp::Add: out += "add"; break;
      case TCalcOp::Subtract: out += "sub"; break;
      case TCalcOp::Multiply: out += "mul"; break;
      case TCalcOp::Divide: out += "div"; break;
      case TCalcOp::Negate: out += "neg"; break;
      case TCalcOp::AddConst: out += "add" + Number(cmd.Value); break;
      case TCalcOp::MultiplyConst: out += "mul" + Number(cmd.Value); break;
    }
  }
  return out;
}

TEST(Expression, PrecedenceAndAssociativity) {
  struct TCase {
    std::string Text;
    double Value;
  };
  const TCase kCases[] = {
      {"1+2*3", 7},      {"(1+2)*3", 9},   {"10-4-3", 3},    {"8/4/2", 1},
      {"x-y-1", 4},      {"x/y/2", -0.75}, {"-2*3", -6},     {"2*-3", -6},
      {"--2", 2},        {"---x", -3},     {"x - -y", 1},    {"2-x", -1},
      {"6/x", 2},        {"x/4", 0.75},    {"k*x", 30},      {"x*y+k", 4},
      {"x+y*k", -17},    {"(x+y)*k", 10},  {".5 + 1.", 1.5}, {" \tx * ( y + 1 ) ", -3},
      {"007.250", 7.25},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_DOUBLE_EQ(Value(c.Text), c.Value);
  }
}

TEST(Expression, FoldingShapesTheCommandList) {
  struct TCase {
    std::string Text;
    std::string Shape;
  };
  const TCase kCases[] = {
      {"2*3+4", "push10"},
      {"(1+2)*(3+4)/7", "push3"},
      {"k*2-1", "push19"},
      {"-(2)", "push-2"},
      {"x*2", "get0 mul2"},
      {"2*x", "get0 mul2"},
      {"x+3", "get0 add3"},
      {"3+x", "get0 add3"},
      {"x-2", "get0 add-2"},
      {"1-x", "get0 neg add1"},
      {"x/4", "get0 mul0.25"},
      {"4/x", "push4 get0 div"},
      {"x+y", "get0 get1 add"},
      {"x-y", "get0 get1 sub"},
      {"x*y", "get0 get1 mul"},
      {"x/y", "get0 get1 div"},
      {"x*2*3", "get0 mul2 mul3"},
      {"-x", "get0 neg"},
      {"--x", "get0"},
      {"-x*y", "get0 neg get1 mul"},
      {"Lerp(0, 100, x)", "push0 push100 get0 call:Lerp/3"},
      {"Sin(1+1)", "push2 call:Sin/1"},
      {"Pi", "call:Pi/0"},
      {"Rnd()", "call:Rnd/0"},
      {"QSplineGraph(x, 0.25, 0.1, 1-0.75, 1)", "get0 curve0"},
      {"QSplineGraph(x, y, 0.1, 0.25, 1)", "get0 get1 push0.1 push0.25 push1 call:QSplineGraph/5"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Shape(Compile(c.Text)), c.Shape);
  }
}

TEST(Expression, StackDepthAndSlots) {
  TCalcCmdList list = Compile("x+(y+(x+(y*k)))");
  EXPECT_EQ(list.StackDepth(), 4u);
  EXPECT_EQ(list.SlotCount(), 2u);
  EXPECT_EQ(Compile("3").SlotCount(), 0u);
  // A slot the caller did not supply reads 0.
  EXPECT_DOUBLE_EQ(Compile("y+1").Evaluate(std::vector<double>{5}), 1);
}

TEST(Expression, CompileErrors) {
  struct TCase {
    std::string Text;
    std::string_view Message;
    size_t Position;
  };
  const TCase kCases[] = {
      {"", kCalcExpectedExpression, 0},
      {"   ", kCalcExpectedExpression, 3},
      {"1+", kCalcExpectedExpression, 2},
      {"*2", kCalcExpectedExpression, 0},
      {"()", kCalcExpectedExpression, 1},
      {"Lerp(1,,2)", kCalcExpectedExpression, 7},
      {".", kCalcExpectedExpression, 0},
      {"1 2", kCalcExpectedOperator, 2},
      {"x y", kCalcExpectedOperator, 2},
      {"x)", kCalcExpectedOperator, 1},
      {"1.2.3", kCalcExpectedOperator, 3},
      {"1 % 2", kCalcUnknownOperator, 2},
      {"x ^ 2", kCalcUnknownOperator, 2},
      {"x=1", kCalcUnknownOperator, 1},
      {"(1+2", kCalcExpectedOperatorOrClose, 4},
      {"(1 2)", kCalcExpectedOperatorOrClose, 3},
      {"(1 # 2)", kCalcUnknownOperator, 3},
      {"Lerp(1, 2 3)", kCalcExpectedOperatorOrClose, 10},
      {"Lerp(1, 2", kCalcExpectedOperatorOrClose, 9},
      {"1/0", kCalcDivisionByZero, 1},
      {"x/(2-2)", kCalcDivisionByZero, 1},
      {"x/-0", kCalcDivisionByZero, 1},
      {"zz + 1", kCalcUnknownIdentifier, 0},
      {"1 + Pos.Q", kCalcUnknownIdentifier, 4},
      {"Foo(1)", kCalcUnknownFunction, 0},
      {"x(1)", kCalcUnknownFunction, 0},
      {"Sin(1, 2)", kCalcWrongArgumentCount, 0},
      {"Lerp(1, 2)", kCalcWrongArgumentCount, 0},
      {"2*Sin", kCalcWrongArgumentCount, 2},
      {"Pi(1)", kCalcWrongArgumentCount, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    TCalcError error;
    EXPECT_FALSE(CompileExpression(c.Text, TestNames, &error));
    EXPECT_EQ(error.Message, c.Message);
    EXPECT_EQ(error.Position, c.Position);
  }
}

TEST(Expression, NestingIsBounded) {
  auto nested = [](int depth, std::string_view open = "(") {
    std::string text;
    for (int i = 0; i < depth; ++i) text += open;
    text += "x";
    text += std::string(static_cast<size_t>(depth), ')');
    return text;
  };
  // The deepest expression of 256 characters still compiles.
  EXPECT_DOUBLE_EQ(Value(nested(127)), 3);
  EXPECT_DOUBLE_EQ(Value(nested(kCalcMaxNesting, "Abs(")), 3);
  for (const std::string& text :
       {nested(kCalcMaxNesting + 1), nested(100000), nested(kCalcMaxNesting + 1, "Sqr(")}) {
    TCalcError error;
    EXPECT_FALSE(CompileExpression(text, TestNames, &error));
    EXPECT_EQ(error.Message, kCalcTooDeep);
  }
  // Unary minus does not nest.
  EXPECT_DOUBLE_EQ(Value(std::string(100001, '-') + "x"), -3);
}

TEST(Expression, RunTimeFloatingPointRules) {
  EXPECT_EQ(Value("1/x", 0), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(Value("x/x", 0)));
  EXPECT_TRUE(std::isnan(Value("x*0+1", std::nan(""))));
  EXPECT_TRUE(std::isnan(Value("Sqrt(y)")));
  // Literals too long for a double.
  EXPECT_EQ(Value("1" + std::string(400, '0')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Value("0." + std::string(400, '0') + "1"), 0);
}

TEST(Expression, LibraryFunctions) {
  constexpr double kPi = std::numbers::pi;
  struct TCase {
    std::string Text;
    double Value;
  };
  const TCase kCases[] = {
      {"Pi", kPi},
      {"pI()", kPi},
      {"Sin(Pi/2)", 1},
      {"SIN(-Pi/6)", -0.5},
      {"Cos(Pi)", -1},
      {"Tan(Pi/4)", 1},
      {"Cotan(Pi/4)", 1},
      {"Cotan(Pi/3)", 1 / std::sqrt(3.0)},
      {"ArcSin(1)", kPi / 2},
      {"ArcCos(-1)", kPi},
      {"ArcTan(1)", kPi / 4},
      {"ArcTan2(1, -1)", 3 * kPi / 4},
      {"ArcTan2(-1, 0)", -kPi / 2},
      {"Hypot(3, 4)", 5},
      {"Sqrt(16)", 4},
      {"Power(2, 10)", 1024},
      {"Pow(9, 0.5)", 3},
      {"Sqr(-3)", 9},
      {"Abs(-2.5)", 2.5},
      {"Frac(2.75)", 0.75},
      {"Frac(-2.75)", -0.75},
      {"Round(2.5)", 2},
      {"Round(3.5)", 4},
      {"Round(-2.5)", -2},
      {"Round(2.6)", 3},
      {"Round(-2.4)", -2},
      {"Trunc(-2.7)", -2},
      {"Trunc(2.7)", 2},
      {"Ceil(2.1)", 3},
      {"Ceil(-2.7)", -2},
      {"Lerp(10, 20, 0.25)", 12.5},
      {"lerp(10, 20, x)", 40},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_NEAR(Value(c.Text), c.Value, 1e-12);
  }
}

TEST(Expression, RndIsUniformInTheHalfOpenUnitRange) {
  TCalcCmdList list = Compile("Rnd");
  double low = 1, high = 0;
  for (int i = 0; i < 1000; ++i) {
    double v = list.Evaluate();
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 1);
    low = std::min(low, v);
    high = std::max(high, v);
  }
  // Not one value repeated: the draws spread over the range.
  EXPECT_LT(low, 0.1);
  EXPECT_GT(high, 0.9);
}

TEST(Expression, QSplineGraph) {
  struct TCase {
    std::string Text;
    double Value;
  };
  const TCase kCases[] = {
      {"QSplineGraph(0.5, 0.25, 0.1, 0.25, 1)", 0.802403},
      // The speed preset's control points (0.26, 0) and (0.74, 1).
      {"QSplineGraph(x, 26/100, 0/100, 1-26/100, 1-0/100)", 0.179273},
      {"QSplineGraph(0.5, 0.26, 0, 0.74, 1)", 0.5},
      {"QSplineGraph(0.9, 0.26, 0, 0.74, 1)", 0.961859},
      // Control points on the diagonal: the identity.
      {"QSplineGraph(0.3, 1/3, 1/3, 2/3, 2/3)", 0.3},
      {"QSplineGraph(0, 0.26, 0, 0.74, 1)", 0},
      {"QSplineGraph(1, 0.26, 0, 0.74, 1)", 1},
      // Outside the curve the ends hold.
      {"QSplineGraph(-0.5, 0.26, 0, 0.74, 1)", 0},
      {"QSplineGraph(1.5, 0.26, 0, 0.74, 1)", 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_NEAR(Value(c.Text, 0.25), c.Value, 1e-5);
  }
  // Prepared at compile time or built on each call: the same curve.
  EXPECT_DOUBLE_EQ(Value("QSplineGraph(x, 0.25, 0.1, 0.25, 1)", 0.4),
                   Value("QSplineGraph(x, y, 0.1, 0.25, 1)", 0.4, 0.25));
  EXPECT_TRUE(std::isnan(Value("QSplineGraph(x, 0.25, 0.1, 0.25, 1)", std::nan(""))));
  // A curve that leaves [0, 1] on the way still gives an answer. With control
  // points (3, 0) and (-2, 1) it is symmetric about its middle:
  // Bx(1/2) = 9/8 - 6/8 + 1/8 = 1/2 and By(1/2) = 3/8 + 1/8 = 1/2.
  EXPECT_NEAR(Value("QSplineGraph(0.5, 3, 0, -2, 1)"), 0.5, 1e-6);
}

double Triple(const double* args) { return 3 * args[0]; }

TEST(Expression, FunctionLibraryRegistration) {
  TCalcFunctionLibrary& library = TCalcFunctionLibrary::Instance();
  EXPECT_EQ(TCalcFunctionLibrary::BucketOf("QSPLINEGRAPH"),
            TCalcFunctionLibrary::BucketOf("qsplinegraph"));
  EXPECT_LT(TCalcFunctionLibrary::BucketOf("Lerp"), TCalcFunctionLibrary::kBucketCount);
  EXPECT_EQ(library.Find("ARCTAN2"), library.Find("ArcTan2"));
  EXPECT_EQ(library.Find("Floor"), nullptr);

  library.Register({"TestTriple", 1, Triple});
  EXPECT_DOUBLE_EQ(Value("testtriple(x)"), 9);
  // A later registration hides the earlier one.
  library.Register({"TestTriple", 1, [](const double* a) { return -a[0]; }});
  EXPECT_DOUBLE_EQ(Value("TestTriple(x)"), -3);
}

}  // namespace
}  // namespace viv
