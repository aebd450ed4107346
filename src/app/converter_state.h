// ConverterState: the one object holding configuration, the loaded catalogue
// and the instance lock between two user actions. Start-up and shutdown live
// here; every other operation of the program works on this object.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/voice_item.h"
#include "platform/clock.h"
#include "platform/http.h"
#include "platform/instance_lock.h"
#include "speech/engine/engine.h"
#include "ui/dialog_host.h"

namespace quorvel {

constexpr int kDefaultCapacity = 800;
constexpr int kMaxCapacity = 100000;

// Where the FlashAir card answers: [REMOTE] FLASHAIR_HOST (HOST[:PORT],
// default flashair:80) and the time-outs FLASHAIR_CONNECT_TIMEOUT (s, default
// 5) and FLASHAIR_TIMEOUT (a whole exchange, s, default 10); the command line
// of either program may point it elsewhere.
struct FlashAirTarget {
  std::string host = "flashair";
  int port = 80;
  platform::HttpLimits limits;
};

struct StateOptions {
  std::string executablePath;  // internal form; empty: the running executable
  std::string lockDir;         // empty: the user's runtime folder
  std::string iniPath;         // internal form; empty: Quorvel.ini beside the executable
  // The system's recogniser; none: every start fails with message 128.
  std::shared_ptr<speech::Engine> speechEngine;
};

class ConverterState {
 public:
  explicit ConverterState(const StateOptions& options = {});
  ~ConverterState();
  ConverterState(const ConverterState&) = delete;
  ConverterState& operator=(const ConverterState&) = delete;

  void AttachWindow(ui::DialogHost* window);
  void Shutdown();

  // INI access at iniPath.
  std::string ReadIniString(const char* section, const char* key, const char* fallback) const;
  int ReadIniInt(const char* section, const char* key, int fallback) const;
  bool WriteIniString(const char* section, const char* key, const std::string& value) const;

  // A message box through the main window (exclamation icon, OK) when there is one.
  ui::Answer ShowMessage(int stringId, const std::string& text,
                         ui::Icon icon = ui::Icon::Exclamation,
                         ui::Buttons buttons = ui::Buttons::Ok) const;
  ui::Answer ShowMessage(int stringId) const;
  // The same with details under the text (UTF-8): the path or address tried
  // and the system's reason.
  ui::Answer ShowMessage(int stringId, const std::string& text, const std::string& details,
                         ui::Icon icon = ui::Icon::Exclamation) const;

  // The Open file dialog of the main window. The chosen path comes back in
  // internal form (Shift_JIS); a name Shift_JIS cannot hold is refused with a
  // message rather than mangled. Nothing on cancel or without a window.
  std::optional<std::string> ChooseFile(const ui::FileDialogRequest& request) const;

  int Capacity() const { return static_cast<int>(items.size()); }

  std::string iniPath;
  int dataSet = 0;
  int connectType = 1;
  int itemCount = 0;
  std::vector<VoiceItem> items;
  std::uint32_t modelMask = 1;
  bool generalDictation = false;
  int undefinedIndex = -1;
  bool arithmeticEnabled = false;
  std::string remoteDir;
  int remoteInterval = 1000;
  ui::DialogHost* mainWindow = nullptr;
  int recognitionActive = 0;
  std::string dictionaryPath;
  int suppressWhilePlaying = 0;
  std::int32_t suppressUntil = 0;
  platform::InstanceLock instanceMutex;
  bool modelMaskChanged = false;
  FlashAirTarget flashAir;
  // Set by the window: posts the recogniser's notification to the UI thread.
  // May be called from the recogniser's own thread.
  std::function<void()> notifyWindow;
  // Set by a window that runs an event loop: runs a task on the UI thread
  // later. Safe from any thread.
  std::function<void(std::function<void()>)> postToWindow;
  // The recogniser session: the context is set exactly while one exists.
  std::shared_ptr<speech::Engine> speechEngine;
  std::shared_ptr<speech::RecoContext> recoContext;
  std::shared_ptr<speech::RecoGrammar> grammar;
  // A file standing in for the fixed catalogue of data sets 0 to 4 (internal
  // form); only the command line sets it.
  std::string catalogueOverride;
  // The process clock in milliseconds; tests set their own.
  std::function<std::int32_t()> clock = platform::ProcessClockMs;

 private:
  bool shutDown_ = false;
  mutable bool iniWriteReported_ = false;
};

// A configured table capacity made safe to allocate: 0 or less gives the
// default, and very large values are held at the maximum.
int ClampCapacity(long long configured);

// The INI path for an executable path (internal form): Quorvel.ini in its
// folder when this user may write there, else in the user's configuration
// folder.
std::string MakeIniPath(const std::string& executablePath);

// Whether a dictionary path names an arithmetic dictionary (holds "\calc").
bool IsArithmeticDictionary(const std::string& dictionaryPath);

}  // namespace quorvel
