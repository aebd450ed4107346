#include <gtest/gtest.h>

#include "robot/command_record.h"

namespace quorvel {
namespace {

TEST(CommandRecord, VoiceRecords) {
  struct Case {
    int voiceId, duration, volume, dataSet, interval;
    const char* hex;
  } cases[] = {
      {123, 9, 77, 0, 1000, "FE FF 7B 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      {123, 3, 50, 2, 1000, "FF FF 7B 00 06 00 19 00 02 00 00 00 00 00 00 00"},
      {123, 3, 100, 3, 500, "FF FF 7B 00 0C 00 0C 00 00 00 00 00 00 00 00 00"},
      {123, 3, 50, 1, 1000, "FE FF 7B 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      {123, 3, 50, 4, 1000, "FE FF 7B 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      {123, 3, 50, 5, 1000, "FE FF 7B 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      {70000, 0, 50, 0, 1000, "FE FF 70 11 00 00 00 00 00 00 00 00 00 00 00 00"},
      {1, 0, 120, 2, 1000, "FF FF 01 00 00 00 19 00 FF FF 00 00 00 00 00 00"},
      {1, 0, -20, 2, 1000, "FF FF 01 00 00 00 19 00 06 00 00 00 00 00 00 00"},
      {1, -1, 0, 2, 1000, "FF FF 01 00 FE FF 19 00 05 00 00 00 00 00 00 00"},
      {1, 7, 81, 2, 1010, "FF FF 01 00 0D 00 19 00 00 00 00 00 00 00 00 00"},
      {1, 7, 20, 3, 2000, "FF FF 01 00 07 00 32 00 04 00 00 00 00 00 00 00"},
      {1, 3, 50, 2, 0, "FF FF 01 00 06 00 19 00 02 00 00 00 00 00 00 00"},  // 0 acts as 1000
      {1, 3, 50, 2, -1000, "FF FF 01 00 FA FF E7 FF 02 00 00 00 00 00 00 00"},
  };
  for (const auto& c : cases) {
    auto r = MakeVoiceCommand(static_cast<std::int16_t>(c.voiceId),
                              static_cast<std::int16_t>(c.duration),
                              static_cast<std::int16_t>(c.volume), c.dataSet, c.interval);
    EXPECT_EQ(FormatRecordHex(r), c.hex) << c.voiceId << " " << c.dataSet << " " << c.interval;
  }
}

TEST(CommandRecord, RunAndArithmetic) {
  EXPECT_EQ(FormatRecordHex(MakeRunProgramCommand()),
            "FE FF 88 03 00 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(FormatRecordHex(MakeArithmeticCommand({1, 3, 4})),
            "FE FF 8F 03 01 00 03 00 04 00 00 00 00 00 00 00");
  EXPECT_EQ(FormatRecordHex(MakeArithmeticCommand({3, 12, 300})),
            "FE FF 8F 03 03 00 0C 00 2C 01 00 00 00 00 00 00");
  EXPECT_EQ(FormatRecordHex(MakeArithmeticCommand({1, 70000, 65535})),
            "FE FF 8F 03 01 00 70 11 FF FF 00 00 00 00 00 00");
}

}  // namespace
}  // namespace quorvel
