// The 16-byte command record written as the whole of the robot's REMOTE.LOG.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "speech/arithmetic.h"

namespace quorvel {

using RemoteCommand = std::array<std::uint8_t, 16>;

constexpr std::int16_t kRunProgramVoiceId = 904;
constexpr std::uint16_t kArithmeticVoiceId = 911;

// Short form for data sets 0, 1, 4 and 5; timed form otherwise.
RemoteCommand MakeVoiceCommand(std::int16_t voiceId, std::int16_t duration,
                               std::int16_t volume, int dataSet, std::int32_t remoteInterval);
RemoteCommand MakeArithmeticCommand(const ArithmeticExpr& expr);
RemoteCommand MakeRunProgramCommand();

// "FE FF 7B 00 ...": upper-case hex pairs separated by single spaces.
std::string FormatRecordHex(const RemoteCommand& record);

}  // namespace quorvel
