// One running instance per user: an exclusive flock on Quorvel.lock in the
// user's runtime folder, released when the process ends however it ends.
#pragma once
#include <string>

namespace quorvel::platform {

class InstanceLock {
 public:
  // lockDir empty: $XDG_RUNTIME_DIR when it is a private folder of ours,
  // else a private per-user folder in /tmp made for it.
  explicit InstanceLock(std::string lockDir = "");
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  enum class Result {
    Acquired,     // this process now holds the lock
    HeldByOther,  // another running instance holds it
    Unavailable,  // no lock could be had (no usable folder, a planted file):
                  // nothing says another instance runs, so the program goes on
  };
  Result Acquire();
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  std::string lockDir_;
  int fd_ = -1;
};

}  // namespace quorvel::platform
