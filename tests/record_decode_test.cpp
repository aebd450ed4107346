#include <gtest/gtest.h>

#include "robot/command_record.h"
#include "robot/record_decode.h"
#include "test_util.h"

namespace quorvel {
namespace {

using test::Bytes;

TEST(DescribeRecord, EveryKindAndMalformedRecords) {
  struct Case {
    std::string bytes, line;
  } cases[] = {
      {Bytes(MakeVoiceCommand(123, 3, 50, 0, 1000)), "short voice 123"},
      {Bytes(MakeVoiceCommand(123, 3, 50, 2, 1000)),
       "timed voice 123 ticks 6 interval 25 volume-step 2"},
      {Bytes(MakeVoiceCommand(-1, -1, 120, 3, 1000)),
       "timed voice -1 ticks -2 interval 25 volume-step -1"},
      {Bytes(MakeArithmeticCommand({3, 12, 300})), "arithmetic 12 * 300 (op 3)"},
      {Bytes(MakeArithmeticCommand({2, 5, 7})), "arithmetic 5 - 7 (op 2)"},
      {Bytes(MakeRunProgramCommand()), "run program"},
      {std::string(15, '\0'), "invalid: 15 bytes, not 16"},
      {"", "invalid: 0 bytes, not 16"},
      {std::string(16, '\0'), "invalid: unknown marker"},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeRecord(c.bytes), c.line);
  std::string shortWithTail = Bytes(MakeVoiceCommand(5, 0, 0, 0, 1000));
  shortWithTail[9] = 1;
  EXPECT_EQ(DescribeRecord(shortWithTail).rfind("invalid", 0), 0u);
}

}  // namespace
}  // namespace quorvel
