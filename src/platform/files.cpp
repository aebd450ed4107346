#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quorvel::platform {
namespace fs = std::filesystem;

bool PathExists(const std::string& native) {
  struct stat st;
  return !native.empty() && ::stat(native.c_str(), &st) == 0;
}

WriteOutcome WriteWholeFileExclusive(const std::string& native, const std::string& bytes) {
  struct stat st;
  // A read-only file stays read-only even for root, as on the card's own system.
  if (::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
    return {WriteOutcome::OpenFailed, EACCES};
  // Not O_TRUNC: the file is emptied only once the lock is ours.
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return {WriteOutcome::OpenFailed, errno};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    ::close(fd);
    return {WriteOutcome::OpenFailed, e};
  }
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
    int e = errno;
    ::close(fd);
    return {WriteOutcome::OpenFailed, e};
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int e = n < 0 ? errno : EIO;
      ::close(fd);
      return {WriteOutcome::WriteFailed, e};
    }
    done += static_cast<std::size_t>(n);
  }
  // The card may be pulled right after: make the record reach the medium.
  if (S_ISREG(st.st_mode) && ::fsync(fd) != 0 && errno != EINVAL) {
    int e = errno;
    ::close(fd);
    return {WriteOutcome::WriteFailed, e};
  }
  if (::close(fd) != 0) return {WriteOutcome::WriteFailed, errno};
  return {};
}

bool ReadWholeFile(const std::string& native, std::string& bytes) {
  std::ifstream in(native, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool CopyFileReplacing(const std::string& src, const std::string& dst) {
  std::string data;
  if (!ReadWholeFile(src, data) || fs::is_directory(src)) return false;
  const std::string tmp = dst + ".part";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(tmp, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(tmp, dst, ec);
  if (ec) fs::remove(tmp, ec);
  return !ec;
}

std::string MountPointOf(const std::string& native) {
  if (native.empty() || native[0] != '/') return "";
  fs::path p = fs::path(native).lexically_normal();
  struct stat st;
  while (::stat(p.c_str(), &st) != 0) {
    if (p == p.root_path()) return "/";
    p = p.parent_path();
  }
  dev_t dev = st.st_dev;
  while (p != p.root_path()) {
    fs::path parent = p.parent_path();
    if (::stat(parent.c_str(), &st) != 0 || st.st_dev != dev) break;
    p = parent;
  }
  std::string out = p.string();
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

}  // namespace quorvel::platform
