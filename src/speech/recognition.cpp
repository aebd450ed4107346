#include "speech/recognition.h"


#include "app/controls.h"
#include "app/converter_state.h"
#include "app/main_list.h"
#include "platform/sjis.h"
#include "robot/flashair.h"
#include "robot/local_transport.h"
#include "robot/sending.h"
#include "speech/arithmetic.h"

namespace quorvel {
namespace {

constexpr std::size_t kTextBuffer = 255;  // bytes of recognised text, terminator aside
const char kUnrecognized[] = "<Unrecognized>";

void HandleRecognition(ConverterState& state, const speech::RecoEvent& event, bool act) {
  std::string utf8;
  if (!event.result || speech::Failed(event.result->GetText(utf8))) utf8 = kUnrecognized;
  std::string text = RecognisedText(utf8);
  if (state.mainWindow) {
    state.mainWindow->SetControlText(ctl::kRecognisedLabel, text);
    state.mainWindow->SetControlText(ctl::kSendEdit, "");
  }
  if (act) OnRecognition(state, text);
}

void SendSpokenArithmetic(ConverterState& state, const ArithmeticExpr& expr) {
  // The shown expression lives in a 32-byte buffer; it always fits.
  std::string shown = std::to_string(expr.left) + std::string(OperatorSymbol(expr.op)) +
                      std::to_string(expr.right);
  if (state.mainWindow) state.mainWindow->SetControlText(ctl::kSendEdit, shown);
  if (state.connectType == 2) SendArithmeticFlashAir(state, expr);
  else if (state.connectType == 1) SendArithmeticLocal(state, expr);
}

}  // namespace

std::string RecognisedText(const std::string& utf8) {
  return std::string(sjis::TruncateAtChar(sjis::FromUtf8Lossy(utf8), kTextBuffer));
}

void DrainRecognitionEvents(ConverterState& state) { DrainRecognitionEvents(state, true); }

void DrainRecognitionEvents(ConverterState& state, bool act) {
  if (state.recognitionActive == 0) return;
  speech::RecoEvent event;
  for (;;) {
    event.Clear();
    // A send may stop the session (a message box, a nested drain); the queue
    // ends with it.
    auto context = state.recoContext;
    if (!context || context->GetEvent(event) != speech::kOk) break;
    if (event.eventId == speech::kRecognitionEvent) HandleRecognition(state, event, act);
  }
  event.Clear();
}

void OnRecognition(ConverterState& state, const std::string& text) {
  int index = FindItemByName(state, text);
  if (index != -1) {
    if (state.suppressWhilePlaying != 0) {
      if (state.suppressUntil > state.clock()) return;
      const VoiceItem& item = state.items[static_cast<std::size_t>(index)];
      state.suppressUntil = state.clock() + (static_cast<std::int32_t>(item.duration) + 1) * 1000;
    }
    PlayItem(state, index);
    return;
  }
  if (state.undefinedIndex != -1) {
    PlayItem(state, state.undefinedIndex);
    return;
  }
  ArithmeticExpr expr;
  if (state.arithmeticEnabled && ParseArithmetic(text, expr)) SendSpokenArithmetic(state, expr);
}

}  // namespace quorvel
