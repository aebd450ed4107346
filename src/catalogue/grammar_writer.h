// Writing a catalogue back as its speech grammar file, and registering a new
// spoken reading for the selected entry of the main list.
#pragma once
#include <optional>
#include <string>

namespace quorvel {
class ConverterState;

// The whole file for entries 0..itemCount-1 of dataSet (0-4), CR LF line
// ends; nothing when an entry line would be longer than the loader reads in
// one piece, so the file could not be loaded again.
std::optional<std::string> FormatGrammarFile(int dataSet, const ConverterState& state);

// Writes the catalogue of dataSet beside the old file and renames it into
// place only once every byte is on disk; message 127 and the old file kept on
// any failure. Reloads the grammar unless general dictation is on.
bool WriteGrammarFile(int dataSet, ConverterState& state);

// The Register button and Enter in the reading box.
void RegisterWord(ConverterState& state);

}  // namespace quorvel
