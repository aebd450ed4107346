// One running instance per user: an exclusive flock on Quorvel.lock in the
// user's runtime folder, released when the process ends however it ends.
#pragma once
#include <string>

namespace quorvel::platform {

class InstanceLock {
 public:
  // lockDir empty: $XDG_RUNTIME_DIR, else a per-user file in /tmp.
  explicit InstanceLock(std::string lockDir = "");
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process now holds the lock; false when another holds it.
  bool Acquire();
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace quorvel::platform
