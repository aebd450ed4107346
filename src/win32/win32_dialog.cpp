#include "win32/win32_dialog.h"

#include <commdlg.h>

#include <vector>

#include "platform/sjis.h"
#include "platform/win32/wide.h"
#include "win32/dialog_builder.h"

namespace quorvel::win32 {
namespace {

struct ModalRun {
  ui::DialogController* controller;
  Win32Dialog* owner;
};

INT_PTR CALLBACK ModalProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      auto* run = reinterpret_cast<ModalRun*>(lParam);
      host = new Win32Dialog(hwnd, false);
      host->messageHook = run->owner->messageHook;
      SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(host));
      SetPropW(hwnd, L"QuorvelController", run->controller);
      SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(true)));
      run->controller->OnInit(*host);
      return TRUE;
    }
    case WM_COMMAND: {
      auto* controller = static_cast<ui::DialogController*>(GetPropW(hwnd, L"QuorvelController"));
      // Buttons (and Enter / Esc, which the dialog turns into clicks) only.
      if (host && controller && HIWORD(wParam) == BN_CLICKED) controller->OnCommand(*host, LOWORD(wParam));
      return TRUE;
    }
    case WM_DESTROY:
      RemovePropW(hwnd, L"QuorvelController");
      delete host;
      SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      return FALSE;
    default: return FALSE;
  }
}

UINT IconFlags(ui::Icon icon) {
  switch (icon) {
    case ui::Icon::Question: return MB_ICONQUESTION;
    case ui::Icon::Stop: return MB_ICONSTOP;
    case ui::Icon::Information: return MB_ICONINFORMATION;
    default: return MB_ICONEXCLAMATION;
  }
}

}  // namespace

std::wstring WideOfSjis(const std::string& sjis) { return platform::win32::Wide(sjis::ToUtf8(sjis)); }
std::string SjisOfWide(const std::wstring& wide) {
  return sjis::FromUtf8Lossy(platform::win32::Utf8(wide));
}

HICON ProgramIcon(bool small) {
  const int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ui::kIconId),
                                       IMAGE_ICON, size, size, LR_SHARED));
}

ui::Answer Win32Dialog::MessageBox(int stringId, const std::string& text, ui::Icon icon,
                                   ui::Buttons buttons) {
  const std::string details = std::move(details_);
  details_.clear();
  if (messageHook) return messageHook(stringId, text, icon, buttons);
  std::wstring body = WideOfSjis(text);
  // The file or address tried and the system's reason, under the message.
  if (!details.empty()) body += L"\n\n" + platform::win32::Wide(details);
  const UINT flags = IconFlags(icon) | (buttons == ui::Buttons::YesNo ? MB_YESNO : MB_OK);
  const int answer = MessageBoxW(hwnd_, body.c_str(), L"Quorvel", flags);
  if (buttons == ui::Buttons::Ok) return ui::Answer::Ok;
  return answer == IDYES ? ui::Answer::Yes : ui::Answer::No;
}

void Win32Dialog::SetCheck(int id, bool checked) {
  CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32Dialog::GetCheck(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void Win32Dialog::EnableControl(int id, bool enabled) { EnableWindow(Item(id), enabled); }

void Win32Dialog::SetControlText(int id, const std::string& text) {
  SetDlgItemTextW(hwnd_, id, WideOfSjis(text).c_str());
}

std::string Win32Dialog::GetControlText(int id) const {
  HWND item = Item(id);
  const int length = GetWindowTextLengthW(item);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int n = GetWindowTextW(item, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return SjisOfWide(text);
}

void Win32Dialog::ListReset(int id) { SendDlgItemMessageW(hwnd_, id, LB_RESETCONTENT, 0, 0); }

void Win32Dialog::ListAdd(int id, const std::string& line) {
  std::wstring text = WideOfSjis(line);
  SendDlgItemMessageW(hwnd_, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int Win32Dialog::ListCount(int id) const {
  return static_cast<int>(SendDlgItemMessageW(hwnd_, id, LB_GETCOUNT, 0, 0));
}

std::string Win32Dialog::ListText(int id, int index) const {
  const LRESULT length = SendDlgItemMessageW(hwnd_, id, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return "";
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT n = SendDlgItemMessageW(hwnd_, id, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(n == LB_ERR ? 0 : static_cast<std::size_t>(n));
  return SjisOfWide(text);
}

int Win32Dialog::ListSelection(int id) const {
  const LRESULT selected = SendDlgItemMessageW(hwnd_, id, LB_GETCURSEL, 0, 0);
  return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

void Win32Dialog::ListSelect(int id, int index) {
  SendDlgItemMessageW(hwnd_, id, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32Dialog::SetFocus(int id) {
  // Through the dialog, so the default button follows the focus.
  SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

int Win32Dialog::FocusedControl() const {
  HWND focus = GetFocus();
  return focus && IsChild(hwnd_, focus) ? GetDlgCtrlID(focus) : 0;
}

std::optional<std::string> Win32Dialog::OpenFileDialog(const ui::FileDialogRequest& r) {
  // "name\0pattern\0\0"
  std::wstring filter = platform::win32::Wide(r.filterName) + L'\0' + platform::win32::Wide(r.filterPattern) +
                        L'\0' + L'\0';
  std::wstring extension = platform::win32::Wide(r.defaultExtension);
  std::vector<wchar_t> file(32768, L'\0');
  std::wstring folder;
  std::wstring initial = platform::win32::Wide(r.initialFile);
  const DWORD attributes = GetFileAttributesW(initial.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    folder = initial;  // a folder: start there with no name
  } else {
    initial.copy(file.data(), std::min(initial.size(), file.size() - 1));
  }
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | (r.hideReadOnly ? OFN_HIDEREADONLY : 0);
  if (!GetOpenFileNameW(&ofn)) return std::nullopt;
  return platform::win32::Utf8(file.data());
}

int Win32Dialog::RunModal(int dialogId, ui::DialogController& controller) {
  const ui::DialogTemplate* t = ui::FindDialogTemplate(dialogId);
  if (!t) return IDCANCEL;
  std::vector<DWORD> bytes = BuildDialogTemplate(*t, false);
  ModalRun run{&controller, this};
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                                 reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), hwnd_,
                                                 &ModalProc, reinterpret_cast<LPARAM>(&run));
  return result == -1 ? IDCANCEL : static_cast<int>(result);
}

void Win32Dialog::EndDialog(int result) {
  if (mainWindow_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  else ::EndDialog(hwnd_, result);
}

void Win32Dialog::PostClose() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

}  // namespace quorvel::win32
