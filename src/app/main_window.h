// CQuorvelDlg: the main window's behaviour, apart from any toolkit. It owns
// the program's state and turns each event of the window into the operation
// that does the work. A host (the Qt window, a test) creates the controls
// from template 102, implements DialogHost, and calls the On... handlers.
#pragma once
#include <memory>

#include "app/converter_state.h"
#include "ui/dialog_host.h"

namespace quorvel {

class CQuorvelDlg {
 public:
  explicit CQuorvelDlg(const StateOptions& options = {});
  ~CQuorvelDlg();

  // WM_INITDIALOG: radio 1011 checked, then the state's start-up.
  void OnInitDialog(ui::DialogHost& window);
  // A click on a button, radio or check box of the window.
  void OnCommand(int controlId);
  void OnListSelectionChange();
  void OnListDoubleClick();
  // The Enter key, anywhere in the window: registers from the reading box,
  // sends the typed text from everywhere else. Never closes the window.
  void OnEnterKey();
  // The recogniser's posted notification.
  void OnRecognizerNotify();
  // WM_DESTROY: shuts the state down and deletes it.
  void OnDestroy();

  ConverterState* state() { return state_.get(); }

 private:
  void OnDataSetRadio();
  void OnDictionaryButton();
  int ReadRadioGroup() const;
  void WriteRadioGroup();

  std::unique_ptr<ConverterState> state_;
  ui::DialogHost* window_ = nullptr;
  int dataSetRadio = 0;
};

}  // namespace quorvel
