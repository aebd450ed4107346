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

namespace {

// Writes all of bytes to fd; the errno of a failure, 0 on success.
int WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

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
  if (int e = WriteAll(fd, bytes)) {
    ::close(fd);
    return {WriteOutcome::WriteFailed, e};
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
  // POSIX reads, so a folder or an I/O error is a failure with errno set,
  // not an exception from a stream.
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string out;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int e = errno;
      ::close(fd);
      errno = e;
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  bytes = std::move(out);
  return true;
}

bool WriteFileReplacing(const std::string& dst, const std::string& bytes) {
  const std::string tmp = dst + ".new";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tmp.c_str(), dst.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

bool CopyFileReplacing(const std::string& src, const std::string& dst) {
  std::string data;
  return !fs::is_directory(src) && ReadWholeFile(src, data) && WriteFileReplacing(dst, data);
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
