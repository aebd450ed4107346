#include "speech/engine/speaking_pace.h"

#include <gtest/gtest.h>

namespace quorvel::speech {
namespace {

TEST(SpeakingPaceTest, PhrasesFarFromTheSpeakersPaceCostMoreAndANewPaceIsLearnt) {
  SpeakingPace pace;
  EXPECT_EQ(pace.Cost(120, 4), 0) << "no pace known yet";
  for (int i = 0; i < 8; ++i) pace.Learn(60, 4);
  pace.Learn(0, 4);   // a phrase without frames teaches nothing,
  pace.Learn(90, 2);  // nor one too short to time
  struct Case {
    double frames;
    std::size_t morae;
    double cost;
  } cases[] = {
      {60, 4, 0},     {66, 4, 0},    {82, 6, 0},  // the speaker's own variation
      {90, 4, 4.58},  {40, 4, 4.58},              // half as slow again, or as fast: alike
      {120, 4, 8.90}, {0, 4, 0},                  // twice as slow; nothing heard
      {60, 2, 0},     {60, 0, 0},                 // too short to tell; no kana
  };
  for (const auto& c : cases) EXPECT_NEAR(pace.Cost(c.frames, c.morae), c.cost, 0.01) << c.frames << "/" << c.morae;
  // A new speaker, twice as slow: heard at their own pace within some ten phrases.
  for (int i = 0; i < 10; ++i) pace.Learn(120, 4);
  EXPECT_LT(pace.Cost(120, 4), 1.0);
  EXPECT_GT(pace.Cost(60, 4), 4.0);
}

}  // namespace
}  // namespace quorvel::speech
