#include "platform/clock.h"

#include <chrono>

namespace quorvel::platform {
namespace {
const auto kStart = std::chrono::steady_clock::now();
}
std::int32_t ProcessClockMs() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - kStart);
  return static_cast<std::int32_t>(ms.count());
}
}  // namespace quorvel::platform
