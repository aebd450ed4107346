// Helpers shared by the tests: temporary folders and files, Shift_JIS literals.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "platform/sjis.h"
#include "robot/command_record.h"

namespace quorvel::test {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "quorvel-XXXXXX").string();
    path_ = mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
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
