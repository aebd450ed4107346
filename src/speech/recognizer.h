// The recogniser session of the program's state: starting and stopping it,
// loading the current catalogue as its command grammar, and switching rules
// and dictation when the catalogue, the dictionary or the mode changes.
// Everything here runs on the UI thread.
#pragma once
#include <string>

#include "speech/engine/engine.h"

namespace quorvel {
class ConverterState;

bool StartRecognizer(ConverterState& state);
void StopRecognizer(ConverterState& state);
// path: internal form. Negative result: the session has been stopped and the
// user told (message 129 or 130).
speech::HResult LoadGrammar(ConverterState& state, const std::string& path);
bool ReloadGrammar(ConverterState& state, bool askForFile);

// The grammar file of the current data set (internal form).
std::string GrammarFileOf(const ConverterState& state);

}  // namespace quorvel
