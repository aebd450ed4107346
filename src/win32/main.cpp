// Quorvel.exe: the program on Windows. The main window is a modeless dialog
// built from template 102, run by the message loop below so that the Enter
// rule comes before IsDialogMessage; the About box is in the system menu
// (command 16); the recogniser's notification is message 0x8000. Settings in
// Quorvel.ini beside the executable, catalogues in the current folder.
#include <windows.h>

#include <memory>
#include <vector>

#include "app/about_dialog.h"
#include "app/converter_state.h"
#include "app/main_window.h"
#include "app/strings.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/sjis.h"
#include "robot/flashair.h"
#include "speech/engine/sapi_engine.h"
#include "win32/dialog_builder.h"
#include "win32/win32_dialog.h"

namespace quorvel::win32 {
namespace {

constexpr UINT kRecognizerNotify = speech::kRecognizerMessage;  // WM_APP, posted by the recogniser
constexpr UINT kRunTask = 0x8001;           // a task posted from another thread
constexpr UINT kAboutCommand = 16;
constexpr int kCloseButton = IDCANCEL;


struct MainWindow {
  CQuorvelDlg* core = nullptr;
  std::shared_ptr<speech::SapiEngine> engine;
  std::unique_ptr<Win32Dialog> host;
};

MainWindow* WindowOf(HWND hwnd) { return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER)); }

void AddAboutToSystemMenu(HWND hwnd) {
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  const std::string about = LoadString(IDS_ABOUTBOX);
  if (!menu || about.empty()) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kAboutCommand, WideOfSjis(about).c_str());
}

INT_PTR CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MainWindow* w = WindowOf(hwnd);
  switch (message) {
    case WM_INITDIALOG: {
      w = reinterpret_cast<MainWindow*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      w->host = std::make_unique<Win32Dialog>(hwnd, true);
      SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(false)));
      SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(true)));
      AddAboutToSystemMenu(hwnd);
      w->engine->SetNotifyWindow(hwnd);
      ConverterState& state = *w->core->state();
      state.notifyWindow = [hwnd] { PostMessageW(hwnd, kRecognizerNotify, 0, 0); };
      state.postToWindow = [hwnd](std::function<void()> task) {
        auto* posted = new std::function<void()>(std::move(task));
        if (!PostMessageW(hwnd, kRunTask, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
      };
      // Shown first, so what the start-up has to say (a recogniser that
      // cannot start, a second instance) stands over the window it concerns.
      ShowWindow(hwnd, SW_SHOW);
      w->core->OnInitDialog(*w->host);
      return TRUE;
    }
    case WM_COMMAND: {
      if (!w) return FALSE;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == 1000) {
        if (code == LBN_SELCHANGE) w->core->OnListSelectionChange();
        if (code == LBN_DBLCLK) w->core->OnListDoubleClick();
      } else if (code == BN_CLICKED) {
        if (id == kCloseButton) DestroyWindow(hwnd);  // ends as cancelled, no question asked
        else w->core->OnCommand(id);
      }
      return TRUE;
    }
    case WM_SYSCOMMAND:
      if (w && (wParam & 0xFFF0) == kAboutCommand) {
        CAboutDlg about(w->core->state()->iniPath);
        w->host->RunModal(ui::kAboutDialogId, about);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return TRUE;
    case kRecognizerNotify:
      if (w) w->core->OnRecognizerNotify();
      return TRUE;
    case kRunTask: {
      std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
      if (w && *task) (*task)();
      return TRUE;
    }
    case WM_DESTROY:
      if (w) w->core->OnDestroy();  // writes the keys, frees the table, releases the mutex
      PostQuitMessage(0);
      return FALSE;
    default: return FALSE;
  }
}

// "--card HOST[:PORT]": a FlashAir card other than flashair:80, as on Linux.
bool CardFromCommandLine(FlashAirTarget& card, bool& given) {
  std::vector<std::string> args = platform::Utf8Arguments(0, nullptr);
  given = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] != "--card") continue;
    if (i + 1 >= args.size() || !ParseCardTarget(args[i + 1], card)) return false;
    given = true;
  }
  return true;
}

int Run(HINSTANCE instance) {
  platform::UseUtf8Console();
  FlashAirTarget card;
  bool cardGiven = false;
  if (!CardFromCommandLine(card, cardGiven)) {
    MessageBoxW(nullptr, L"--card expects HOST or HOST:PORT", L"Quorvel", MB_ICONSTOP | MB_OK);
    return 2;
  }
  StateOptions options;
  auto engine = std::make_shared<speech::SapiEngine>();
  options.speechEngine = engine;
  CQuorvelDlg core(options);
  if (cardGiven) {  // the card's address; the configured time-outs stay
    core.state()->flashAir.host = card.host;
    core.state()->flashAir.port = card.port;
  }
  MainWindow window;
  window.core = &core;
  window.engine = engine;
  std::vector<DWORD> tmpl = BuildDialogTemplate(ui::MainDialogTemplate(), true);
  HWND hwnd = CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(tmpl.data()), nullptr,
                                         &MainProc, reinterpret_cast<LPARAM>(&window));
  if (!hwnd) return 1;
  ShowWindow(hwnd, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // The Enter rule: Enter anywhere in the main window is the program's own
    // key (register or send), never a click on a button.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && IsWindow(hwnd) &&
        (msg.hwnd == hwnd || IsChild(hwnd, msg.hwnd))) {
      core.OnEnterKey();
      continue;
    }
    if (IsWindow(hwnd) && IsDialogMessageW(hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace
}  // namespace quorvel::win32

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return quorvel::win32::Run(instance); }
