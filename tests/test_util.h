// Helpers shared by the tests: temporary folders and files, Shift_JIS literals.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/sjis.h"
#include "robot/command_record.h"

namespace quorvel::test {

// Native paths are UTF-8 on every system; the standard library reads a plain
// string in the ANSI code page on Windows, so paths reach it as UTF-8 text.
inline std::filesystem::path Path(const std::string& native) {
  return std::filesystem::path(std::u8string(native.begin(), native.end()));
}
inline std::string Native(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class TempDir {
 public:
  // A new folder of this test's own under the system's temporary folder.
  TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("quorvel-" + std::to_string(random() % 1000000000));
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec)) return;
      if (ec) throw std::filesystem::filesystem_error("temporary folder", path_, ec);
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return Native(path_ / Path(name)); }

 private:
  std::filesystem::path path_;
};

// Makes a folder the working directory for the lifetime of the object, so
// relative catalogue names resolve there.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCwd() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(Path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(Path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One catalogue line: <P valstr="value">phrase</P> with CR LF.
inline std::string CatalogueLine(const std::string& value, const std::string& phrase) {
  return "    <P valstr=\"" + value + "\">" + phrase + "</P>\r\n";
}

// A UTF-8 literal in Shift_JIS.
inline std::string S(const std::string& utf8) { return *sjis::FromUtf8(utf8); }

// A command record as the bytes of a command file.
inline std::string Bytes(const RemoteCommand& r) { return std::string(r.begin(), r.end()); }

}  // namespace quorvel::test
