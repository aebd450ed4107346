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
  ui::Answer MessageBox(int, const std::string& text, ui::Icon, ui::Buttons buttons) override {
    std::cerr << sjis::ToUtf8(text) << "\n";
    return buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::No;
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
