#include "robot/sending.h"

#include <string>

#include "app/controls.h"
#include "app/converter_state.h"
#include "app/main_list.h"
#include "app/strings.h"
#include "platform/decimal.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/sjis.h"
#include "robot/flashair.h"
#include "robot/local_transport.h"
#include "speech/arithmetic.h"

namespace quorvel {
namespace {

constexpr int kLocal = 1;
constexpr int kFlashAir = 2;

SendResult From(bool ok) { return ok ? SendResult::Sent : SendResult::Failed; }

std::int16_t Volume(const ConverterState& state) {
  return static_cast<std::int16_t>(state.ReadIniInt("SOUND", "DEFAULT", 50));
}

SendResult SendVoice(ConverterState& state, std::int16_t id, std::int16_t duration) {
  std::int16_t volume = Volume(state);
  if (state.connectType == kFlashAir) return From(SendVoiceFlashAir(state, id, duration, volume));
  if (state.connectType == kLocal) return From(SendVoiceLocal(state, id, duration, volume));
  return SendResult::Nothing;
}

SendResult SendTyped(ConverterState& state) {
  ui::DialogHost* w = state.mainWindow;
  std::string text(sjis::TruncateAtChar(w->GetControlText(ctl::kSendEdit), 255));
  if (text.empty()) return SendResult::Nothing;
  ArithmeticExpr expr;
  if (ParseArithmetic(text, expr)) {
    if (state.connectType == kFlashAir) return From(SendArithmeticFlashAir(state, expr));
    if (state.connectType == kLocal) return From(SendArithmeticLocal(state, expr));
    return SendResult::Nothing;
  }
  if (state.dataSet == kProgramDataSet) {
    int i = FindItemByName(state, text);
    return i < 0 ? SendResult::Nothing : PlayItem(state, i);
  }
  int number = platform::ReadDecimal(text);
  std::int16_t duration = 0;
  for (int i = 0; i < state.itemCount; ++i) {
    const VoiceItem& item = state.items[static_cast<std::size_t>(i)];
    if (item.voiceId == number) {
      duration = item.duration;
      break;
    }
  }
  return SendVoice(state, static_cast<std::int16_t>(number), duration);
}

}  // namespace

SendResult SendSelection(ConverterState& state, bool typed) {
  ui::DialogHost* w = state.mainWindow;
  if (!w) return SendResult::Nothing;
  if (typed) return SendTyped(state);
  int sel = w->ListSelection(ctl::kList);
  if (sel < 0) {
    if (state.dataSet == kDictionaryDataSet) return SendTyped(state);
    state.ShowMessage(IDS_NO_SELECTION);
    return SendResult::Nothing;
  }
  std::string line = w->ListText(ctl::kList, sel);
  if (state.dataSet == kProgramDataSet && sel == 0) {
    UpdateProgramFolder(state);
    return SendResult::Nothing;
  }
  int i = FindItemByName(state, line);
  return i < 0 ? SendResult::Nothing : PlayItem(state, i);
}

SendResult PlayItem(ConverterState& state, int index) {
  if (index < 0 || index >= state.itemCount) return SendResult::Nothing;
  const VoiceItem& item = state.items[static_cast<std::size_t>(index)];
  ui::DialogHost* w = state.mainWindow;
  if (state.dataSet == kProgramDataSet) {
    const std::string path = item.programPath.value_or("");
    std::size_t sep = sjis::FindLastSeparator(path);
    if (w) w->SetControlText(ctl::kSendEdit, sep == std::string::npos ? path : path.substr(sep + 1));
    if (state.connectType == kFlashAir) return From(RunProgramFlashAir(state, path));
    if (state.connectType == kLocal) return From(RunProgramLocal(state, path));
    return SendResult::Nothing;
  }
  if (w) w->SetControlText(ctl::kSendEdit, std::to_string(item.voiceId));
  return SendVoice(state, item.voiceId, item.duration);
}

void UpdateProgramFolder(ConverterState& state) {
  std::string folder = state.ReadIniString("REMOTE", "PROGRAM_FOLDER", ".");
  auto chosen = state.ChooseFile(
      {"TXA", platform::ToNativePath(folder), "ﾌﾟﾛｸﾞﾗﾑﾌｧｲﾙ", "*.TXA", true});
  if (!chosen) return;
  std::size_t sep = sjis::FindLastSeparator(*chosen);
  state.WriteIniString("REMOTE", "PROGRAM_FOLDER",
                       sep == std::string::npos ? "" : chosen->substr(0, sep));
  SwitchDataSet(state, kProgramDataSet);
  std::string name = sep == std::string::npos ? *chosen : chosen->substr(sep + 1);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  if (state.mainWindow) ui::ListSelectString(*state.mainWindow, ctl::kList, 0, name);
  ShowSelectedReading(state);
}

}  // namespace quorvel
