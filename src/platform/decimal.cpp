#include "platform/decimal.h"

#include <algorithm>

namespace quorvel::platform {

std::int32_t ReadDecimal(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = std::min<long long>(v * 10 + (s[i] - '0'), 1LL << 32);
  }
  if (negative) v = -v;
  return static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

}  // namespace quorvel::platform
