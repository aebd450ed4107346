// Runs the recogniser session as the window would, with WAV files one after
// the other as the microphone, and prints "WAV<TAB>text" per recognition.
#include "cli/recognize.h"

#include <cstdlib>
#include <iostream>

#include "app/controls.h"
#include "app/converter_state.h"
#include "catalogue/catalogue.h"
#include "cli/arguments.h"
#include "cli/stderr_host.h"
#include "platform/paths.h"
#include "speech/engine/pocketsphinx_engine.h"
#include "speech/recognition.h"
#include "speech/recognizer.h"
#include "speech/wav_session.h"

namespace quorvel::cli {
namespace {

// Label 1033 is where a recognition is shown; the command line collects it.
class RecognitionHost : public StderrHost {
 public:
  void SetControlText(int id, const std::string& text) override {
    StderrHost::SetControlText(id, text);
    if (id == ctl::kRecognisedLabel) heard.push_back(text);
  }
  std::vector<std::string> heard;
};

}  // namespace

int RunRecognize(const RecognizeArgs& a) {
  std::vector<std::vector<std::int16_t>> audio;
  for (const auto& wav : a.wavs) {
    std::string error;
    audio.emplace_back();
    if (!speech::LoadWav(wav, audio.back(), error)) {
      std::cerr << error << "\n";
      return 1;
    }
  }
  WavHandshake handshake;
  speech::SphinxOptions sphinx;
  sphinx.audioFiles = std::move(audio);
  const char* trace = std::getenv("QUORVEL_SPEECH_TRACE");
  sphinx.trace = trace && *trace == '1';
  sphinx.audioOptions.onFileDone = handshake.FileDoneHook();

  StateOptions options;
  if (!a.ini.empty() && !ToInternal(a.ini, options.iniPath, "INI file")) return 1;
  options.speechEngine = std::make_shared<speech::PocketSphinxEngine>(std::move(sphinx));
  RecognitionHost host;
  ConverterState state(options);
  state.mainWindow = &host;
  state.connectType = state.ReadIniInt("REMOTE", "CONNECT_TYPE", 1);
  if (a.dataSet >= 0) state.dataSet = a.dataSet;
  if (a.general) state.generalDictation = true;
  if (!a.dictionary.empty() && !ToInternal(a.dictionary, state.dictionaryPath, "dictionary")) return 1;
  if (!a.catalogue.empty()) {
    std::string file;
    if (!ToInternal(a.catalogue, file, "catalogue")) return 1;
    if (state.dataSet == kDictionaryDataSet) state.dictionaryPath = file;
    else state.catalogueOverride = file;
  }
  if (state.dataSet == kDictionaryDataSet)
    state.arithmeticEnabled = IsArithmeticDictionary(state.dictionaryPath);
  if (!state.catalogueOverride.empty()) LoadCatalogueFile(state, state.dataSet, state.catalogueOverride);
  else LoadCatalogue(state, state.dataSet);
  if (state.dataSet == kProgramDataSet) ScanProgramFolder(state);
  state.notifyWindow = handshake.NotifyHook();
  if (!StartRecognizer(state)) return 1;

  handshake.Run(state, a.wavs.size(), a.act, [&](std::size_t file) {
    if (host.heard.empty()) std::cout << a.wavs[file] << "\t\n";
    for (const auto& text : host.heard) std::cout << a.wavs[file] << "\t" << sjis::ToUtf8(text) << "\n";
    std::cout.flush();
    host.heard.clear();
  });
  StopRecognizer(state);
  return 0;
}

}  // namespace quorvel::cli
