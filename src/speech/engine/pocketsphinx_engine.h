// The program's recogniser on PocketSphinx with the en-us model. A worker
// thread reads the audio input, cuts utterances by voice activity and
// decodes each with the catalogue grammar and, while dictation is active,
// with a free model of other speech and the en-us language model.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <thread>
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
  // Frames of quiet (10 ms each) after which the voice detection says the
  // speech has ended: longer than a pause inside a phrase (up to 300 ms),
  // and enough to end a whole phrase of the grammar that no longer phrase
  // continues.
  int endSilenceFrames = 33;
  // How far above the room's noise (the natural log of their ratio) a frame
  // must rise for the voice detection to call it speech. The model's own
  // 2.0 hears other voices talking all the time in the room (a television)
  // as speech that does not end; 3.0 ends it and helps in pink noise, but
  // loses words of the Japanese voices at a telephone's band and in noise.
  double vadThreshold = 2.0;
  // Frames of quiet after the speech that end any other utterance.
  int holdFrames = 45;
  // Weight of each phone on the grammar's paths (the decoder's phone
  // insertion probability): above 1, a short phrase stretched over the
  // sound of a longer one no longer wins over it.
  double grammarPhoneWeight = 2.0;
  // Gaussians of each codebook the grammar's decoder weighs per frame (the
  // model's own default is 4): more tell close phrases apart, in noise
  // above all, for little time. The free model keeps the default, being
  // only the measure the grammar's score is compared with.
  int grammarGaussians = 8;
  // While dictation is active beside the grammar (the catalogue has an
  // UNDEFINE entry), the grammar's reading is weighed against a free model
  // of other speech: an utterance whose acoustic score under the grammar
  // is worse than under the free model by more than this, per frame, was
  // not in the grammar (for a Japanese catalogue, the less sure the
  // grammar is of its phrase among the others, the more is taken off its
  // score first). One threshold per language of the catalogue.
  double rejectJapanese = -6.7, rejectEnglish = -8.2;
  // How far steady noise is pressed down before the decoders hear the
  // sound, in dB (below 0); 0 hears the microphone as it is. Off for now:
  // it helps in a room's steady noise once it has learnt it, but where the
  // sound starts out of digital quiet (between WAV files, a virtual source)
  // it is still learning when the words come, and distorts them.
  int noiseSuppressDb = 0;
  // Beside the catalogue's phrases the grammar has a path of noise alone,
  // entered with this probability (0: none, at most 0.9): a sound that is no speech
  // (a fan starting, a door) ends there and makes no command.
  double noisePath = 0.1;
  // How the frequency axis is scaled before the model hears it (1: as it
  // is; above 1: pressed down, as for a shorter voice than the model's).
  double frequencyWarp = 1.0;
  // A second grammar decoder hears every utterance played this much slower
  // (1 or less: no such decoder), so that all its frequencies come down
  // alike: a woman's or a child's voice is shorter than most of the model's
  // speakers, and scores better so. The reading comes from the one of the
  // two that has scored better per frame over the session's recent phrases,
  // so the speaker's voice decides, not one utterance's chance, and a new
  // speaker takes over within some ten phrases. The free model of other
  // speech then hears the sound as slowly, so rejection weighs the chosen
  // decoder's score against one of the same voice. While the plain one is
  // clearly ahead, the slower one hears only every fourth utterance, to
  // save decoding time: every one again while it scores better, and after a
  // phrase the plain one scored clearly worse than of late (a new voice).
  double shorterVoiceWarp = 1.25;
  // A third grammar decoder hears the sound slower still (a child's voice,
  // shorter again; at most shorterVoiceWarp: none). It listens only while
  // the shorter voice is ahead of the plain one, and its readings count
  // once it has scored clearly better than the shorter voice's over the
  // session's phrases that were taken; it pauses and hears now and then as
  // the shorter one does.
  double shortestVoiceWarp = 1.45;
  // Further options of the grammar's decoder as name, value pairs (for
  // measurements).
  std::vector<std::string> decoderArgs;
  // Prints each utterance's two scores to stderr (QUORVEL_SPEECH_TRACE=1).
  bool trace = false;
};

// Timings of the recognitions so far, for measurements.
struct SphinxStats {
  long utterances = 0;
  long audioSamples = 0;   // samples fed to the decoders
  double decodeSeconds = 0;  // thread time spent decoding
  // Each utterance weighed against the free model: the samples fed when it
  // ended, the grammar's reading (UTF-8) and its margin.
  struct Weighed {
    long atSample;
    std::string grammar;
    double difference;  // grammar's acoustic score less the free model's
    int frames, speechFrames;  // all, and those the free model put sounds in
    int wordFrames;            // those the grammar put words in
    double free;               // the free model's own acoustic score
    int rung;                  // the voice both heard it as: 0 plain, higher ones played slower
    double confidence;         // how sure the grammar was of its phrase (0 sure, below 0 less)
    double margin;             // what was set against the threshold: per frame, less for doubt
  };
  std::vector<Weighed> weighed;
  // The samples fed when each utterance ended at the quiet after it,
  // whatever it came to (not those a recording's end cut off).
  std::vector<long> endedAt;
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
  std::string LastError() const override;

  // Loads the models on a thread of its own (the window starts meanwhile):
  // a decoder of each kind and the pronouncing dictionary, ready for the
  // first start. Until that is done, Ready() is false.
  void Preload();
  bool Ready() const override;
  void WhenReady(std::function<void()> ready) override;
  void CancelWhenReady() override;
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::thread preload_;
};

}  // namespace quorvel::speech
