// The Shift_JIS conversions and the searches that step over double-byte
// characters, on any bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "platform/sjis.h"

using namespace quorvel;

namespace {

bool ValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::vector<bool> boundary(size + 1, false);
  for (std::size_t i = 0; i < size;) {
    boundary[i] = true;
    i += sjis::IsLeadByte(static_cast<unsigned char>(in[i])) && i + 1 < size ? 2 : 1;
  }
  boundary[size] = true;

  const std::string utf8 = sjis::ToUtf8(in);
  FUZZ_CHECK(ValidUtf8(utf8));
  if (auto back = sjis::FromUtf8(utf8)) FUZZ_CHECK(sjis::ToUtf8(*back) == utf8);
  FUZZ_CHECK(sjis::ToUtf8(sjis::FromUtf8Lossy(utf8)).size() <= utf8.size() * 3 + 3);
  (void)sjis::FromUtf8Lossy(in);  // any bytes taken as UTF-8

  std::size_t sep = sjis::FindLastSeparator(in);
  if (sep != std::string::npos) FUZZ_CHECK(sep < size && boundary[sep] && (in[sep] == '\\' || in[sep] == '/'));
  std::size_t at = sjis::FindAtBoundary(in, "\\calc");
  if (at != std::string::npos) FUZZ_CHECK(boundary[at] && in.substr(at, 5) == "\\calc");
  for (std::size_t limit : {std::size_t{0}, size / 2, size}) {
    std::string_view cut = sjis::TruncateAtChar(in, limit);
    FUZZ_CHECK(cut.size() <= limit && in.substr(0, cut.size()) == cut && boundary[cut.size()]);
  }
  return 0;
}
