// The program's recogniser on PocketSphinx with the en-us model. A worker
// thread reads the audio input, cuts utterances by voice activity and
// decodes each with the catalogue grammar and, while dictation is active,
// with the en-us language model; the better-scoring reading is queued.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "speech/engine/audio_input.h"
#include "speech/engine/engine.h"
#include "speech/grammar/search_graph.h"

namespace quorvel::speech {

struct SphinxOptions {
  std::string modelDir = "/usr/share/pocketsphinx/model/en-us";
  // WAV files (already loaded) heard in place of the microphone.
  std::vector<std::vector<std::int16_t>> audioFiles;
  WavFileInput::Options audioOptions;
  // Frames of quiet (10 ms each) that end an utterance.
  int endSilenceFrames = 15;
  // While dictation is active the grammar competes with a loop of free
  // sounds; the loop winning means the words were not in the grammar.
  // Higher weights reject more.
  FreeSounds freeSounds;
  // And when the grammar's words cover less of the speech than this share
  // of what the free decoding's words cover, the words were something else.
  double coverage = 0.85;
  // Prints each utterance's two scores to stderr (QUORVEL_SPEECH_TRACE=1).
  bool trace = false;
};

// Timings of the recognitions so far, for measurements.
struct SphinxStats {
  long utterances = 0;
  long audioSamples = 0;   // samples fed to the decoders
  double decodeSeconds = 0;  // thread time spent decoding
};

class PocketSphinxEngine : public Engine {
 public:
  explicit PocketSphinxEngine(SphinxOptions options = {});
  ~PocketSphinxEngine() override;
  HResult Initialize() override;
  void Uninitialize() override;
  HResult CreateRecognizer(std::shared_ptr<Recognizer>& out) override;
  HResult GetDefaultAudioInputToken(std::shared_ptr<AudioToken>& out) override;

  SphinxStats Stats() const;
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};

}  // namespace quorvel::speech
