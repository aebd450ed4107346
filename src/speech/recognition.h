// What a recognition makes the robot do: the queued recognitions are drained
// on the UI thread, shown in the window, and answered by playing the entry of
// that name, the UNDEFINE entry, or by sending spoken arithmetic.
#pragma once
#include <string>

namespace quorvel {
class ConverterState;

// Handles every recognition queued since the last notification.
void DrainRecognitionEvents(ConverterState& state);
// The same; with act false each recognition is only shown (label 1033).
void DrainRecognitionEvents(ConverterState& state, bool act);
// text: Shift_JIS, as shown in the recognised-text label.
void OnRecognition(ConverterState& state, const std::string& text);

// A recogniser's UTF-8 text as the label holds it: characters Shift_JIS
// cannot hold are dropped and the rest is cut to 255 bytes at a character.
std::string RecognisedText(const std::string& utf8);

}  // namespace quorvel
