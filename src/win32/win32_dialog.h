// The DialogHost the core talks to, over a dialog window the system built
// from a template: control texts cross here between the core's Shift_JIS and
// the system's UTF-16; message boxes are MessageBoxW titled "Quorvel", the
// Open dialog is GetOpenFileNameW, modal dialogs DialogBoxIndirectParamW.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ui/dialog_host.h"
#include "ui/dialog_template.h"

namespace quorvel::win32 {

class Win32Dialog : public ui::DialogHost {
 public:
  // mainWindow: the program's modeless main window, closed by destroying it.
  Win32Dialog(HWND hwnd, bool mainWindow) : hwnd_(hwnd), mainWindow_(mainWindow) {}
  HWND hwnd() const { return hwnd_; }

  // Replace the real message box (tests, and the window test's driver).
  std::function<ui::Answer(int, const std::string&, ui::Icon, ui::Buttons)> messageHook;

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

 private:
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  HWND hwnd_;
  bool mainWindow_;
  std::string details_;  // for the next message box
};

// Shift_JIS <-> UTF-16 through code page 932, on every Windows.
std::wstring WideOfSjis(const std::string& sjis);
std::string SjisOfWide(const std::wstring& wide);

// The program's icon (resource 128) at the system's size for big or small icons.
HICON ProgramIcon(bool small);

}  // namespace quorvel::win32
