// The record decoder on any bytes: one line, and a record only when it is
// 16 bytes of a form the robot reads.
#include <cstdint>
#include <string>

#include "fuzz_util.h"
#include "robot/record_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string line = quorvel::DescribeRecord(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(!line.empty() && line.find('\n') == std::string::npos);
  bool invalid = line.rfind("invalid", 0) == 0;
  if (size != 16) FUZZ_CHECK(invalid);
  if (!invalid) FUZZ_CHECK(data[1] == 0xFF && (data[0] == 0xFE || data[0] == 0xFF));
  return 0;
}
