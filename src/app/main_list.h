// The main window's list of the loaded catalogue. The list box of the window
// is not part of the host yet, so filling it has nothing to write into.
#pragma once

namespace quorvel {
class ConverterState;
void FillList(ConverterState& state);
}  // namespace quorvel
