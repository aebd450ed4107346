// Texts of quorvel-cli's command line (UTF-8) in the core's Shift_JIS; what
// Shift_JIS cannot hold is said on stderr.
#pragma once
#include <iostream>
#include <optional>
#include <string>

#include "platform/paths.h"
#include "platform/sjis.h"

namespace quorvel::cli {

// A path in internal form; false when the what-named file or folder cannot be held.
inline bool ToInternal(const std::string& native, std::string& internal, const char* what) {
  if (platform::ToInternalPath(native, internal)) return true;
  std::cerr << "the " << what << " name cannot be written in Shift_JIS: " << native << "\n";
  return false;
}

// A text in Shift_JIS; nothing when it cannot be held.
inline std::optional<std::string> Sjis(const std::string& utf8) {
  auto text = sjis::FromUtf8(utf8);
  if (!text) std::cerr << "the text cannot be written in Shift_JIS: " << utf8 << "\n";
  return text;
}

}  // namespace quorvel::cli
