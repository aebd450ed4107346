// The main window, the settings dialog and the About box, control by control.
#include "ui/dialog_template.h"

namespace quorvel::ui {
namespace {

using K = ControlKind;
constexpr unsigned kEditStyle = kAutoHScroll | kBorder;

DialogTemplate MakeMain() {
  return {kMainDialogId, "クオルベル", 257, 377, "MS UI Gothic", 9, false, true,
          {
              {1011, K::RadioButton, kAuto | kGroup, "認識語", 150, 5, 47, 12},
              {1012, K::RadioButton, kAuto, "英語", 150, 20, 47, 12},
              {1013, K::RadioButton, kAuto, "テモ", 150, 35, 47, 12},
              {1014, K::RadioButton, kAuto, "ウラ声", 150, 50, 47, 12},
              {1015, K::RadioButton, kAuto, "プログラム", 150, 65, 47, 12},
              {1016, K::RadioButton, kAuto, "専用辞書", 150, 80, 47, 12},
              {1037, K::CheckBox, kAuto, "音声認識", 150, 96, 45, 13},
              {1033, K::Static, kGroup, "", 158, 132, 78, 20},
              {3, K::PushButton, kNone, "直接送信", 165, 232, 50, 20},
              {6, K::PushButton, kNone, "登録", 165, 264, 50, 20},
              {8, K::PushButton, kNone, "設定", 165, 315, 50, 20},
              {2, K::PushButton, kCancelButton, "閉じる", 165, 348, 50, 20},
              {1026, K::Edit, kEditStyle, "", 165, 214, 50, 12},
              {1000, K::ListBox, kNotify | kVScroll | kBorder | kUnsorted | kNoIntegralHeight, "",
               9, 7, 128, 363},
              {kStaticId, K::Static, kNone, "認識語彙", 150, 118, 38, 10},
              {1032, K::Edit, kEditStyle, "", 156, 178, 78, 12},
              {kStaticId, K::Static, kNone, "登録語彙", 150, 160, 38, 10},
              {1038, K::CheckBox, kAuto, "汎用辞書", 199, 97, 45, 13},
              {9, K::PushButton, kDisabled, "辞書設定", 198, 77, 36, 16},
          }};
}

DialogTemplate MakeSettings() {
  return {kSettingsDialogId, "設定ダイアログ", 231, 170, "MS Shell Dlg", 8, false, false,
          {
              {1, K::PushButton, kDefaultButton, "OK", 113, 147, 50, 14},
              {2, K::PushButton, kCancelButton, "キャンセル", 174, 147, 50, 14},
              {1032, K::CheckBox, kAuto, "テモ", 38, 19, 35, 13},
              {1033, K::CheckBox, kAuto, "ヌムレ", 76, 19, 35, 13},
              {1034, K::RadioButton, kAuto | kGroup, "USB/シミュレーター", 51, 57, 74, 13},
              {1035, K::RadioButton, kAuto, "FlashAir", 146, 57, 48, 13},
              {1036, K::Edit, kEditStyle | kGroup, "", 186, 21, 29, 12},
              {kStaticId, K::GroupBox, kNone, "音声", 9, 6, 210, 30},
              {kStaticId, K::GroupBox, kNone, "インターフェイス", 9, 45, 210, 55},
              {kStaticId, K::Static, kNone, "再生音量(0 - 100)", 118, 21, 65, 9},
              {4, K::PushButton, kNone, "リモートフォルダー設定", 44, 75, 74, 14},
              {1038, K::Edit, kEditStyle, "", 146, 76, 66, 12},
              {1037, K::CheckBox, kAuto, "再生時間音声認識抑制", 38, 122, 120, 13},
              {kStaticId, K::GroupBox, kNone, "音声認識", 9, 109, 210, 34},
          }};
}

DialogTemplate MakeAbout() {
  return {kAboutDialogId, "バージョン情報 Quorvel", 170, 80, "MS Shell Dlg", 8, false, false,
          {
              {kStaticId, K::Icon, kNone, "", 14, 14, 21, 20},
              {kStaticId, K::Static, kNone, "Quorvel Version 1.60", 42, 14, 114, 8},
              {kStaticId, K::Static, kNone, "テモ・ヌムレ ロボット リモコン", 42, 26, 114, 8},
              // The settings file in use: beside the program or in the user's folder.
              {kAboutIniText, K::Static, kNone, "", 14, 40, 149, 16},
              {1, K::PushButton, kDefaultButton | kGroup, "OK", 113, 59, 50, 14},
          }};
}

}  // namespace

const ControlTemplate* DialogTemplate::Find(int controlId) const {
  for (const auto& c : controls)
    if (c.id == controlId) return &c;
  return nullptr;
}

const DialogTemplate& MainDialogTemplate() {
  static const DialogTemplate t = MakeMain();
  return t;
}
const DialogTemplate& SettingsDialogTemplate() {
  static const DialogTemplate t = MakeSettings();
  return t;
}
const DialogTemplate& AboutDialogTemplate() {
  static const DialogTemplate t = MakeAbout();
  return t;
}

const DialogTemplate* FindDialogTemplate(int dialogId) {
  switch (dialogId) {
    case kMainDialogId: return &MainDialogTemplate();
    case kSettingsDialogId: return &SettingsDialogTemplate();
    case kAboutDialogId: return &AboutDialogTemplate();
    default: return nullptr;
  }
}

}  // namespace quorvel::ui
