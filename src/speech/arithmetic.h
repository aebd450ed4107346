// Parsing a short text (Shift_JIS) into an operator and two operands, for the
// robot to act on; the program never computes the result.
#pragma once
#include <cstdint>
#include <string_view>

namespace quorvel {

struct ArithmeticExpr {
  std::int32_t op = 0;  // 1 add, 2 subtract, 3 multiply, 4 divide; 0 none
  std::int32_t left = 0;
  std::int32_t right = 0;
};

// True when an operator was found; otherwise expr is all zero.
bool ParseArithmetic(std::string_view text, ArithmeticExpr& expr);

// The full-width symbol (Shift_JIS) that shows operator op; empty for others.
std::string_view OperatorSymbol(std::int32_t op);

}  // namespace quorvel
