#include <gtest/gtest.h>

#include "speech/arithmetic.h"
#include "test_util.h"

namespace quorvel {
namespace {

using test::S;

TEST(ParseArithmetic, Table) {
  struct Case {
    std::string text;
    bool found;
    int op, left, right;
  } cases[] = {
      {"3+4", true, 1, 3, 4},
      {"10-3", true, 2, 10, 3},
      {S("6×7"), true, 3, 6, 7},
      {S("8わる2"), true, 4, 8, 2},
      {S("12たす300"), true, 1, 12, 300},
      {S("9ひく1"), true, 2, 9, 1},
      {S("2かける3"), true, 3, 2, 3},
      {"8/2", true, 4, 8, 2},
      {S("5÷5"), true, 4, 5, 5},
      {S("1＋1"), true, 1, 1, 1},
      {S("7－2"), true, 2, 7, 2},
      {"3-4+5", true, 1, 34, 5},   // "+" is searched before "-"
      {"3+4+5", true, 1, 3, 45},
      {"1 2 + 3", true, 1, 12, 3},
      {S("３たす４"), true, 1, 0, 0},  // full-width digits are not digits
      {S("たす"), true, 1, 0, 0},
      {"t2+1", true, 1, 2, 1},     // lower-case t is no marker
      {"T2H35+1", true, 1, 2305, 1},
      {"T105+0", true, 1, 1005, 0},
      {"T+5", true, 1, -5000, 5},  // the marker takes the operator's byte
      {"hello", false, 0, 0, 0},
      {"", false, 0, 0, 0},
      {"1+T", true, 1, 1, 0},      // a final marker adds nothing
      {"99999999999+1", true, 1, 2147483647, 1},
  };
  for (const auto& c : cases) {
    ArithmeticExpr e{9, 9, 9};
    EXPECT_EQ(ParseArithmetic(c.text, e), c.found) << c.text;
    EXPECT_EQ(e.op, c.op) << c.text;
    EXPECT_EQ(e.left, c.left) << c.text;
    EXPECT_EQ(e.right, c.right) << c.text;
  }
}

TEST(ParseArithmetic, FullWidthFiveActsAsThousandsMarker) {
  // ５ is 82 54: its second byte is T, which takes the next byte as its digit.
  ArithmeticExpr e;
  ASSERT_TRUE(ParseArithmetic(S("５") + "2+1", e));
  EXPECT_EQ(e.left, 2000);
}

TEST(OperatorSymbol, FullWidthSymbols) {
  EXPECT_EQ(OperatorSymbol(1), S("＋"));
  EXPECT_EQ(OperatorSymbol(2), S("－"));
  EXPECT_EQ(OperatorSymbol(3), S("×"));
  EXPECT_EQ(OperatorSymbol(4), S("÷"));
  EXPECT_EQ(OperatorSymbol(0), "");
  EXPECT_EQ(OperatorSymbol(5), "");
}

}  // namespace
}  // namespace quorvel
