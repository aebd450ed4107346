// A Qt dialog built from a dialog template, and the DialogHost the core talks
// to. Positions come from dialog units through the dialog font's metrics, so
// the proportions are those of the template. Texts cross here between the
// core's Shift_JIS and Qt's Unicode.
#pragma once
#include <QDialog>
#include <QMap>

#include <functional>

#include "ui/dialog_host.h"
#include "ui/dialog_template.h"

namespace quorvel::qt {

class QtDialog : public QDialog, public ui::DialogHost {
 public:
  // mainWindow: Enter is the program's own key here (it never presses a
  // button), and the window is shown in the task bar.
  QtDialog(const ui::DialogTemplate& tmpl, bool mainWindow, QWidget* parent = nullptr);

  // Events the owner routes to the core.
  std::function<void(int)> onCommand;
  std::function<void()> onListSelectionChange;
  std::function<void()> onListDoubleClick;
  std::function<void()> onEnterKey;
  std::function<void()> onNotify;

  // Replace the real message box and file dialog (tests).
  std::function<ui::Answer(int, const QString&, ui::Icon, ui::Buttons)> messageHook;
  std::function<std::optional<std::string>(const ui::FileDialogRequest&)> fileDialogHook;

  QWidget* Control(int id) const { return controls_.value(id, nullptr); }
  // Posts the recogniser's notification; safe from any thread.
  void PostNotify();

  ui::Answer MessageBox(int stringId, const std::string& text, ui::Icon icon,
                        ui::Buttons buttons) override;
  void SetMessageDetails(const std::string& details) override { details_ = details; }
  void SetCheck(int controlId, bool checked) override;
  bool GetCheck(int controlId) const override;
  void EnableControl(int controlId, bool enabled) override;
  void SetControlText(int controlId, const std::string& text) override;
  std::string GetControlText(int controlId) const override;
  void ListReset(int listId) override;
  void ListAdd(int listId, const std::string& line) override;
  int ListCount(int listId) const override;
  std::string ListText(int listId, int index) const override;
  int ListSelection(int listId) const override;
  void ListSelect(int listId, int index) override;
  void SetFocus(int controlId) override;
  int FocusedControl() const override;
  std::optional<std::string> OpenFileDialog(const ui::FileDialogRequest& request) override;
  int RunModal(int dialogId, ui::DialogController& controller) override;
  void EndDialog(int result) override;
  void PostClose() override;

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void Build(const ui::DialogTemplate& tmpl);
  void FitText(QWidget* w);
  bool mainWindow_;
  QMap<int, QWidget*> controls_;
  std::optional<int> endResult_;
  std::string details_;  // for the next message box
};

// The title of every message box: the program's name.
QString AppTitle();

// Whether a control shows its whole text at its size and font.
bool TextFits(const QWidget* w);

}  // namespace quorvel::qt
