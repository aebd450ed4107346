// Shift_JIS <-> UTF-8 through the system's code page 932 tables (not the
// ANSI code page: the program's texts are Shift_JIS on every Windows).
#include <windows.h>

#include <algorithm>

#include "platform/sjis.h"
#include "platform/win32/wide.h"

namespace quorvel::sjis {
namespace {

constexpr UINT kShiftJis = 932;

// Strict conversion of a byte run to UTF-16; false when any byte is invalid.
bool Widen(UINT codePage, std::string_view bytes, std::wstring& wide) {
  wide.clear();
  if (bytes.empty()) return true;
  const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
  int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  wide.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), n) == n;
}

// UTF-16 -> Shift_JIS; false when a character has no Shift_JIS form (no
// best-fit substitutes: a lookalike would name another file).
bool Narrow(const std::wstring& wide, std::string& out) {
  out.clear();
  if (wide.empty()) return true;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                              nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(n));
  WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      out.data(), n, nullptr, &usedDefault);
  return !usedDefault;
}

}  // namespace

std::string ToUtf8(std::string_view text) {
  std::wstring wide;
  if (Widen(kShiftJis, text, wide)) return platform::win32::Utf8(wide);
  // Some byte is invalid: character by character, each bad one a U+FFFD.
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    out += Widen(kShiftJis, text.substr(i, len), wide) ? platform::win32::Utf8(wide) : "\xEF\xBF\xBD";
    i += len;
  }
  return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  std::wstring wide;
  std::string out;
  if (!Widen(CP_UTF8, utf8, wide) || !Narrow(wide, out)) return std::nullopt;
  return out;
}

std::string FromUtf8Lossy(std::string_view utf8) {
  if (auto whole = FromUtf8(utf8)) return *whole;
  std::string out, one;
  std::wstring wide;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t len = Utf8SequenceLength(utf8, i);
    if (Widen(CP_UTF8, utf8.substr(i, len), wide) && Narrow(wide, one)) out += one;
    i += len;
  }
  return out;
}

}  // namespace quorvel::sjis
