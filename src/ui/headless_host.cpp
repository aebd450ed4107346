#include "ui/headless_host.h"

namespace quorvel::ui {

Answer HeadlessHost::MessageBox(int stringId, const std::string& text, Icon icon,
                                Buttons buttons) {
  messages.push_back({stringId, text, icon, buttons});
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

}  // namespace quorvel::ui
