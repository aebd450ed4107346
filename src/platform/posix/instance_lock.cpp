#include "platform/instance_lock.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::platform {
namespace {

// A folder only this user can write to, so nobody else can plant or hold
// the lock file in it.
bool PrivateFolder(const std::string& dir) {
  struct stat st;
  return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 022) == 0;
}

std::string DefaultLockDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime && PrivateFolder(runtime)) return runtime;
  // Without one (after su, say), a folder of our own in /tmp; made here if
  // missing, and refused when someone else made it.
  std::string dir = "/tmp/quorvel-" + std::to_string(::getuid());
  ::mkdir(dir.c_str(), 0700);
  return PrivateFolder(dir) ? dir : "";
}

}  // namespace

InstanceLock::InstanceLock(std::string lockDir) : lockDir_(std::move(lockDir)) {}

InstanceLock::~InstanceLock() { Release(); }

bool InstanceLock::Held() const { return lock_ >= 0; }

InstanceLock::Result InstanceLock::Acquire() {
  if (lock_ >= 0) return Result::Acquired;
  std::string dir = lockDir_.empty() ? DefaultLockDir() : lockDir_;
  if (dir.empty()) return Result::Unavailable;
  const std::string path = dir + "/Quorvel.lock";
  // O_NOFOLLOW: a link planted in the folder must not redirect the lock file.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Unavailable;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Result::Unavailable;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Result::HeldByOther : Result::Unavailable;
  }
  lock_ = fd;
  return Result::Acquired;
}

void InstanceLock::Release() {
  if (lock_ < 0) return;
  const int fd = static_cast<int>(lock_);
  ::flock(fd, LOCK_UN);
  ::close(fd);
  lock_ = -1;
}

}  // namespace quorvel::platform
