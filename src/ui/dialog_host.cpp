// Operations common to every host, built on its primitive list calls.
#include "ui/dialog_host.h"

#include "platform/sjis.h"

namespace quorvel::ui {
namespace {

// Prefix test that folds ASCII letters only and never a trail byte.
bool StartsWithNoCase(const std::string& line, const std::string& prefix) {
  if (prefix.size() > line.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    unsigned char a = static_cast<unsigned char>(line[i]);
    unsigned char b = static_cast<unsigned char>(prefix[i]);
    if (sjis::IsLeadByte(a)) {
      // Both bytes of a double-byte character must match as they stand.
      if (i + 1 >= prefix.size() || a != b || line[i + 1] != prefix[i + 1]) return false;
      ++i;
      continue;
    }
    if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

}  // namespace

int ListSelectString(DialogHost& host, int listId, int startAfter, const std::string& prefix) {
  int count = host.ListCount(listId);
  if (count <= 0) return -1;
  int start = (startAfter < -1 || startAfter >= count) ? -1 : startAfter;
  for (int n = 1; n <= count; ++n) {
    int i = (start + n) % count;
    if (StartsWithNoCase(host.ListText(listId, i), prefix)) {
      host.ListSelect(listId, i);
      return i;
    }
  }
  return -1;
}

}  // namespace quorvel::ui
