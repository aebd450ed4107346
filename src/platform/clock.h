// The process clock: milliseconds since the process started.
#pragma once
#include <cstdint>

namespace quorvel::platform {
std::int32_t ProcessClockMs();
}
