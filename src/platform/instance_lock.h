// One running instance per user, released when the process ends however it
// ends: on Linux an exclusive flock on Quorvel.lock in the user's runtime
// folder, on Windows the named mutex "Quorvel".
#pragma once
#include <cstdint>
#include <string>

namespace quorvel::platform {

class InstanceLock {
 public:
  // lockDir empty: $XDG_RUNTIME_DIR when it is a private folder of ours,
  // else a private per-user folder in /tmp made for it (Linux); the mutex
  // "Quorvel" (Windows). A test's own lockDir makes a lock of its own.
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
  bool Held() const;

 private:
  std::string lockDir_;
  // The lock file's descriptor (Linux) or the mutex handle (Windows); -1: none.
  std::intptr_t lock_ = -1;
};

}  // namespace quorvel::platform
