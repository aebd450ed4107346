// INI access through the system's own private-profile functions.
#include <windows.h>

#include "platform/profile.h"

namespace quorvel::profile {
namespace {

// The system looks for a bare file name in the Windows folder; here, as for
// every other file, a relative name means the current folder.
std::string Full(const std::string& path) {
  char full[MAX_PATH + 1] = {};
  DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return n == 0 || n >= MAX_PATH ? path : std::string(full, n);
}

}  // namespace

std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                      const std::string& path) {
  char value[kMaxValue + 1] = {};
  const std::string s(section), k(key), f(fallback);
  DWORD n = GetPrivateProfileStringA(s.c_str(), k.c_str(), f.c_str(), value, sizeof value, Full(path).c_str());
  return std::string(value, n);
}

int GetInt(std::string_view section, std::string_view key, int fallback, const std::string& path) {
  const std::string s(section), k(key);
  return static_cast<int>(GetPrivateProfileIntA(s.c_str(), k.c_str(), fallback, Full(path).c_str()));
}

bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path) {
  const std::string s(section), k(key), v(value);
  return WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), Full(path).c_str()) != 0;
}

}  // namespace quorvel::profile
