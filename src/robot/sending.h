// Choosing what to send: Direct Send on the list selection or the typed text,
// playing one catalogue entry through the configured connection, and the
// program list's folder row. Works on the state's main window controls.
#pragma once

namespace quorvel {
class ConverterState;

// What a send came to. The window ignores it; the command line reports it.
enum class SendResult { Sent, Failed, Nothing };

SendResult SendSelection(ConverterState& state, bool typed);
SendResult PlayItem(ConverterState& state, int index);
void UpdateProgramFolder(ConverterState& state);


}  // namespace quorvel
