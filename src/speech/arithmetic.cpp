// The operator table is searched row by row: the row, not the position in the
// text, decides when several operators occur.
#include "speech/arithmetic.h"

#include <algorithm>
#include <climits>

namespace quorvel {
namespace {

struct OperatorRow {
  std::string_view bytes;
  std::int32_t op;
};

constexpr OperatorRow kOperators[] = {
    {"+", 1}, {"\x81\x7B", 1}, {"\x82\xBD\x82\xB7", 1},              // ＋ たす
    {"-", 2}, {"\x81\x7C", 2}, {"\x82\xD0\x82\xAD", 2},              // － ひく
    {"*", 3}, {"\x81\x7E", 3}, {"\x82\xA9\x82\xAF\x82\xE9", 3},      // × かける
    {"/", 4}, {"\x81\x80", 4}, {"\x82\xED\x82\xE9", 4},              // ÷ わる
};

// Scans text[pos, end) into one operand; returns where the scan stopped.
std::size_t ScanOperand(std::string_view text, std::size_t pos, std::size_t end,
                        std::int32_t& value) {
  long long digits = 0;
  long long markers = 0;
  while (pos < end) {
    unsigned char b = static_cast<unsigned char>(text[pos]);
    if (b >= '0' && b <= '9') {
      digits = std::min<long long>(digits * 10 + (b - '0'), INT32_MAX);
      ++pos;
    } else if (b == 'T' || b == 'H') {
      ++pos;
      // A marker at the very end has no digit byte to take: it adds nothing.
      if (pos < text.size()) {
        long long digit = static_cast<signed char>(text[pos]) - 0x30;
        markers += digit * (b == 'T' ? 1000 : 100);
        ++pos;
      }
    } else {
      ++pos;
    }
  }
  value = static_cast<std::int32_t>(std::clamp<long long>(digits + markers, INT32_MIN, INT32_MAX));
  return pos;
}

}  // namespace

bool ParseArithmetic(std::string_view text, ArithmeticExpr& expr) {
  expr = ArithmeticExpr{};
  std::size_t opPos = std::string_view::npos;
  for (const auto& row : kOperators) {
    opPos = text.find(row.bytes);
    if (opPos != std::string_view::npos) {
      expr.op = row.op;
      break;
    }
  }
  if (expr.op == 0) return false;
  std::size_t stop = ScanOperand(text, 0, opPos, expr.left);
  ScanOperand(text, stop, text.size(), expr.right);
  return true;
}

std::string_view OperatorSymbol(std::int32_t op) {
  if (op < 1 || op > 4) return {};
  return kOperators[(op - 1) * 3 + 1].bytes;
}

}  // namespace quorvel
