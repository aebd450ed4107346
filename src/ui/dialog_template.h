// Dialog templates as data: every control of the three dialogs with its id,
// kind, style, text and position in dialog units. A host builds its widgets
// from these; the core only refers to the ids.
#pragma once
#include <string_view>
#include <vector>

namespace quorvel::ui {

constexpr int kStaticId = -1;  // a control nobody addresses (labels, frames)

enum class ControlKind { PushButton, RadioButton, CheckBox, Edit, Static, GroupBox, ListBox, Icon };

// Style flags; several apply to one control.
enum Style : unsigned {
  kNone = 0,
  kGroup = 1u << 0,            // starts a new group (tab stop / radio group)
  kDisabled = 1u << 1,         // disabled when created
  kDefaultButton = 1u << 2,    // pressed by Enter
  kCancelButton = 1u << 3,     // the cancel command (also Esc)
  kAutoHScroll = 1u << 4,      // edit scrolls horizontally
  kBorder = 1u << 5,
  kNotify = 1u << 6,           // list sends selection and double-click notifications
  kVScroll = 1u << 7,
  kNoIntegralHeight = 1u << 8,
  kUnsorted = 1u << 9,
  kAuto = 1u << 10,            // check box / radio toggles itself
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  unsigned style;
  std::string_view text;  // UTF-8; hosts show it as it stands
  int x, y, width, height;
};

struct DialogTemplate {
  int id;
  std::string_view title;  // UTF-8
  int width, height;
  std::string_view font;
  int pointSize;
  bool minimizeBox;
  bool showInTaskbar;
  std::vector<ControlTemplate> controls;  // creation (tab) order

  const ControlTemplate* Find(int controlId) const;
};

constexpr int kMainDialogId = 102;
constexpr int kSettingsDialogId = 130;
constexpr int kAboutDialogId = 100;
constexpr int kAboutIniText = 1001;  // names the settings file in use
constexpr int kIconId = 128;

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& SettingsDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
// nullptr for an unknown id.
const DialogTemplate* FindDialogTemplate(int dialogId);

}  // namespace quorvel::ui
