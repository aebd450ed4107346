// One running instance: the named mutex "Quorvel", owned from the start. A
// lock folder given by a test names a mutex of its own.
#include <windows.h>

#include "platform/instance_lock.h"

namespace quorvel::platform {

InstanceLock::InstanceLock(std::string lockDir) : lockDir_(std::move(lockDir)) {}

InstanceLock::~InstanceLock() { Release(); }

bool InstanceLock::Held() const { return lock_ != -1; }

InstanceLock::Result InstanceLock::Acquire() {
  if (lock_ != -1) return Result::Acquired;
  std::string name = "Quorvel";
  if (!lockDir_.empty()) {
    name += ':';
    for (char c : lockDir_) name += c == '\\' ? '/' : c;  // a backslash would name a namespace
  }
  HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
  if (!mutex) return Result::Unavailable;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return Result::HeldByOther;
  }
  lock_ = reinterpret_cast<std::intptr_t>(mutex);
  return Result::Acquired;
}

void InstanceLock::Release() {
  if (lock_ == -1) return;
  HANDLE mutex = reinterpret_cast<HANDLE>(lock_);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  lock_ = -1;
}

}  // namespace quorvel::platform
