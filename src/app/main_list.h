// The main window's catalogue list: filling it from the item table, switching
// between the six catalogues, and showing the selected entry's reading. All
// three work on the state and its main window's controls.
#pragma once
#include <string>

namespace quorvel {
class ConverterState;

void FillList(ConverterState& state);
bool SwitchDataSet(ConverterState& state, int dataSet);
void ShowSelectedReading(ConverterState& state);

// Index of the first entry whose name is text byte for byte; -1 if none.
int FindItemByName(const ConverterState& state, const std::string& text);

}  // namespace quorvel
