#include "platform/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/sjis.h"

namespace quorvel::platform {

std::string ToNativePath(std::string_view internal) {
  std::string bytes;
  bytes.reserve(internal.size());
  for (std::size_t i = 0; i < internal.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(internal[i]);
    if (sjis::IsLeadByte(b) && i + 1 < internal.size()) {
      bytes += internal[i];
      bytes += internal[++i];
    } else {
      bytes += (b == '\\') ? '/' : internal[i];
    }
  }
  return sjis::ToUtf8(bytes);
}

namespace {
// An XDG base folder (only an absolute one counts), else its default under HOME.
std::string XdgFolder(const char* variable, const char* underHome) {
  const char* set = std::getenv(variable);
  if (set && *set == '/') return std::string(set) + "/quorvel";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "") + underHome + "/quorvel";
}
}  // namespace

std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }
std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }

bool FolderWritable(const std::string& native) {
  return ::access(native.empty() ? "." : native.c_str(), W_OK | X_OK) == 0;
}

std::string ExecutablePath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  std::string internal;
  if (!ToInternalPath(p.string(), internal)) return "";
  return internal;
}

}  // namespace quorvel::platform
