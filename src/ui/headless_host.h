// A DialogHost without a display: keeps control states in memory, records
// every message box and file dialog, and answers them from a script.
#pragma once
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "ui/dialog_host.h"

namespace quorvel::ui {

struct RecordedMessage {
  int stringId;
  std::string text;  // final text, Shift_JIS
  Icon icon;
  Buttons buttons;
  std::string details = {};  // UTF-8, see SetMessageDetails
};

class HeadlessHost : public DialogHost {
 public:
  Answer MessageBox(int stringId, const std::string& text, Icon icon,
                    Buttons buttons) override;
  void SetMessageDetails(const std::string& details) override { details_ = details; }
  void SetCheck(int controlId, bool checked) override { checks_[controlId] = checked; }
  bool GetCheck(int controlId) const override;
  void EnableControl(int controlId, bool enabled) override { enabled_[controlId] = enabled; }
  bool IsEnabled(int controlId, bool fallback) const;
  void SetControlText(int controlId, const std::string& text) override { texts_[controlId] = text; }
  std::string GetControlText(int controlId) const override;

  void ListReset(int listId) override;
  void ListAdd(int listId, const std::string& line) override { lists_[listId].lines.push_back(line); }
  int ListCount(int listId) const override;
  std::string ListText(int listId, int index) const override;
  int ListSelection(int listId) const override;
  void ListSelect(int listId, int index) override;
  std::vector<std::string> ListLines(int listId) const;

  void SetFocus(int controlId) override { focus_ = controlId; }
  int FocusedControl() const override { return focus_; }

  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;

  // Runs the next entry of modalScripts on a fresh headless dialog after
  // OnInit; without a script the dialog is cancelled at once.
  int RunModal(int dialogId, DialogController& controller) override;
  void EndDialog(int result) override { endResult = result; }

  void PostClose() override { closeRequested = true; }

  // A script plays the user of a modal dialog: it sets controls of the dialog
  // and passes clicks to the controller.
  using ModalScript = std::function<void(HeadlessHost& dialog, DialogController& controller)>;
  std::deque<ModalScript> modalScripts;
  std::vector<int> modalDialogs;  // ids of the dialogs run, in order
  std::optional<int> endResult;

  // Answers for Yes/No boxes, taken in order; Yes when the script is empty.
  std::deque<Answer> scriptedAnswers;
  // Answers for file dialogs, taken in order; cancel when the script is empty.
  std::deque<std::optional<std::string>> scriptedFiles;
  std::vector<RecordedMessage> messages;
  std::vector<FileDialogRequest> fileDialogs;
  bool closeRequested = false;

 private:
  struct List {
    std::vector<std::string> lines;
    int selection = -1;
  };
  std::map<int, bool> checks_;
  std::map<int, bool> enabled_;
  std::map<int, std::string> texts_;
  std::map<int, List> lists_;
  int focus_ = -1;
  std::string details_;  // for the next message box
};

}  // namespace quorvel::ui
