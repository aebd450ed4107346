// Delivery through a folder of this computer: the robot's card on USB or the
// simulator's card folder. Writes the command record as the whole of
// remoteDir + ADDON\REMOTE.LOG and copies programs to ADDON\TEMP.TXA.
#pragma once
#include <cstdint>
#include <string>

#include "speech/arithmetic.h"

namespace quorvel {
class ConverterState;

bool SendVoiceLocal(ConverterState& state, std::int16_t voiceId, std::int16_t duration,
                    std::int16_t volume);
bool SendArithmeticLocal(ConverterState& state, const ArithmeticExpr& expr);
bool RunProgramLocal(ConverterState& state, const std::string& programPath);
// Lets the user locate REMOTE.LOG; stores remoteDir and REMOTE/REMOTE_DIR.
bool SetupRemoteFolder(ConverterState& state);

// remoteDir followed directly by the command file's name, internal form.
std::string CommandFilePath(const ConverterState& state);

}  // namespace quorvel
