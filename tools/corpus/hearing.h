// The real recogniser hearing recordings in a folder that holds the
// catalogues, Quorvel.ini and the card: a fresh state and session per call,
// the WAV handshake, and per recording what label 1033 showed and what the
// command file held afterwards.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "speech/engine/pocketsphinx_engine.h"

namespace quorvel {
class ConverterState;
}

namespace quorvel::corpus {

struct Heard {
  std::vector<std::string> texts;  // UTF-8, as label 1033 showed them
  std::string commandFile;         // REMOTE.LOG after the recording
  std::int64_t commandWrittenNs = 0;  // its mtime, CLOCK_REALTIME
};

struct Hearing {
  std::vector<Heard> files;
  speech::SphinxStats stats;
  std::vector<std::string> messages;  // message boxes shown, UTF-8
  bool started = false;
};

// folder: the working folder (catalogues, Quorvel.ini, card/). setup runs on
// the state before the session starts (data set, dictionary...).
Hearing HearInFolder(const std::string& folder, speech::SphinxOptions options, bool act,
                     const std::function<void(ConverterState&)>& setup = {});

}  // namespace quorvel::corpus
