// Start-up and shutdown of the program's state, and its INI access.
#include "app/converter_state.h"

#include <algorithm>
#include <filesystem>

#include "app/controls.h"
#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/sjis.h"
#include "app/main_list.h"
#include "robot/flashair.h"
#include "speech/recognizer.h"

namespace quorvel {

std::string MakeIniPath(const std::string& executablePath) {
  std::size_t sep = sjis::FindLastSeparator(executablePath);
  std::string folder = sep == std::string::npos ? "" : executablePath.substr(0, sep + 1);
  // Beside the executable, where a copy run from a folder of its own keeps
  // it; an installed program's folder takes no file from its user, and a
  // name Shift_JIS cannot hold leaves no folder to name: then the user's
  // own configuration folder.
  if (!executablePath.empty() && platform::FolderWritable(platform::ToNativePath(folder)))
    return folder + "Quorvel.ini";
  std::string internal;
  if (platform::ToInternalPath(platform::UserConfigFolder() + "/Quorvel.ini", internal)) return internal;
  return folder + "Quorvel.ini";
}

bool IsArithmeticDictionary(const std::string& dictionaryPath) {
  // A path chosen on this system has '/' where Windows has '\'.
  return sjis::FindAtBoundary(dictionaryPath, "\\calc") != std::string::npos ||
         sjis::FindAtBoundary(dictionaryPath, "/calc") != std::string::npos;
}

int ClampCapacity(long long configured) {
  if (configured <= 0) return kDefaultCapacity;
  return static_cast<int>(std::min<long long>(configured, kMaxCapacity));
}

ConverterState::ConverterState(const StateOptions& options)
    : instanceMutex(options.lockDir), speechEngine(options.speechEngine) {
  std::string exe = options.executablePath.empty() ? platform::ExecutablePath()
                                                   : options.executablePath;
  iniPath = options.iniPath.empty() ? MakeIniPath(exe) : options.iniPath;
  dataSet = ReadIniInt("DATA", "PLAYER_TYPE", 0);
  // A value beyond the six data sets would name a radio that does not exist.
  if (dataSet < 0 || dataSet >= kDataSetCount) dataSet = 0;
  modelMask = static_cast<std::uint32_t>(ReadIniInt("DATA", "VERSION", 1));
  items.resize(static_cast<std::size_t>(
      ClampCapacity(ReadIniInt("DATA", "NINSHIKI_DATA_COUNT", kDefaultCapacity))));
  dictionaryPath = ReadIniString("SPEECH", "DICTIONARY", "");
  generalDictation = ReadIniInt("SPEECH", "GENERAL", 0) == 1;
  suppressWhilePlaying = ReadIniInt("SPEECH", "DISABLE_TIME", 0) == 1 ? 1 : 0;
  suppressUntil = 0;
  remoteDir = ReadIniString("REMOTE", "REMOTE_DIR", ".");
  remoteInterval = ReadIniInt("REMOTE", "REMOTE_INTERVAL", 1000);
  // The FlashAir card: its address (a card in station mode has one of the
  // home network) and how long a dead or hanging card may hold the window.
  FlashAirTarget card;
  if (ParseCardTarget(ReadIniString("REMOTE", "FLASHAIR_HOST", "flashair"), card)) flashAir = card;
  flashAir.limits.connectTimeoutMs =
      1000L * std::clamp(ReadIniInt("REMOTE", "FLASHAIR_CONNECT_TIMEOUT", 5), 1, 600);
  flashAir.limits.totalTimeoutMs = 1000L * std::clamp(ReadIniInt("REMOTE", "FLASHAIR_TIMEOUT", 10), 1, 3600);
}

ConverterState::~ConverterState() = default;

void ConverterState::AttachWindow(ui::DialogHost* window) {
  mainWindow = window;
  connectType = ReadIniInt("REMOTE", "CONNECT_TYPE", 1);
  // Only another running instance refuses the start; a lock that cannot be
  // had for any other reason does not stop the program.
  if (instanceMutex.Acquire() == platform::InstanceLock::Result::HeldByOther) {
    ShowMessage(IDS_ALREADY_RUNNING);
    if (mainWindow) mainWindow->PostClose();
    return;
  }
  if (mainWindow) {
    if (generalDictation) mainWindow->SetCheck(ctl::kGeneralCheck, true);
    if (dataSet != 0) {
      mainWindow->SetCheck(ctl::kFirstDataSetRadio, false);
      mainWindow->SetCheck(ctl::kFirstDataSetRadio + dataSet, true);
    }
  }
  if (dataSet == kDictionaryDataSet) {
    if (mainWindow) {
      mainWindow->EnableControl(ctl::kDictionaryButton, true);
      mainWindow->EnableControl(ctl::kRegisterButton, false);
    }
    arithmeticEnabled = IsArithmeticDictionary(dictionaryPath);
  }
  LoadCatalogue(*this, dataSet);
  if (dataSet == kProgramDataSet) ScanProgramFolder(*this);
  if (ReadIniInt("SPEECH", "AUTOSTART", 1) == 1) {
    // The window is usable while the recogniser's models still load; the
    // start runs once they are there, and check box 1037 then shows it.
    if (speechEngine && !speechEngine->Ready() && postToWindow) {
      speechEngine->WhenReady([this, post = postToWindow] {
        post([this] {
          if (!shutDown_) StartRecognizer(*this);
        });
      });
    } else {
      StartRecognizer(*this);
    }
  }
  FillList(*this);
}

void ConverterState::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  WriteIniString("DATA", "PLAYER_TYPE", std::to_string(dataSet % 10));
  WriteIniString("SPEECH", "DICTIONARY", dictionaryPath);
  WriteIniString("SPEECH", "GENERAL", generalDictation ? "1" : "0");
  if (speechEngine) speechEngine->CancelWhenReady();
  StopRecognizer(*this);
  ClearItems(*this, true);
  instanceMutex.Release();
}

std::string ConverterState::ReadIniString(const char* section, const char* key,
                                          const char* fallback) const {
  return profile::GetString(section, key, fallback, platform::ToNativePath(iniPath));
}

int ConverterState::ReadIniInt(const char* section, const char* key, int fallback) const {
  return profile::GetInt(section, key, fallback, platform::ToNativePath(iniPath));
}

bool ConverterState::WriteIniString(const char* section, const char* key,
                                    const std::string& value) const {
  const std::string native = platform::ToNativePath(iniPath);
  // The user's configuration folder is made with the first setting.
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(native).parent_path(), ec);
  if (profile::WriteString(section, key, value, native)) return true;
  // Said once: a setting that is not kept must not go unnoticed, and a
  // message at every key would only repeat it.
  if (!iniWriteReported_) {
    iniWriteReported_ = true;
    ShowMessage(IDS_INI_WRITE_FAILED, FormatString(IDS_INI_WRITE_FAILED, iniPath));
  }
  return false;
}

ui::Answer ConverterState::ShowMessage(int stringId, const std::string& text, ui::Icon icon,
                                       ui::Buttons buttons) const {
  if (!mainWindow) return buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::No;
  return mainWindow->MessageBox(stringId, text, icon, buttons);
}

std::optional<std::string> ConverterState::ChooseFile(
    const ui::FileDialogRequest& request) const {
  if (!mainWindow) return std::nullopt;
  auto chosen = mainWindow->OpenFileDialog(request);
  if (!chosen) return std::nullopt;
  std::string internal;
  if (!platform::ToInternalPath(*chosen, internal)) {
    ShowMessage(IDS_FILE_NAME_UNUSABLE,
                FormatString(IDS_FILE_NAME_UNUSABLE, sjis::FromUtf8Lossy(*chosen)));
    return std::nullopt;
  }
  return internal;
}

ui::Answer ConverterState::ShowMessage(int stringId) const {
  return ShowMessage(stringId, LoadString(stringId));
}

ui::Answer ConverterState::ShowMessage(int stringId, const std::string& text, const std::string& details,
                                       ui::Icon icon) const {
  if (mainWindow && !details.empty()) mainWindow->SetMessageDetails(details);
  return ShowMessage(stringId, text, icon);
}

}  // namespace quorvel
