#include "robot/local_transport.h"

#include <cerrno>
#include <cstring>

#include "app/converter_state.h"
#include "app/strings.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/sjis.h"
#include "robot/command_record.h"

namespace quorvel {
namespace {

constexpr const char* kCommandFile = "ADDON\\REMOTE.LOG";
constexpr const char* kProgramCopy = "ADDON\\TEMP.TXA";

ui::FileDialogRequest RemoteFileRequest(const std::string& initialFile) {
  return {"LOG", initialFile, "ﾘﾓｰﾄﾌｧｲﾙ", "REMOTE.LOG", true};
}

int FileErrorText(int error) {
  switch (error) {
#ifdef EDQUOT  // a quota: no such thing on Windows
    case EDQUOT:
#endif
    case ENOSPC: return IDS_FILE_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS: return IDS_FILE_ACCESS_DENIED;
    case ENOENT: return IDS_FILE_NOT_FOUND;
    default: return IDS_FILE_GENERIC;
  }
}

// Up to (including when keep is set) the last separator; empty when none.
std::string UpToLastSeparator(const std::string& path, bool keep) {
  std::size_t sep = sjis::FindLastSeparator(path);
  if (sep == std::string::npos) return "";
  return path.substr(0, keep ? sep + 1 : sep);
}

bool WriteRecord(ConverterState& state, const std::string& internalPath,
                 const RemoteCommand& record) {
  const std::string native = platform::ToNativePath(internalPath);
  auto outcome = platform::WriteCardFile(
      native, std::string(record.begin(), record.end()));
  if (outcome.kind == platform::WriteOutcome::OpenFailed) {
    state.ShowMessage(IDS_REMOTE_WRITE_FAILED, LoadString(IDS_REMOTE_WRITE_FAILED),
                      native + ": " + std::strerror(outcome.error));
    return false;
  }
  if (outcome.kind == platform::WriteOutcome::WriteFailed) {
    int id = FileErrorText(outcome.error);
    state.ShowMessage(id, FormatString(id, sjis::FromUtf8Lossy(native)), ui::Icon::Stop);
    return false;
  }
  return true;
}

}  // namespace

std::string CommandFilePath(const ConverterState& state) { return state.remoteDir + kCommandFile; }

bool SetupRemoteFolder(ConverterState& state) {
  auto chosen = state.ChooseFile(RemoteFileRequest("REMOTE.LOG"));
  if (!chosen) return false;
  if (!platform::PathExists(platform::ToNativePath(*chosen))) {
    state.ShowMessage(IDS_REMOTE_LOG_MISSING);
    return false;
  }
  // The parent of the folder holding the file: that folder is the card's ADDON.
  state.remoteDir = UpToLastSeparator(UpToLastSeparator(*chosen, false), true);
  state.WriteIniString("REMOTE", "REMOTE_DIR", state.remoteDir);
  return true;
}

bool SendVoiceLocal(ConverterState& state, std::int16_t voiceId, std::int16_t duration,
                    std::int16_t volume) {
  std::string path = CommandFilePath(state);
  if (!platform::PathExists(platform::ToNativePath(path))) {
    if (!SetupRemoteFolder(state)) return false;
    path = CommandFilePath(state);
  }
  return WriteRecord(state, path,
                     MakeVoiceCommand(voiceId, duration, volume, state.dataSet,
                                      state.remoteInterval));
}

bool SendArithmeticLocal(ConverterState& state, const ArithmeticExpr& expr) {
  return WriteRecord(state, CommandFilePath(state), MakeArithmeticCommand(expr));
}

bool RunProgramLocal(ConverterState& state, const std::string& programPath) {
  if (state.remoteDir.empty() ||
      !platform::PathExists(platform::ToNativePath(CommandFilePath(state)))) {
    auto chosen = state.ChooseFile(RemoteFileRequest("ADDON/REMOTE.LOG"));
    if (!chosen) return false;
    // The card's root: here the mount point of the file system holding the file.
    std::string mount = platform::MountPointOf(platform::ToNativePath(*chosen));
    std::string internal;
    state.remoteDir = platform::ToInternalPath(mount, internal) ? internal : "";
  }
  const std::string copy = platform::ToNativePath(state.remoteDir + kProgramCopy);
  if (int e = platform::CopyToCard(platform::ToNativePath(programPath), copy)) {
    state.ShowMessage(IDS_PROGRAM_COPY_FAILED, LoadString(IDS_PROGRAM_COPY_FAILED),
                      platform::ToNativePath(programPath) + " -> " + copy + ": " + std::strerror(e));
    return false;
  }
  return SendVoiceLocal(state, kRunProgramVoiceId, 0, 0);
}

}  // namespace quorvel
