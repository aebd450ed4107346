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

bool ToInternalPath(std::string_view native, std::string& internal) {
  auto converted = sjis::FromUtf8(native);
  if (!converted) return false;
  internal = *converted;
  return true;
}

std::string UserConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return std::string(config) + "/quorvel";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "") + "/.config/quorvel";
}

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
