// The settings dialog (template 130): model mask, volume, connect type with
// the FlashAir card's address, suppression while playing, and the remote
// folder button.
#pragma once
#include <string>

#include "ui/dialog_host.h"

namespace quorvel {
class ConverterState;

namespace settings_ctl {
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kRemoteFolderButton = 4;
constexpr int kTemmoCheck = 1032;
constexpr int kNumureCheck = 1033;
constexpr int kLocalRadio = 1034;
constexpr int kFlashAirRadio = 1035;
constexpr int kVolumeEdit = 1036;
constexpr int kSuppressCheck = 1037;
constexpr int kFlashAirHostEdit = 1038;  // the card's HOST[:PORT]
}  // namespace settings_ctl

class CDefineDlg : public ui::DialogController {
 public:
  explicit CDefineDlg(ConverterState* s) : state(s) {}
  void OnInit(ui::DialogHost& dialog) override;
  void OnCommand(ui::DialogHost& dialog, int controlId) override;
  ConverterState* state;
};

void OpenSettings(ConverterState& state);
void ShowSettings(ConverterState& state, ui::DialogHost& dialog);
bool ApplySettings(ConverterState& state, ui::DialogHost& dialog);

// A dialog box's signed integer: blanks, an optional '-', then digits only;
// anything else, or a value beyond 32 bits, reads as 0.
int ReadDialogInt(const std::string& text);

}  // namespace quorvel
