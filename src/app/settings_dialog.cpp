#include "app/settings_dialog.h"

#include <climits>

#include "app/converter_state.h"
#include "app/main_list.h"
#include "app/strings.h"
#include "robot/flashair.h"
#include "robot/local_transport.h"
#include "ui/dialog_template.h"

namespace quorvel {
using namespace settings_ctl;

int ReadDialogInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  if (i >= text.size()) return 0;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return 0;
  }
  if (negative) value = -value;
  return value > INT_MAX || value < INT_MIN ? 0 : static_cast<int>(value);
}

void CDefineDlg::OnInit(ui::DialogHost& dialog) { ShowSettings(*state, dialog); }

void CDefineDlg::OnCommand(ui::DialogHost& dialog, int controlId) {
  if (controlId == kOk) {
    if (ApplySettings(*state, dialog)) dialog.EndDialog(kOk);
  } else if (controlId == kCancel) {
    dialog.EndDialog(kCancel);
  } else if (controlId == kRemoteFolderButton) {
    SetupRemoteFolder(*state);
  }
}

void OpenSettings(ConverterState& state) {
  if (!state.mainWindow) return;
  CDefineDlg dlg(&state);
  if (state.mainWindow->RunModal(ui::kSettingsDialogId, dlg) == kOk && state.modelMaskChanged)
    FillList(state);
}

void ShowSettings(ConverterState& state, ui::DialogHost& dialog) {
  dialog.SetCheck(kTemmoCheck, (state.modelMask & 1u) != 0);
  dialog.SetCheck(kNumureCheck, (state.modelMask & 2u) != 0);
  dialog.SetCheck(kFlashAirRadio, state.connectType == 2);
  dialog.SetCheck(kLocalRadio, state.connectType != 2);
  dialog.SetControlText(kVolumeEdit, std::to_string(state.ReadIniInt("SOUND", "DEFAULT", 50)));
  dialog.SetCheck(kSuppressCheck, state.suppressWhilePlaying != 0);
  dialog.SetControlText(kFlashAirHostEdit, FormatCardTarget(state.flashAir));
}

bool ApplySettings(ConverterState& state, ui::DialogHost& dialog) {
  int volume = ReadDialogInt(dialog.GetControlText(kVolumeEdit));
  if (static_cast<unsigned>(volume) > 100u) {
    state.ShowMessage(IDS_VOLUME_RANGE);
    dialog.SetFocus(kVolumeEdit);
    return false;
  }
  // A card in station mode has an address of the home network.
  FlashAirTarget card = state.flashAir;
  const std::string address = dialog.GetControlText(kFlashAirHostEdit);
  if (!ParseCardTarget(address, card) || address.find_first_of(" /@?#") != std::string::npos) {
    state.ShowMessage(IDS_CARD_ADDRESS);
    dialog.SetFocus(kFlashAirHostEdit);
    return false;
  }
  state.WriteIniString("SOUND", "DEFAULT", std::to_string(volume));
  state.WriteIniString("REMOTE", "FLASHAIR_HOST", FormatCardTarget(card));
  state.flashAir = card;
  std::uint32_t mask = (dialog.GetCheck(kTemmoCheck) ? 1u : 0u) |
                       (dialog.GetCheck(kNumureCheck) ? 2u : 0u);
  state.modelMaskChanged = mask != state.modelMask;
  if (state.modelMaskChanged) {
    state.modelMask = mask;
    state.WriteIniString("DATA", "VERSION", std::to_string(mask));
  }
  state.connectType = dialog.GetCheck(kFlashAirRadio) ? 2 : 1;
  state.WriteIniString("REMOTE", "CONNECT_TYPE", std::to_string(state.connectType));
  state.suppressWhilePlaying = dialog.GetCheck(kSuppressCheck) ? 1 : 0;
  state.WriteIniString("SPEECH", "DISABLE_TIME", state.suppressWhilePlaying ? "1" : "0");
  return true;
}

}  // namespace quorvel
