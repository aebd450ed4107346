#include "platform/instance_lock.h"

#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quorvel::platform {

InstanceLock::InstanceLock(std::string lockDir) {
  if (lockDir.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
      path_ = std::string(runtime) + "/Quorvel.lock";
    } else {
      path_ = "/tmp/Quorvel-" + std::to_string(getuid()) + ".lock";
    }
  } else {
    path_ = lockDir + "/Quorvel.lock";
  }
}

InstanceLock::~InstanceLock() { Release(); }

bool InstanceLock::Acquire() {
  if (fd_ >= 0) return true;
  // O_NOFOLLOW: a link planted in /tmp must not redirect the lock file.
  int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
}

}  // namespace quorvel::platform
