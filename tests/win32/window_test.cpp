// Quorvel.exe under Wine: the native window driven through its own message
// loop with key presses, as a user at the keyboard would drive it. Wine has
// no speech recogniser, so the start-up's recogniser fails for real here.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/strings.h"
#include "platform/profile.h"
#include "platform/sjis.h"
#include "platform/win32/wide.h"
#include "robot/command_record.h"
#include "test_util.h"
#include "ui/dialog_template.h"
#include "win32/dialog_builder.h"
#include "win32/win32_dialog.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using platform::win32::Wide;

// A started Quorvel.exe, ended when the test ends.
class Program {
 public:
  explicit Program(const std::string& exe) {
    STARTUPINFOW start{};
    start.cb = sizeof start;
    std::wstring line = L"\"" + Wide(exe) + L"\"";
    std::wstring folder = Wide(test::Native(test::Path(exe).parent_path()));  // the catalogues' folder
    started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                              &start, &info_);
  }
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool started() const { return started_; }
  DWORD pid() const { return info_.dwProcessId; }
  // Whether it ended within timeoutMs.
  bool Ended(DWORD timeoutMs) { return WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0; }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

struct Search {
  DWORD pid;
  std::wstring title;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t title[256] = {};
  GetWindowTextW(hwnd, title, 256);
  if (pid == s->pid && IsWindowVisible(hwnd) && s->title == title) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Whether what the program does on its own thread comes true in time.
bool Eventually(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
  const ULONGLONG until = GetTickCount64() + timeoutMs;
  do {
    if (done()) return true;
    Sleep(50);
  } while (GetTickCount64() < until);
  return false;
}

// The process's visible top-level window with this title, waited for.
HWND WaitForWindow(DWORD pid, const std::wstring& title, DWORD timeoutMs = 20000) {
  Search s{pid, title};
  Eventually([&] {
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&s));
    return s.found != nullptr;
  }, timeoutMs);
  return s.found;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM lParam) {
  wchar_t text[1024] = {};
  GetWindowTextW(hwnd, text, 1024);
  auto* all = reinterpret_cast<std::wstring*>(lParam);
  if (*text) *all += std::wstring(text) + L"\n";
  return TRUE;
}

// Every text a message box shows.
std::string BoxText(HWND box) {
  std::wstring all;
  EnumChildWindows(box, &CollectText, reinterpret_cast<LPARAM>(&all));
  return platform::win32::Utf8(all);
}

// A key pressed and released in a control, through the program's own
// message loop (where the Enter rule and the dialog keys are).
void Press(HWND target, WORD key) {
  const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
}

// Text typed into a control: the characters the keyboard layout makes of the
// key presses, whatever layout the machine has.
void Type(HWND target, const std::wstring& text) {
  for (wchar_t c : text) PostMessageW(target, WM_CHAR, c, 1);
}

std::string Utf8(const std::string& sjis) { return sjis::ToUtf8(sjis); }

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Ninshiki.xml", "English.xml", "voice.xml", "ura_voice.xml", "Program.xml"})
      fs::copy_file(test::Path(std::string(QUORVEL_DEMO_DIR) + "/" + name), test::Path(dir / name));
    fs::copy_file(test::Path(QUORVEL_WINDOW), test::Path(exe));
    fs::create_directories(test::Path(dir / "card/ADDON"));
    test::WriteFile(dir / "card/ADDON/REMOTE.LOG", "");
    test::WriteFile(Ini(), "[REMOTE]\r\nCONNECT_TYPE=1\r\nREMOTE_DIR=" + dir / "card\\" +
                               "\r\n[SPEECH]\r\nAUTOSTART=1\r\n");
  }
  std::string Ini() const { return dir / "Quorvel.ini"; }
  std::wstring Title() const { return Wide("クオルベル"); }

  // The program up to its window: the start-up's recogniser fails (Wine has
  // none) with message 128, which is answered; nullptr when anything differs.
  HWND StartedWindow(const Program& p) {
    if (!p.started()) return nullptr;
    HWND box = WaitForWindow(p.pid(), L"Quorvel");
    if (!box) return nullptr;
    EXPECT_NE(BoxText(box).find(Utf8(LoadString(IDS_SPEECH_INIT_FAILED)).substr(0, 30)), std::string::npos)
        << BoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitForWindow(p.pid(), Title());
  }

  test::TempDir dir;
  std::string exe = dir / "Quorvel.exe";
};

TEST_F(WindowTest, TypedArithmeticAndEnterSendIt_EscClosesAndWritesTheKeys) {
  Program p(exe);
  HWND main = StartedWindow(p);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(SendDlgItemMessageW(main, 1037, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // recognition off
  // The catalogue is listed: read until it is, as a busy machine once read
  // the list still empty here.
  EXPECT_TRUE(Eventually([&] { return SendDlgItemMessageW(main, 1000, LB_GETCOUNT, 0, 0) > 0; }));
  wchar_t title[64] = {};
  GetWindowTextW(main, title, 64);
  EXPECT_EQ(std::wstring(title), Title());

  HWND edit = GetDlgItem(main, 1026);
  ASSERT_NE(edit, nullptr);
  PostMessageW(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
  Type(edit, L"3+4");
  Press(edit, VK_RETURN);
  const std::string expected = test::Bytes(MakeArithmeticCommand({1, 3, 4}));
  const ULONGLONG until = GetTickCount64() + 10000;
  // Watched by its size, without opening it: the program writes the file
  // shared with nobody, and a reader holding it open would fail the write.
  std::error_code ec;
  while (fs::file_size(test::Path(dir / "card/ADDON/REMOTE.LOG"), ec) != expected.size() &&
         GetTickCount64() < until)
    Sleep(50);
  wchar_t typed[64] = {};
  GetWindowTextW(edit, typed, 64);
  HWND box = WaitForWindow(p.pid(), L"Quorvel", 0);
  EXPECT_EQ(test::ReadFile(dir / "card/ADDON/REMOTE.LOG"), expected)
      << "typed: " << platform::win32::Utf8(typed) << (box ? " message: " + BoxText(box) : "");
  EXPECT_TRUE(IsWindow(main)) << "Enter must never close the window";

  // The settings dialog, over the window; Esc there closes only it.
  PostMessageW(GetDlgItem(main, 8), BM_CLICK, 0, 0);
  HWND settings = WaitForWindow(p.pid(), Wide("設定ダイアログ"), 10000);
  ASSERT_NE(settings, nullptr) << "no settings dialog";
  wchar_t volume[16] = {};
  GetDlgItemTextW(settings, 1036, volume, 16);
  EXPECT_EQ(std::wstring(volume), L"50");
  EXPECT_EQ(SendDlgItemMessageW(settings, 1034, BM_GETCHECK, 0, 0), BST_CHECKED);  // USB/simulator
  Press(GetDlgItem(settings, 1036), VK_ESCAPE);
  const ULONGLONG closing = GetTickCount64() + 10000;
  while (IsWindow(settings) && GetTickCount64() < closing) Sleep(50);
  EXPECT_FALSE(IsWindow(settings));
  EXPECT_TRUE(IsWindow(main));

  Press(edit, VK_ESCAPE);
  ASSERT_TRUE(p.Ended(10000)) << "Esc did not close the window";
  EXPECT_EQ(profile::GetString("DATA", "PLAYER_TYPE", "?", Ini()), "0");
  EXPECT_EQ(profile::GetString("SPEECH", "DICTIONARY", "?", Ini()), "");
  EXPECT_EQ(profile::GetString("SPEECH", "GENERAL", "?", Ini()), "0");
}

TEST_F(WindowTest, ASecondStartShowsMessage106AndEnds) {
  Program first(exe);
  HWND main = StartedWindow(first);
  ASSERT_NE(main, nullptr);

  Program second(exe);
  ASSERT_TRUE(second.started());
  HWND box = WaitForWindow(second.pid(), L"Quorvel");
  ASSERT_NE(box, nullptr) << "no message 106";
  EXPECT_NE(BoxText(box).find(Utf8(LoadString(IDS_ALREADY_RUNNING))), std::string::npos) << BoxText(box);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(second.Ended(10000));
  EXPECT_TRUE(IsWindow(main)) << "the first window stays";
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(first.Ended(10000));
}

INT_PTR CALLBACK Plain(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Every dialog the system builds from the templates has every control with
// its id, class, style and text, at its place in dialog units, in tab order.
TEST(DialogTemplates, TheSystemBuildsEachControlAsTheTemplateSays) {
  for (const ui::DialogTemplate* t :
       {&ui::MainDialogTemplate(), &ui::SettingsDialogTemplate(), &ui::AboutDialogTemplate()}) {
    std::vector<DWORD> bytes = win32::BuildDialogTemplate(*t, t->id == ui::kMainDialogId);
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr, &Plain, 0);
    ASSERT_NE(dialog, nullptr) << "template " << t->id << ": error " << GetLastError();
    wchar_t text[256] = {};
    GetWindowTextW(dialog, text, 256);
    EXPECT_EQ(platform::win32::Utf8(text), std::string(t->title));
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const auto& c : t->controls) {
      ASSERT_NE(child, nullptr) << "template " << t->id << " ends before " << c.text;
      EXPECT_EQ(GetDlgCtrlID(child), c.id) << c.text;  // kStaticId is the system's -1 too
      if (c.kind != ui::ControlKind::Icon && c.kind != ui::ControlKind::ListBox) {
        GetWindowTextW(child, text, 256);
        EXPECT_EQ(platform::win32::Utf8(text), std::string(c.text)) << t->id << " " << c.id;
      }
      const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
      const DWORD want = win32::ControlStyle(c);
      EXPECT_EQ(style & (WS_GROUP | WS_TABSTOP | WS_DISABLED | 0xFFFF), want & (WS_GROUP | WS_TABSTOP | WS_DISABLED | 0xFFFF))
          << t->id << " " << c.id << " " << c.text;
      RECT units{c.x, c.y, c.x + c.width, c.y + c.height};
      MapDialogRect(dialog, &units);
      RECT placed;
      GetWindowRect(child, &placed);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
      EXPECT_EQ(placed.left, units.left) << t->id << " " << c.id;
      EXPECT_EQ(placed.top, units.top) << t->id << " " << c.id;
      child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "template " << t->id << " has more controls than it says";
    DestroyWindow(dialog);
  }
}

}  // namespace
}  // namespace quorvel
