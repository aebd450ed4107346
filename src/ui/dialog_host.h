// The window the core talks to: control texts and states, message boxes.
// The Qt window, the command line and the tests each provide one.
#pragma once
#include <string>

namespace quorvel::ui {

enum class Icon { Exclamation, Question, Stop, Information };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Shows text (Shift_JIS) titled with the program's name; stringId names the
  // string table entry the text came from.
  virtual Answer MessageBox(int stringId, const std::string& text, Icon icon,
                            Buttons buttons) = 0;

  virtual void SetCheck(int controlId, bool checked) = 0;
  virtual bool GetCheck(int controlId) const = 0;
  virtual void EnableControl(int controlId, bool enabled) = 0;
  virtual void SetControlText(int controlId, const std::string& text) = 0;
  virtual std::string GetControlText(int controlId) const = 0;
  // Asks the window to close once the current handler returns.
  virtual void PostClose() = 0;
};

}  // namespace quorvel::ui
