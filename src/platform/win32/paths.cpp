// Paths on Windows: the file system takes the internal form itself (the
// "A" functions read Shift_JIS on a Japanese system), and the program keeps
// its settings beside its executable and its catalogues in the current folder.
#include <windows.h>

#include "platform/paths.h"
#include "platform/sjis.h"

namespace quorvel::platform {

std::string ToNativePath(std::string_view internal) { return std::string(internal); }

bool ToInternalPath(std::string_view native, std::string& internal) {
  internal = std::string(native);
  return true;
}

std::string ExecutablePath() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  return std::string(path, n);
}

std::string UserConfigFolder() {
  std::string exe = ExecutablePath();
  std::size_t sep = sjis::FindLastSeparator(exe);
  return sep == std::string::npos ? "." : exe.substr(0, sep);
}

std::string UserDataFolder() { return "."; }

bool FolderWritable(const std::string& native) {
  // The only sure answer on Windows (ACLs, virtualisation): try it.
  std::string folder = native.empty() ? "." : native;
  char probe[MAX_PATH + 1] = {};
  if (GetTempFileNameA(folder.c_str(), "qvl", 0, probe) == 0) return false;
  DeleteFileA(probe);
  return true;
}

}  // namespace quorvel::platform
