#include "app/main_list.h"

#include "app/controls.h"
#include "app/converter_state.h"
#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "speech/recognizer.h"

namespace quorvel {

int FindItemByName(const ConverterState& state, const std::string& text) {
  for (int i = 0; i < state.itemCount; ++i) {
    const auto& name = state.items[static_cast<std::size_t>(i)].name;
    if (name && *name == text) return i;
  }
  return -1;
}

void FillList(ConverterState& state) {
  ui::DialogHost* w = state.mainWindow;
  if (!w) return;
  w->ListReset(ctl::kList);
  if (state.dataSet == kProgramDataSet) w->ListAdd(ctl::kList, LoadString(IDS_PROGRAM_FOLDER_ROW));
  const unsigned mask = state.modelMask & 0xFFu;
  for (int i = 0; i < state.itemCount; ++i) {
    const VoiceItem& item = state.items[static_cast<std::size_t>(i)];
    bool shown = state.dataSet == kProgramDataSet
                     ? item.flags == 1
                     : (item.flags == 0 || (item.flags & mask) != 0);
    // A nameless entry has no line to show.
    if (shown && item.name) w->ListAdd(ctl::kList, *item.name);
  }
  w->SetControlText(ctl::kRecognisedLabel, "");
  w->SetControlText(ctl::kReadingEdit, "");
  w->SetControlText(ctl::kSendEdit, "");
}

bool SwitchDataSet(ConverterState& state, int dataSet) {
  ClearItems(state, false);
  if (!LoadCatalogue(state, dataSet)) return false;
  if (dataSet == kProgramDataSet) ScanProgramFolder(state);
  state.dataSet = dataSet;
  if (!state.generalDictation) {
    bool ask = dataSet == kDictionaryDataSet && state.dictionaryPath.empty();
    ReloadGrammar(state, ask);
    if (dataSet == kDictionaryDataSet && state.itemCount == 0 && !state.dictionaryPath.empty())
      LoadCatalogue(state, kDictionaryDataSet);
  }
  FillList(state);
  if (ui::DialogHost* w = state.mainWindow) {
    w->EnableControl(ctl::kDictionaryButton, dataSet == kDictionaryDataSet);
    w->EnableControl(ctl::kRegisterButton, dataSet != kDictionaryDataSet);
  }
  return true;
}

void ShowSelectedReading(ConverterState& state) {
  ui::DialogHost* w = state.mainWindow;
  if (!w) return;
  int sel = w->ListSelection(ctl::kList);
  if (sel < 0) return;
  int i = FindItemByName(state, w->ListText(ctl::kList, sel));
  if (i < 0) return;
  const auto& reading = state.items[static_cast<std::size_t>(i)].reading;
  w->SetControlText(ctl::kReadingEdit, reading ? *reading : std::string());
}

}  // namespace quorvel
