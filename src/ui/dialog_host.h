// The window the core talks to: control texts and states, the list box, focus,
// message boxes and the Open file dialog. The Qt window, the command line and
// the tests each provide one. Control texts are Shift_JIS; file dialog paths
// are native (UTF-8, '/'), since they come from and go to the file system.
#pragma once
#include <optional>
#include <string>

// Windows' headers make MessageBox a macro, which would rename the operation below.
#ifdef MessageBox
#undef MessageBox
#endif

namespace quorvel::ui {

enum class Icon { Exclamation, Question, Stop, Information };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

struct FileDialogRequest {
  std::string defaultExtension;  // without the dot, e.g. "LOG"
  std::string initialFile;       // native; may hold a folder part
  std::string filterName;        // UTF-8, e.g. "ﾘﾓｰﾄﾌｧｲﾙ"
  std::string filterPattern;     // e.g. "REMOTE.LOG" or "*.TXA"
  bool hideReadOnly = true;
};

class DialogHost;

// The behaviour of a modal dialog: filled when it opens, told of every button
// click (Enter on the default button gives its id, Esc and the close box 2).
class DialogController {
 public:
  virtual ~DialogController() = default;
  virtual void OnInit(DialogHost& dialog) = 0;
  virtual void OnCommand(DialogHost& dialog, int controlId) = 0;
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Shows text (Shift_JIS) titled with the program's name; stringId names the
  // string table entry the text came from.
  virtual Answer MessageBox(int stringId, const std::string& text, Icon icon,
                            Buttons buttons) = 0;
  // What the next message box shows under its text as details (UTF-8): the
  // path or address tried and the system's reason, where the message itself
  // names neither. A host without room for them ignores them.
  virtual void SetMessageDetails(const std::string& details) { (void)details; }

  virtual void SetCheck(int controlId, bool checked) = 0;
  virtual bool GetCheck(int controlId) const = 0;
  virtual void EnableControl(int controlId, bool enabled) = 0;
  virtual void SetControlText(int controlId, const std::string& text) = 0;
  virtual std::string GetControlText(int controlId) const = 0;

  // List box: lines are Shift_JIS, in the order added; selection -1 is none.
  virtual void ListReset(int listId) = 0;
  virtual void ListAdd(int listId, const std::string& line) = 0;
  virtual int ListCount(int listId) const = 0;
  virtual std::string ListText(int listId, int index) const = 0;
  virtual int ListSelection(int listId) const = 0;
  virtual void ListSelect(int listId, int index) = 0;

  virtual void SetFocus(int controlId) = 0;
  virtual int FocusedControl() const = 0;

  // The Open file dialog; the chosen file's native path, or nothing on cancel.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;

  // Runs dialog dialogId modally over this window; its result is the code
  // given to EndDialog (2 when it was closed otherwise).
  virtual int RunModal(int dialogId, DialogController& controller) = 0;
  // Ends this dialog's modal run with result once the current handler returns.
  virtual void EndDialog(int result) = 0;

  // Asks the window to close once the current handler returns.
  virtual void PostClose() = 0;
};

// The list box's select-string search: the first line after startAfter
// (wrapping around) that begins with prefix, ASCII letters compared without
// case; selects it and returns its index, or -1 leaving the selection as is.
int ListSelectString(DialogHost& host, int listId, int startAfter, const std::string& prefix);

}  // namespace quorvel::ui
