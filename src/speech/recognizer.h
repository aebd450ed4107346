// The recogniser session of the program's state. The speech engine is not
// wired in yet: starting leaves recognition off, stopping releases nothing,
// and a grammar reload reports that no recogniser runs.
#pragma once

namespace quorvel {
class ConverterState;
bool StartRecognizer(ConverterState& state);
void StopRecognizer(ConverterState& state);
bool ReloadGrammar(ConverterState& state, bool askForFile);
// Handles the recognitions queued since the last notification.
void DrainRecognitionEvents(ConverterState& state);
}  // namespace quorvel
