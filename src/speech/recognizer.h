// The recogniser session of the program's state. The speech engine is not
// wired in yet: starting leaves recognition off, stopping releases nothing.
#pragma once

namespace quorvel {
class ConverterState;
bool StartRecognizer(ConverterState& state);
void StopRecognizer(ConverterState& state);
}  // namespace quorvel
