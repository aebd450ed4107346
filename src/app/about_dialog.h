// CAboutDlg: the About box's behaviour (template 100): it names the settings
// file in use, and any button closes it. Every window host runs it.
#pragma once
#include <string>

#include "ui/dialog_host.h"

namespace quorvel {

class CAboutDlg : public ui::DialogController {
 public:
  explicit CAboutDlg(std::string iniPath) : iniPath_(std::move(iniPath)) {}
  void OnInit(ui::DialogHost& dialog) override;
  void OnCommand(ui::DialogHost& dialog, int id) override { dialog.EndDialog(id); }

 private:
  std::string iniPath_;  // internal form
};

}  // namespace quorvel
