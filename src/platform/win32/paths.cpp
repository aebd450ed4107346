// Paths on Windows: native paths are UTF-8 as on Linux (the platform layer
// hands them to the system in UTF-16); separators stay '\'. The program keeps
// its settings beside its executable and its catalogues in the current folder.
#include <windows.h>

#include <vector>

#include "platform/paths.h"
#include "platform/sjis.h"
#include "platform/win32/wide.h"

namespace quorvel::platform {

std::string ToNativePath(std::string_view internal) { return sjis::ToUtf8(internal); }

namespace {
std::wstring ModulePath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return L"";
    if (n < path.size()) return std::wstring(path.data(), n);
    path.resize(path.size() * 2);
  }
}
}  // namespace

std::string ExecutablePath() {
  std::string internal;
  if (!ToInternalPath(win32::Utf8(ModulePath()), internal)) return "";
  return internal;
}

std::string UserConfigFolder() {
  std::string exe = win32::Utf8(ModulePath());
  std::size_t sep = exe.find_last_of("\\/");
  return sep == std::string::npos ? "." : exe.substr(0, sep);
}

std::string UserDataFolder() { return "."; }

bool FolderWritable(const std::string& native) {
  // The only sure answer on Windows (ACLs, virtualisation): try it.
  std::wstring folder = win32::Wide(native.empty() ? "." : native);
  wchar_t probe[MAX_PATH + 1] = {};
  if (GetTempFileNameW(folder.c_str(), L"qvl", 0, probe) == 0) return false;
  DeleteFileW(probe);
  return true;
}

}  // namespace quorvel::platform
