#include "ui/headless_host.h"

namespace quorvel::ui {

Answer HeadlessHost::MessageBox(int stringId, const std::string& text, Icon icon,
                                Buttons buttons) {
  messages.push_back({stringId, text, icon, buttons, std::move(details_)});
  details_.clear();
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (scriptedAnswers.empty()) return Answer::Yes;
  Answer a = scriptedAnswers.front();
  scriptedAnswers.pop_front();
  return a;
}

bool HeadlessHost::GetCheck(int controlId) const {
  auto it = checks_.find(controlId);
  return it != checks_.end() && it->second;
}

bool HeadlessHost::IsEnabled(int controlId, bool fallback) const {
  auto it = enabled_.find(controlId);
  return it == enabled_.end() ? fallback : it->second;
}

std::string HeadlessHost::GetControlText(int controlId) const {
  auto it = texts_.find(controlId);
  return it == texts_.end() ? std::string() : it->second;
}

void HeadlessHost::ListReset(int listId) { lists_[listId] = List{}; }

int HeadlessHost::ListCount(int listId) const {
  auto it = lists_.find(listId);
  return it == lists_.end() ? 0 : static_cast<int>(it->second.lines.size());
}

std::string HeadlessHost::ListText(int listId, int index) const {
  auto it = lists_.find(listId);
  if (it == lists_.end() || index < 0 || index >= static_cast<int>(it->second.lines.size()))
    return {};
  return it->second.lines[static_cast<std::size_t>(index)];
}

int HeadlessHost::ListSelection(int listId) const {
  auto it = lists_.find(listId);
  return it == lists_.end() ? -1 : it->second.selection;
}

void HeadlessHost::ListSelect(int listId, int index) {
  List& l = lists_[listId];
  l.selection = (index >= 0 && index < static_cast<int>(l.lines.size())) ? index : -1;
}

std::vector<std::string> HeadlessHost::ListLines(int listId) const {
  auto it = lists_.find(listId);
  return it == lists_.end() ? std::vector<std::string>{} : it->second.lines;
}

std::optional<std::string> HeadlessHost::OpenFileDialog(const FileDialogRequest& request) {
  fileDialogs.push_back(request);
  if (scriptedFiles.empty()) return std::nullopt;
  auto answer = scriptedFiles.front();
  scriptedFiles.pop_front();
  return answer;
}

int HeadlessHost::RunModal(int dialogId, DialogController& controller) {
  modalDialogs.push_back(dialogId);
  HeadlessHost dialog;
  controller.OnInit(dialog);
  if (!modalScripts.empty()) {
    ModalScript script = std::move(modalScripts.front());
    modalScripts.pop_front();
    script(dialog, controller);
  }
  // Its messages are this program's messages too.
  messages.insert(messages.end(), dialog.messages.begin(), dialog.messages.end());
  return dialog.endResult.value_or(2);
}

}  // namespace quorvel::ui
