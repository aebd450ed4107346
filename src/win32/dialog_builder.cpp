#include "win32/dialog_builder.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/wide.h"

namespace quorvel::win32 {
namespace {

using ui::ControlKind;

// The predefined window classes, by atom.
constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kListBox = 0x0083;

class Writer {
 public:
  void Word(WORD w) { Bytes(&w, sizeof w); }
  void Dword(DWORD d) { Bytes(&d, sizeof d); }
  void Short(short s) { Bytes(&s, sizeof s); }
  void Byte(BYTE b) { Bytes(&b, 1); }
  void Text(std::string_view utf8) { Wide(platform::win32::Wide(utf8)); }
  void Wide(const std::wstring& w) { Bytes(w.c_str(), (w.size() + 1) * sizeof(wchar_t)); }
  void AlignDword() {
    while (bytes_.size() % 4) bytes_.push_back(0);
  }
  std::vector<DWORD> Finish() {
    AlignDword();
    std::vector<DWORD> out(bytes_.size() / 4);
    std::memcpy(out.data(), bytes_.data(), bytes_.size());
    return out;
  }

 private:
  void Bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
  }
  std::vector<unsigned char> bytes_;
};

WORD ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit: return kEdit;
    case ControlKind::Static:
    case ControlKind::Icon: return kStatic;
    case ControlKind::ListBox: return kListBox;
    default: return kButton;
  }
}

int CALLBACK NoteFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found) {
  auto* faces = reinterpret_cast<std::vector<std::wstring>*>(found);
  if (font->lfFaceName[0] != L'@') faces->push_back(font->lfFaceName);  // '@': the vertical forms
  return 1;
}

// The faces on this system that write Japanese, or the one named.
std::vector<std::wstring> JapaneseFaces(const std::wstring& named = L"") {
  std::vector<std::wstring> faces;
  LOGFONTW wanted{};
  wanted.lfCharSet = SHIFTJIS_CHARSET;
  named.copy(wanted.lfFaceName, LF_FACESIZE - 1);
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, &NoteFace, reinterpret_cast<LPARAM>(&faces), 0);
  ReleaseDC(nullptr, screen);
  return faces;
}

// The template's face where the system has it; else a face that writes
// Japanese (a Windows without the Japanese fonts would show empty boxes).
std::wstring DialogFace(std::string_view templateFace) {
  const std::wstring face = platform::win32::Wide(templateFace);
  if (!JapaneseFaces(face).empty()) return face;
  const std::vector<std::wstring> any = JapaneseFaces();
  for (const wchar_t* preferred : {L"Yu Gothic UI", L"Meiryo UI", L"MS Gothic", L"IPAGothic"})
    for (const auto& f : any)
      if (f == preferred) return f;
  return any.empty() ? face : any.front();
}

}  // namespace

DWORD ControlStyle(const ui::ControlTemplate& c) {
  DWORD style = WS_CHILD | WS_VISIBLE;
  if (c.style & ui::kGroup) style |= WS_GROUP;
  if (c.style & ui::kDisabled) style |= WS_DISABLED;
  if (c.style & ui::kBorder) style |= WS_BORDER;
  if (c.style & ui::kVScroll) style |= WS_VSCROLL;
  switch (c.kind) {
    case ControlKind::PushButton:
      style |= WS_TABSTOP | ((c.style & ui::kDefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case ControlKind::RadioButton:
      style |= (c.style & ui::kAuto) ? BS_AUTORADIOBUTTON : BS_RADIOBUTTON;
      if (c.style & ui::kGroup) style |= WS_TABSTOP;  // the group is one tab stop
      break;
    case ControlKind::CheckBox:
      style |= WS_TABSTOP | ((c.style & ui::kAuto) ? BS_AUTOCHECKBOX : BS_CHECKBOX);
      break;
    case ControlKind::Edit:
      style |= WS_TABSTOP | ES_LEFT;
      if (c.style & ui::kAutoHScroll) style |= ES_AUTOHSCROLL;
      break;
    case ControlKind::Static: style |= SS_LEFT; break;
    case ControlKind::GroupBox: style |= BS_GROUPBOX; break;
    case ControlKind::ListBox:
      style |= WS_TABSTOP;
      if (c.style & ui::kNotify) style |= LBS_NOTIFY;
      if (c.style & ui::kNoIntegralHeight) style |= LBS_NOINTEGRALHEIGHT;
      if (!(c.style & ui::kUnsorted)) style |= LBS_SORT;
      break;
    case ControlKind::Icon: style |= SS_ICON; break;
  }
  return style;
}

std::vector<DWORD> BuildDialogTemplate(const ui::DialogTemplate& t, bool mainWindow) {
  Writer w;
  DWORD style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  if (t.minimizeBox) style |= WS_MINIMIZEBOX;
  if (!mainWindow) style |= DS_CENTER;
  w.Word(1);       // dlgVer
  w.Word(0xFFFF);  // signature: the extended form
  w.Dword(0);      // helpID
  w.Dword(t.showInTaskbar ? WS_EX_APPWINDOW : 0);
  w.Dword(style);
  w.Word(static_cast<WORD>(t.controls.size()));
  w.Short(0);
  w.Short(0);
  w.Short(static_cast<short>(t.width));
  w.Short(static_cast<short>(t.height));
  w.Word(0);  // no menu
  w.Word(0);  // the dialog class
  w.Text(t.title);
  w.Word(static_cast<WORD>(t.pointSize));
  w.Word(FW_NORMAL);
  w.Byte(FALSE);  // italic
  w.Byte(SHIFTJIS_CHARSET);
  w.Wide(DialogFace(t.font));
  for (const auto& c : t.controls) {
    w.AlignDword();
    w.Dword(0);  // helpID
    w.Dword(0);  // exStyle
    w.Dword(ControlStyle(c));
    w.Short(static_cast<short>(c.x));
    w.Short(static_cast<short>(c.y));
    w.Short(static_cast<short>(c.width));
    w.Short(static_cast<short>(c.height));
    w.Dword(c.id == ui::kStaticId ? static_cast<DWORD>(-1) : static_cast<DWORD>(c.id));
    w.Word(0xFFFF);
    w.Word(ClassOf(c.kind));
    if (c.kind == ControlKind::Icon) {
      w.Word(0xFFFF);  // the program's icon, by resource ordinal
      w.Word(static_cast<WORD>(ui::kIconId));
    } else {
      w.Text(c.text);
    }
    w.Word(0);  // no creation data
  }
  return w.Finish();
}

}  // namespace quorvel::win32
