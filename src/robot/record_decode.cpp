#include "robot/record_decode.h"

#include <cstdint>

#include "robot/command_record.h"

namespace quorvel {
namespace {

int Word(std::string_view b, std::size_t at) {
  auto lo = static_cast<std::uint8_t>(b[at]);
  auto hi = static_cast<std::uint8_t>(b[at + 1]);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

bool ZeroFrom(std::string_view b, std::size_t at) {
  for (std::size_t i = at; i < b.size(); ++i)
    if (b[i] != 0) return false;
  return true;
}

const char* AsciiOperator(int op) {
  switch (op) {
    case 1: return "+";
    case 2: return "-";
    case 3: return "*";
    case 4: return "/";
    default: return "?";
  }
}

}  // namespace

std::string DescribeRecord(std::string_view b) {
  if (b.size() != 16) return "invalid: " + std::to_string(b.size()) + " bytes, not 16";
  auto marker = static_cast<std::uint8_t>(b[0]);
  if (static_cast<std::uint8_t>(b[1]) != 0xFF || (marker != 0xFE && marker != 0xFF))
    return "invalid: unknown marker";
  int id = Word(b, 2);
  if (marker == 0xFF) {
    if (!ZeroFrom(b, 10)) return "invalid: bytes 10-15 not zero";
    return "timed voice " + std::to_string(id) + " ticks " + std::to_string(Word(b, 4)) +
           " interval " + std::to_string(Word(b, 6)) + " volume-step " +
           std::to_string(Word(b, 8));
  }
  if (static_cast<std::uint16_t>(id) == kArithmeticVoiceId) {
    if (!ZeroFrom(b, 10)) return "invalid: bytes 10-15 not zero";
    int op = Word(b, 4);
    return "arithmetic " + std::to_string(Word(b, 6)) + " " + AsciiOperator(op) + " " +
           std::to_string(Word(b, 8)) + " (op " + std::to_string(op) + ")";
  }
  if (!ZeroFrom(b, 4)) return "invalid: short form with bytes 4-15 not zero";
  if (id == kRunProgramVoiceId) return "run program";
  return "short voice " + std::to_string(id);
}

}  // namespace quorvel
