// Loading a catalogue file into the state's item table, emptying the table,
// and merging the program folder's files into the program catalogue.
#pragma once
#include <string>

namespace quorvel {

class ConverterState;

// Loads the catalogue of dataSet (0 to 5). False: a message was shown and the
// table is empty. Does not release earlier entries: call ClearItems first.
bool LoadCatalogue(ConverterState& state, int dataSet);

// Loads path as the catalogue of dataSet would be loaded.
bool LoadCatalogueFile(ConverterState& state, int dataSet, const std::string& path);

void ClearItems(ConverterState& state, bool releaseArray);

// Marks the program entries whose files are in the program folder and
// appends an entry for every other program file there.
void ScanProgramFolder(ConverterState& state);
// The same with folder (internal form) in place of the configured one.
void ScanProgramFolderAt(ConverterState& state, const std::string& folder);

}  // namespace quorvel
