#include "speech/recognizer.h"

#include "app/controls.h"
#include "app/converter_state.h"
#include "app/strings.h"
#include "catalogue/voice_item.h"
#include "platform/paths.h"
#include "ui/dialog_host.h"

namespace quorvel {
namespace {

using speech::Failed;
using speech::RuleState;


void SetCheckbox(ConverterState& state, bool checked) {
  if (state.mainWindow) state.mainWindow->SetCheck(ctl::kRecogniserCheck, checked);
}

// Releases the grammar and the context; the context's notification first, so
// nothing arrives for a session that is gone.
void ReleaseSession(ConverterState& state) {
  if (state.recoContext) state.recoContext->SetNotifyCallback({});
  state.recoContext.reset();
  state.grammar.reset();
}

// Message 128 speaks of a control panel; the details say what really failed.
bool StartFailed(ConverterState& state, const std::string& cause) {
  state.recognitionActive = 0;
  SetCheckbox(state, false);
  std::string details = cause;
  if (state.speechEngine && !state.speechEngine->LastError().empty())
    details += ": " + state.speechEngine->LastError();
  state.ShowMessage(IDS_SPEECH_INIT_FAILED, LoadString(IDS_SPEECH_INIT_FAILED), details);
  ReleaseSession(state);
  return false;
}

}  // namespace

std::string GrammarFileOf(const ConverterState& state) {
  if (state.dataSet == kDictionaryDataSet) return state.dictionaryPath;
  if (!state.catalogueOverride.empty()) return state.catalogueOverride;
  const char* name = CatalogueFileName(state.dataSet);
  return name ? name : "";
}

bool StartRecognizer(ConverterState& state) {
  if (state.recoContext) {
    state.recognitionActive = 1;
    SetCheckbox(state, true);
    return true;
  }
  speech::Engine* engine = state.speechEngine.get();
  if (!engine || Failed(engine->Initialize())) return StartFailed(state, "No speech recogniser is available");
  std::shared_ptr<speech::Recognizer> recognizer;
  if (Failed(engine->CreateRecognizer(recognizer)))
    return StartFailed(state, "The recogniser could not be created");
  if (Failed(recognizer->CreateRecoContext(state.recoContext))) {
    state.recoContext.reset();
    return StartFailed(state, "The recogniser could not be set up");
  }
  if (!Failed(state.recoContext->SetNotifyCallback(state.notifyWindow)))
    state.recoContext->SetInterest(speech::kRecognitionInterest, speech::kRecognitionInterest);

  std::shared_ptr<speech::AudioInput> audio;
  {
    std::shared_ptr<speech::AudioToken> token;
    if (!Failed(engine->GetDefaultAudioInputToken(token)) && token) token->CreateInstance(audio);
  }
  recognizer->SetInput(audio, true);
  audio.reset();

  if (Failed(recognizer->SetRecoState(speech::RecoState::Active)))
    return StartFailed(state, "The recogniser could not listen: no microphone could be opened");
  if (Failed(state.recoContext->CreateGrammar(0, state.grammar))) {
    state.grammar.reset();
    return StartFailed(state, "The recogniser could not make a grammar");
  }
  if (Failed(state.grammar->LoadDictation())) return StartFailed(state, "The dictation model could not be loaded");
  if (!state.generalDictation) {
    if (Failed(LoadGrammar(state, GrammarFileOf(state))))
      return StartFailed(state, "The recogniser refused the grammar " + platform::ToNativePath(GrammarFileOf(state)));
    if (Failed(state.grammar->SetRuleState(RuleState::Active))) return StartFailed(state, "The grammar's rules could not be switched on");
  }
  if (state.undefinedIndex != -1 || state.generalDictation) {
    if (Failed(state.grammar->SetDictationState(RuleState::Active))) return StartFailed(state, "Dictation could not be switched on");
  }
  state.recognitionActive = 1;
  SetCheckbox(state, true);
  return true;
}

void StopRecognizer(ConverterState& state) {
  if (!state.recoContext) return;
  ReleaseSession(state);
  if (state.speechEngine) state.speechEngine->Uninitialize();
}

speech::HResult LoadGrammar(ConverterState& state, const std::string& path) {
  speech::HResult r = state.grammar ? state.grammar->LoadCmdFromFile(platform::ToNativePath(path))
                                    : speech::kNotInitialized;
  if (Failed(r)) {
    StopRecognizer(state);
    SetCheckbox(state, false);
    state.ShowMessage(r == speech::kUnsupportedFormat ? IDS_GRAMMAR_INVALID
                                                      : IDS_GRAMMAR_LOAD_FAILED);
  }
  return r;
}

bool ReloadGrammar(ConverterState& state, bool askForFile) {
  if (askForFile) {
    ui::FileDialogRequest request{"XML", platform::ToNativePath(state.dictionaryPath),
                                  "音声認識辞書ﾌｧｲﾙ", "*.xml", true};
    auto chosen = state.ChooseFile(request);
    if (!chosen) return false;
    state.dictionaryPath = *chosen;
  }
  if (!state.recoContext) return false;
  if (state.generalDictation) {
    state.grammar->SetRuleState(RuleState::Inactive);
    state.grammar->SetDictationState(RuleState::Active);
    state.arithmeticEnabled = false;
    return true;
  }
  if (Failed(LoadGrammar(state, GrammarFileOf(state)))) return false;
  state.grammar->SetDictationState(state.undefinedIndex != -1 ? RuleState::Active
                                                               : RuleState::Inactive);
  state.grammar->SetRuleState(RuleState::Active);
  state.arithmeticEnabled =
      state.dataSet == kDictionaryDataSet && IsArithmeticDictionary(state.dictionaryPath);
  return true;
}

}  // namespace quorvel
