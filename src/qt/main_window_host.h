// The Qt main window: template 102 wired to CQuorvelDlg. Adds what a Linux
// window needs in place of the system menu's About entry: the context menu
// and F1.
#pragma once
#include <memory>

#include "app/main_window.h"
#include "qt_dialog.h"

namespace quorvel::qt {

class MainWindowHost {
 public:
  explicit MainWindowHost(const StateOptions& options = {}, const FlashAirTarget* card = nullptr);
  ~MainWindowHost();

  // Initialises the window (the state's start-up) and runs it until it ends;
  // the state is shut down afterwards.
  int Run();
  // Initialisation only, for a caller that runs the loop itself (tests).
  void Initialise();
  void ShowAbout();

  QtDialog& window() { return *window_; }
  CQuorvelDlg& core() { return core_; }

 private:
  CQuorvelDlg core_;
  std::unique_ptr<QtDialog> window_;
};

}  // namespace quorvel::qt
