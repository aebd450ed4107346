#include "speech/recognizer.h"

#include "app/converter_state.h"

namespace quorvel {

bool StartRecognizer(ConverterState& state) {
  state.recognitionActive = 0;
  return false;
}

void StopRecognizer(ConverterState& state) { state.recognitionActive = 0; }

bool ReloadGrammar(ConverterState&, bool) { return false; }

void DrainRecognitionEvents(ConverterState&) {}

}  // namespace quorvel
