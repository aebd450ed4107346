#include "speech/engine/speaker_adaptation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "speech/engine/pocketsphinx_engine.h"

namespace quorvel::speech {
namespace {

std::string ModelDir() { return SphinxOptions{}.modelDir + "/en-us"; }

// The transform's numbers, stream by stream: its matrix rows, then offsets.
struct Parsed {
  std::vector<std::vector<double>> matrix[PhoneModels::kStreams];
  std::vector<double> offset[PhoneModels::kStreams];
};
Parsed Parse(const std::string& text) {
  std::istringstream in(text);
  int classes = 0, streams = 0;
  in >> classes >> streams;
  EXPECT_EQ(classes, 1);
  EXPECT_EQ(streams, PhoneModels::kStreams);
  Parsed p;
  for (int s = 0; s < PhoneModels::kStreams; ++s) {
    int width = 0;
    in >> width;
    EXPECT_EQ(width, PhoneModels::kWidth);
    p.matrix[s].assign(PhoneModels::kWidth, std::vector<double>(PhoneModels::kWidth));
    for (auto& row : p.matrix[s])
      for (double& v : row) in >> v;
    p.offset[s].resize(PhoneModels::kWidth);
    for (double& v : p.offset[s]) in >> v;
    for (int d = 0; d < PhoneModels::kWidth; ++d) {
      double scale = 0;
      in >> scale;
      EXPECT_EQ(scale, 1) << "variances are left as they are";
    }
  }
  EXPECT_TRUE(static_cast<bool>(in));
  return p;
}

// Phones' frames as the model itself would have them (in each stream, the
// mean of the Gaussian that holds the largest share of its own mean for
// the state), moved by the offset in the first stream's second cepstrum.
std::vector<PhoneModels::Frame> Said(const PhoneModels& m, const std::vector<std::string>& phones, int perState,
                                     float offset) {
  std::vector<PhoneModels::Frame> frames;
  for (const auto& name : phones) {
    const int p = m.Phone(name);
    for (int k = 0; k < PhoneModels::kStates; ++k)
      for (int i = 0; i < perState; ++i) {
        PhoneModels::Frame f{};
        for (int s = 0; s < PhoneModels::kStreams; ++s) {
          std::vector<std::pair<int, double>> shares;
          int best = 0;
          double most = -1;
          for (int g = 0; g < m.Densities(); ++g) {
            PhoneModels::Frame probe{};
            std::copy(m.Mean(p, s, g), m.Mean(p, s, g) + PhoneModels::kWidth,
                      probe.begin() + s * PhoneModels::kWidth);
            m.Shares(p, k, s, probe, shares);
            for (auto [h, share] : shares)
              if (h == g && share > most) most = share, best = g;
          }
          std::copy(m.Mean(p, s, best), m.Mean(p, s, best) + PhoneModels::kWidth, f.begin() + s * PhoneModels::kWidth);
        }
        f[1] += offset;
        frames.push_back(f);
      }
  }
  return frames;
}

TEST(SpeakerAdaptationTest, ModelFilesAreReadOnlyWhenWholeAndOfTheirKind) {
  PhoneModels m;
  ASSERT_TRUE(m.Load(ModelDir()));
  EXPECT_EQ(m.Phones(), 42);
  EXPECT_EQ(m.Densities(), 128);
  EXPECT_GE(m.Phone("AA"), 0);
  EXPECT_GE(m.Phone("SIL"), 0);
  EXPECT_EQ(m.Phone("XX"), -1);
  // A model with a file missing or cut short is refused whole.
  const auto dir = std::filesystem::temp_directory_path() / ("quorvel-model-test-" + std::to_string(getpid()));
  struct Case {
    std::string file;
    bool missing;
  } cases[] = {{"mdef", true}, {"mdef", false}, {"sendump", false}, {"means", false}, {"variances", true}, {"", false}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (const char* f : {"mdef", "sendump", "means", "variances"}) {
      if (c.file == f && c.missing) continue;
      std::filesystem::copy_file(ModelDir() + "/" + f, dir / f);
      if (c.file == f) std::filesystem::resize_file(dir / f, 1000);
    }
    EXPECT_EQ(PhoneModels().Load(dir.string()), c.file.empty()) << c.file << (c.missing ? " missing" : " cut");
  }
  std::filesystem::remove_all(dir);
  EXPECT_FALSE(PhoneModels().Load("/nonexistent"));
}

TEST(SpeakerAdaptationTest, LearnsHowTheSpeakerDiffersAndMovesOnlyAsFarAsThePhrasesTell) {
  PhoneModels m;
  ASSERT_TRUE(m.Load(ModelDir()));
  // Nothing heard yet: no change.
  SpeakerAdaptation none(m, 0);
  EXPECT_EQ(none.Transform(300), SpeakerAdaptation::NoChange());
  Parsed unchanged = Parse(SpeakerAdaptation::NoChange());
  for (int s = 0; s < PhoneModels::kStreams; ++s)
    for (int d = 0; d < PhoneModels::kWidth; ++d) {
      EXPECT_EQ(unchanged.offset[s][d], 0);
      for (int c = 0; c < PhoneModels::kWidth; ++c) EXPECT_EQ(unchanged.matrix[s][d][c], d == c ? 1 : 0);
    }
  // What cannot be aligned teaches nothing: an unknown phone, too few frames.
  SpeakerAdaptation a(m, 0);
  const std::vector<std::string> said = {"K AA N IY CH IY W AA", "K OW N IY CH IY W AA"};
  EXPECT_FALSE(a.Add(Said(m, {"AA"}, 2, 0), {"XX AA"}));
  EXPECT_FALSE(a.Add(Said(m, {"AA"}, 1, 0), said));
  EXPECT_FALSE(a.Add({}, said));
  EXPECT_EQ(a.Frames(), 0);
  // Two speakers alike but for the second cepstrum, 1.7 higher in the
  // second: their maps differ by that offset and hardly otherwise. Quiet
  // around the words does not count.
  const std::vector<std::string> phones = {"AA", "AE", "AH", "AO", "IY", "K", "S", "M", "N",
                                           "T",  "UW", "OW", "EH", "R",  "W", "B", "D", "G"};
  std::string reading;
  for (const auto& p : phones) reading += (reading.empty() ? "" : " ") + p;
  auto learn = [&](SpeakerAdaptation& into, float offset) {
    auto frames = Said(m, {"SIL"}, 4, 0);
    const auto words = Said(m, phones, 4, offset);
    frames.insert(frames.end(), words.begin(), words.end());
    const double before = into.Added();
    EXPECT_TRUE(into.Add(frames, {"XX", reading}));
    EXPECT_EQ(into.Added() - before, static_cast<double>(words.size()));
  };
  SpeakerAdaptation higher(m, 0);
  learn(a, 0.3f);
  learn(higher, 2.0f);
  const Parsed low = Parse(a.Transform(0)), high = Parse(higher.Transform(0));
  for (int s = 0; s < PhoneModels::kStreams; ++s)
    for (int d = 0; d < PhoneModels::kWidth; ++d) {
      EXPECT_NEAR(high.offset[s][d] - low.offset[s][d], s == 0 && d == 1 ? 1.7 : 0, 0.3) << s << "/" << d;
      EXPECT_NEAR(high.matrix[s][d][d], low.matrix[s][d][d], 0.1) << s << "/" << d;
    }
  // One speaker's phrases, then another's: remembering all, the map stays
  // half way; remembering a few phrases' worth, it follows the second.
  auto afterOther = [&](double memory) {
    SpeakerAdaptation both(m, memory);
    for (int i = 0; i < 5; ++i) learn(both, 0.3f);
    for (int i = 0; i < 5; ++i) learn(both, 2.0f);
    EXPECT_LE(both.Frames(), both.Added());
    return Parse(both.Transform(0)).offset[0][1] - high.offset[0][1];
  };
  EXPECT_LT(afterOther(0), -0.5);
  EXPECT_NEAR(afterOther(100), 0, 0.2);
  // Drawn towards no change as if far more frames had said so, it hardly moves.
  const Parsed drawn = Parse(higher.Transform(1e6));
  for (int s = 0; s < PhoneModels::kStreams; ++s)
    for (int d = 0; d < PhoneModels::kWidth; ++d) {
      EXPECT_NEAR(drawn.offset[s][d], 0, 0.05) << s << "/" << d;
      EXPECT_NEAR(drawn.matrix[s][d][d], 1, 0.01) << s << "/" << d;
    }
}

}  // namespace
}  // namespace quorvel::speech
