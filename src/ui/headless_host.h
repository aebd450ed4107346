// A DialogHost without a display: keeps control states in memory, records
// every message box and answers them from a script.
#pragma once
#include <deque>
#include <map>
#include <vector>

#include "ui/dialog_host.h"

namespace quorvel::ui {

struct RecordedMessage {
  int stringId;
  std::string text;  // final text, Shift_JIS
  Icon icon;
  Buttons buttons;
};

class HeadlessHost : public DialogHost {
 public:
  Answer MessageBox(int stringId, const std::string& text, Icon icon,
                    Buttons buttons) override;
  void SetCheck(int controlId, bool checked) override { checks_[controlId] = checked; }
  bool GetCheck(int controlId) const override;
  void EnableControl(int controlId, bool enabled) override { enabled_[controlId] = enabled; }
  bool IsEnabled(int controlId, bool fallback) const;
  void SetControlText(int controlId, const std::string& text) override { texts_[controlId] = text; }
  std::string GetControlText(int controlId) const override;
  void PostClose() override { closeRequested = true; }

  // Answers for Yes/No boxes, taken in order; Yes when the script is empty.
  std::deque<Answer> scriptedAnswers;
  std::vector<RecordedMessage> messages;
  bool closeRequested = false;

 private:
  std::map<int, bool> checks_;
  std::map<int, bool> enabled_;
  std::map<int, std::string> texts_;
};

}  // namespace quorvel::ui
