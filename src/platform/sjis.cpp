// The double-byte-aware searches on Shift_JIS texts; the same on every system.
#include "platform/sjis.h"

#include <algorithm>


namespace quorvel::sjis {

bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::size_t FindLastSeparator(std::string_view text) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b)) {
      ++i;  // the second byte is never a separator
    } else if (b == '\\' || b == '/') {
      found = i;
    }
  }
  return found;
}

std::size_t FindAtBoundary(std::string_view text, std::string_view needle) {
  if (needle.empty()) return 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, needle.size()) == needle) return i;
    if (IsLeadByte(static_cast<unsigned char>(text[i]))) ++i;
  }
  return std::string_view::npos;
}

std::size_t Utf8SequenceLength(std::string_view s, std::size_t pos) {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  return std::min(n, s.size() - pos);
}

std::string_view TruncateAtChar(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + len > maxBytes) break;
    i += len;
    end = i;
  }
  return text.substr(0, end);
}

}  // namespace quorvel::sjis
