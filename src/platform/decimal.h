// Reading a decimal number in the C runtime's manner (atoi): leading white
// space, an optional sign, digits up to the first other byte; text without
// leading digits gives 0. Held at the 32-bit limits instead of overflowing.
#pragma once
#include <cstdint>
#include <string_view>

namespace quorvel::platform {
std::int32_t ReadDecimal(std::string_view text);
}  // namespace quorvel::platform
