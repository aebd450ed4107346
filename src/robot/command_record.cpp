#include "robot/command_record.h"

#include <cstdio>

namespace quorvel {
namespace {

void PutWord(RemoteCommand& r, std::size_t offset, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  r[offset] = static_cast<std::uint8_t>(v & 0xFF);
  r[offset + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

bool UsesShortForm(int dataSet) {
  return dataSet == 0 || dataSet == 1 || dataSet == 4 || dataSet == 5;
}

}  // namespace

RemoteCommand MakeVoiceCommand(std::int16_t voiceId, std::int16_t duration,
                               std::int16_t volume, int dataSet, std::int32_t remoteInterval) {
  RemoteCommand r{};
  r[0] = 0xFF;
  r[1] = 0xFF;
  PutWord(r, 2, voiceId);
  if (UsesShortForm(dataSet)) {
    r[0] = 0xFE;
    return r;
  }
  // An interval of 0 can only come from a hand-edited INI file; dividing by
  // it would be undefined, so the default stands in.
  std::int32_t interval = remoteInterval == 0 ? 1000 : remoteInterval;
  std::int32_t ticks = static_cast<std::int32_t>(
      static_cast<std::int64_t>(duration) * 2000 / interval);
  PutWord(r, 4, ticks);
  PutWord(r, 6, interval / 40);
  PutWord(r, 8, (100 - static_cast<std::int32_t>(volume)) / 20);
  return r;
}

namespace {

// Operand words are written as value mod 256 and (value / 256) mod 256, the
// way the robot's reader has always received them; for the non-negative
// operands the parser gives this is the plain low 16 bits.
void PutOperand(RemoteCommand& r, std::size_t offset, std::int32_t value) {
  r[offset] = static_cast<std::uint8_t>(value % 256);
  r[offset + 1] = static_cast<std::uint8_t>((value / 256) % 256);
}

}  // namespace

RemoteCommand MakeArithmeticCommand(const ArithmeticExpr& expr) {
  RemoteCommand r{};
  r[0] = 0xFE;
  r[1] = 0xFF;
  PutWord(r, 2, kArithmeticVoiceId);
  PutWord(r, 4, expr.op);
  PutOperand(r, 6, expr.left);
  PutOperand(r, 8, expr.right);
  return r;
}

RemoteCommand MakeRunProgramCommand() {
  return MakeVoiceCommand(kRunProgramVoiceId, 0, 0, 4, 1000);
}

std::string FormatRecordHex(const RemoteCommand& record) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < record.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02X", record[i]);
    if (i) out += ' ';
    out += buf;
  }
  return out;
}

}  // namespace quorvel
