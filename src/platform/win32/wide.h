// UTF-8 <-> UTF-16 for the system's "W" functions: the Windows platform
// layer's native paths are UTF-8, as on Linux, and reach the system in UTF-16
// so that every name works whatever the ANSI code page is.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace quorvel::platform::win32 {

inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

inline std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

}  // namespace quorvel::platform::win32
