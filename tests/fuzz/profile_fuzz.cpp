// The INI reader and writer on any file: a written value reads back as
// written, and every other key reads as it did before.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_util.h"
#include "platform/files.h"
#include "platform/profile.h"

using namespace quorvel;

namespace {

// A name of letters, digits and '_' made from a few input bytes.
std::string Name(const std::uint8_t*& p, const std::uint8_t* end) {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
  std::size_t n = p < end ? 1 + *p++ % 4 : 1;
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += kChars[p < end ? *p++ % (sizeof kChars - 1) : 0];
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string ini = [] {
    // In memory where there is a tmpfs: every write is synced to its disk.
    char shm[] = "/dev/shm/quorvel-fuzz-XXXXXX", tmp[] = "/tmp/quorvel-fuzz-XXXXXX";
    char* dir = ::mkdtemp(shm);
    if (!dir) dir = ::mkdtemp(tmp);
    FUZZ_CHECK(dir);
    return std::string(dir) + "/Quorvel.ini";
  }();
  const std::uint8_t* p = data;
  const std::uint8_t* end = data + size;
  const std::string section = Name(p, end), key = Name(p, end);
  const std::string otherSection = Name(p, end), otherKey = Name(p, end);
  // A value of printable bytes without quotes, possibly longer than is read.
  std::string value;
  std::size_t valueLength = p < end ? *p++ : 0;
  for (std::size_t i = 0; i < valueLength && p < end; ++i) {
    char c = static_cast<char>(0x21 + *p++ % 0x5E);
    if (c != '"' && c != '\'') value += c;
  }
  std::string file(p, end);
  FUZZ_CHECK(platform::RewriteFile(ini, [&](const std::string&) { return std::optional<std::string>(file); }) == 0);

  auto same = [](const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
  };
  const std::string other = profile::GetString(otherSection, otherKey, "\x01", ini);
  FUZZ_CHECK(other.size() <= profile::kMaxValue);
  FUZZ_CHECK(profile::WriteString(section, key, value, ini));
  FUZZ_CHECK(profile::GetString(section, key, "\x01", ini) == value.substr(0, profile::kMaxValue));
  if (!(same(section, otherSection) && same(key, otherKey)))
    FUZZ_CHECK(profile::GetString(otherSection, otherKey, "\x01", ini) == other);
  (void)profile::GetInt(otherSection, otherKey, 7, ini);
  return 0;
}
