// ParseArithmetic on any text, and the record it makes read back.
#include <cstdint>
#include <string>

#include "fuzz_util.h"
#include "robot/command_record.h"
#include "robot/record_decode.h"
#include "speech/arithmetic.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ArithmeticExpr e;
  e.op = 99;
  if (!ParseArithmetic(text, e)) {
    FUZZ_CHECK(e.op == 0 && e.left == 0 && e.right == 0);
    return 0;
  }
  FUZZ_CHECK(e.op >= 1 && e.op <= 4);
  FUZZ_CHECK(!OperatorSymbol(e.op).empty());
  RemoteCommand r = MakeArithmeticCommand(e);
  std::string line = DescribeRecord(std::string(r.begin(), r.end()));
  const char* symbols = "?+-*/";
  auto operand = [](std::int32_t v) { return v >= 0 && v <= 32767 ? std::to_string(v) : std::string(); };
  FUZZ_CHECK(line.rfind("arithmetic ", 0) == 0);
  FUZZ_CHECK(line.find(std::string(" ") + symbols[e.op] + " ") != std::string::npos);
  FUZZ_CHECK(line.size() > 6 && line.compare(line.size() - 6, 6, "(op " + std::to_string(e.op) + ")") == 0);
  std::string left = operand(e.left), right = operand(e.right);
  if (!left.empty()) FUZZ_CHECK(line.rfind("arithmetic " + left + " ", 0) == 0);
  if (!right.empty()) FUZZ_CHECK(line.find(" " + right + " (op") != std::string::npos);
  return 0;
}
