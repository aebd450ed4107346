// The command line's window: controls live in memory, message boxes go to
// stderr as UTF-8 text, and a file dialog cannot be shown, so it says which
// INI key to set instead and counts as cancelled.
#pragma once
#include <iostream>

#include "platform/sjis.h"
#include "ui/headless_host.h"

namespace quorvel::cli {

class StderrHost : public ui::HeadlessHost {
 public:
  // A question is answered No unless the command itself stands for the user's Yes.
  bool answerYes = false;

  // Recorded as the headless host does (with any details), and said on
  // stderr with its details.
  ui::Answer MessageBox(int stringId, const std::string& text, ui::Icon icon,
                        ui::Buttons buttons) override {
    HeadlessHost::MessageBox(stringId, text, icon, buttons);
    if (buttons != ui::Buttons::Ok) return answerYes ? ui::Answer::Yes : ui::Answer::No;
    std::cerr << sjis::ToUtf8(text) << "\n";
    if (!messages.back().details.empty()) std::cerr << "  (" << messages.back().details << ")\n";
    return ui::Answer::Ok;
  }
  std::optional<std::string> OpenFileDialog(const ui::FileDialogRequest& request) override {
    const char* key = request.filterPattern == "*.TXA"   ? "REMOTE/PROGRAM_FOLDER"
                      : request.filterPattern == "*.xml" ? "SPEECH/DICTIONARY"
                                                         : "REMOTE/REMOTE_DIR";
    std::cerr << "quorvel-cli: cannot ask for a file here (" << request.filterName
              << "); set " << key << " in the INI file\n";
    return std::nullopt;
  }
};

}  // namespace quorvel::cli
