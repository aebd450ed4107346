// quorvel-cli recognize where no recogniser can hear WAV files: the Windows
// build, whose recogniser (SAPI 5) listens to the microphone in the window.
#include <iostream>

#include "cli/recognize.h"

namespace quorvel::cli {

int RunRecognize(const RecognizeArgs&) {
  std::cerr << "quorvel-cli: recognising WAV files needs the Linux build's recogniser; "
               "on Windows, speech is heard by the window (Quorvel.exe) through SAPI 5\n";
  return 1;
}

}  // namespace quorvel::cli
