// The command line's window: message boxes go to stderr as UTF-8 text.
#pragma once
#include <iostream>
#include <map>

#include "platform/sjis.h"
#include "ui/dialog_host.h"

namespace quorvel::cli {

class StderrHost : public ui::DialogHost {
 public:
  ui::Answer MessageBox(int, const std::string& text, ui::Icon, ui::Buttons buttons) override {
    std::cerr << sjis::ToUtf8(text) << "\n";
    return buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::No;
  }
  void SetCheck(int id, bool checked) override { checks_[id] = checked; }
  bool GetCheck(int id) const override {
    auto it = checks_.find(id);
    return it != checks_.end() && it->second;
  }
  void EnableControl(int, bool) override {}
  void SetControlText(int id, const std::string& text) override { texts_[id] = text; }
  std::string GetControlText(int id) const override {
    auto it = texts_.find(id);
    return it == texts_.end() ? std::string() : it->second;
  }
  void PostClose() override {}

 private:
  std::map<int, bool> checks_;
  std::map<int, std::string> texts_;
};

}  // namespace quorvel::cli
