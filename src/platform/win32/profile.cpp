// INI access through the system's own private-profile functions, the "A"
// forms: the values are Shift_JIS bytes, passed through as they are.
#include <windows.h>

#include "platform/profile.h"
#include "platform/win32/wide.h"

namespace quorvel::profile {
namespace {

// The path as the "A" functions take it: in the ANSI code page, full (the
// system looks for a bare file name in the Windows folder; here, as for every
// other file, a relative name means the current folder). A folder the code
// page cannot name is given by its short name.
std::string AnsiPath(const std::string& native) {
  std::wstring wide = platform::win32::Wide(native);
  wchar_t full[MAX_PATH + 1] = {};
  DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
  if (n > 0 && n < MAX_PATH) wide.assign(full, n);
  auto ansi = [](const std::wstring& w, std::string& out) {
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) return false;
    out.assign(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, out.data(), size, nullptr, &lossy);
    return !lossy;
  };
  std::string out;
  if (ansi(wide, out)) return out;
  const std::size_t sep = wide.find_last_of(L"\\/");
  if (sep != std::wstring::npos) {
    wchar_t shortFolder[MAX_PATH + 1] = {};
    DWORD m = GetShortPathNameW(wide.substr(0, sep).c_str(), shortFolder, MAX_PATH);
    if (m > 0 && m < MAX_PATH && ansi(std::wstring(shortFolder, m) + wide.substr(sep), out)) return out;
  }
  return native;
}

// The system keeps the last file read in a cache that a rewrite within the
// same clock tick does not invalidate; a read must see the file as it is.
void Forget(const std::string& ansiPath) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ansiPath.c_str());
}

}  // namespace

std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                      const std::string& path) {
  char value[kMaxValue + 1] = {};
  const std::string s(section), k(key), f(fallback);
  const std::string file = AnsiPath(path);
  Forget(file);
  DWORD n = GetPrivateProfileStringA(s.c_str(), k.c_str(), f.c_str(), value, sizeof value, file.c_str());
  return std::string(value, n);
}

int GetInt(std::string_view section, std::string_view key, int fallback, const std::string& path) {
  const std::string s(section), k(key);
  const std::string file = AnsiPath(path);
  Forget(file);
  return static_cast<int>(GetPrivateProfileIntA(s.c_str(), k.c_str(), fallback, file.c_str()));
}

bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path) {
  const std::string s(section), k(key), v(value);
  return WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), AnsiPath(path).c_str()) != 0;
}

}  // namespace quorvel::profile
