#include "speech/engine/speaker_adaptation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>

#include "platform/files.h"

namespace quorvel::speech {
namespace {

// Reads little-endian binary fields from a file's bytes, failing once past the end.
struct Reader {
  const std::string& bytes;
  std::size_t at = 0;
  bool ok = true;
  std::int32_t Int() {
    std::int32_t v = 0;
    if (at + 4 > bytes.size()) ok = false;
    else std::memcpy(&v, bytes.data() + at, 4);
    at += 4;
    return v;
  }
  std::string Text(std::size_t n) {
    if (at + n > bytes.size()) {
      ok = false;
      return {};
    }
    std::string s = bytes.substr(at, n);
    at += n;
    return s;
  }
};

// A model file of Gaussians' vectors ("s3" header, then codebooks, streams,
// Gaussians and each stream's width, then the values): the values, when its
// sizes are the ones expected.
bool ReadFloats(const std::string& path, int codebooks, int streams, int densities, int width,
                std::vector<float>& out) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) return false;
  const std::size_t end = bytes.find("endhdr\n");
  if (bytes.rfind("s3\n", 0) != 0 || end == std::string::npos) return false;
  Reader r{bytes, end + 7};
  if (r.Int() != 0x11223344) return false;  // written on a machine of other byte order
  if (r.Int() != codebooks || r.Int() != streams || r.Int() != densities) return false;
  for (int s = 0; s < streams; ++s)
    if (r.Int() != width) return false;
  const auto count = static_cast<std::size_t>(codebooks * streams * densities * width);
  if (r.Int() != static_cast<std::int32_t>(count) || r.at + count * 4 > bytes.size()) return false;
  out.resize(count);
  std::memcpy(out.data(), bytes.data() + r.at, count * 4);
  return r.ok;
}

constexpr double kLogTwoPi = 1.8378770664093453;

}  // namespace

bool PhoneModels::Load(const std::string& dir) {
  // The base phones' names, in the order of their codebooks and states.
  std::string mdef;
  if (!platform::ReadWholeFile(dir + "/mdef", mdef) || mdef.rfind("BMDF", 0) != 0) return false;
  Reader r{mdef, 8};
  r.at += static_cast<std::size_t>(std::max(0, r.Int()));  // the format's description
  const int phones = r.Int();
  r.Int();
  const int states = r.Int(), ciSenones = r.Int(), senones = r.Int();
  for (int i = 0; i < 5; ++i) r.Int();
  if (!r.ok || phones <= 0 || phones > 1000 || states != kStates || ciSenones != phones * kStates) return false;
  names_.clear();
  for (int p = 0; p < phones; ++p) {
    const std::size_t end = mdef.find('\0', r.at);
    if (end == std::string::npos) return false;
    names_.push_back(mdef.substr(r.at, end - r.at));
    r.at = end + 1;
  }
  // Each base phone's states' weights of its codebook's Gaussians: bytes of
  // -log(weight) in the model's log base, by stream, Gaussian, then state.
  std::string dump;
  if (!platform::ReadWholeFile(dir + "/sendump", dump)) return false;
  Reader d{dump};
  int clusters = -1;
  for (int header = 0;; ++header) {
    const std::int32_t n = d.Int();
    if (!d.ok || n < 0 || n > 4096 || header > 100) return false;
    if (n == 0) break;
    const std::string line = d.Text(static_cast<std::size_t>(n));
    if (line.rfind("cluster_count ", 0) == 0) clusters = std::atoi(line.c_str() + 14);
  }
  if (clusters != 0) return false;  // weights packed in clusters: not read here
  densities_ = d.Int();
  if (d.Int() != senones || densities_ <= 0 || densities_ > 4096 || senones < ciSenones) return false;
  const std::size_t columns = static_cast<std::size_t>(senones);
  if (d.at + static_cast<std::size_t>(kStreams * densities_) * columns > dump.size()) return false;

  if (!ReadFloats(dir + "/means", phones, kStreams, densities_, kWidth, means_) ||
      !ReadFloats(dir + "/variances", phones, kStreams, densities_, kWidth, variances_))
    return false;
  for (float& v : variances_) v = std::max(v, 1e-4f);  // the decoder's floor
  precisions_.resize(variances_.size());
  std::transform(variances_.begin(), variances_.end(), precisions_.begin(), [](float v) { return 1 / v; });
  const double logBase = 1024 * std::log(1.0001);
  priors_.assign(static_cast<std::size_t>(phones * kStates * kStreams * densities_), 0);
  for (int p = 0; p < phones; ++p)
    for (int s = 0; s < kStreams; ++s)
      for (int g = 0; g < densities_; ++g) {
        double norm = 0;
        const float* var = Variance(p, s, g);
        for (int i = 0; i < kWidth; ++i) norm -= 0.5 * (kLogTwoPi + std::log(var[i]));
        for (int k = 0; k < kStates; ++k) {
          const auto weight = static_cast<unsigned char>(
              dump[d.at + (static_cast<std::size_t>(s * densities_ + g)) * columns +
                   static_cast<std::size_t>(p * kStates + k)]);
          priors_[(((static_cast<std::size_t>(p) * kStates + static_cast<std::size_t>(k)) * kStreams +
                    static_cast<std::size_t>(s)) * static_cast<std::size_t>(densities_)) +
                  static_cast<std::size_t>(g)] = norm - weight * logBase;
        }
      }
  return true;
}

int PhoneModels::Phone(std::string_view name) const {
  auto it = std::find(names_.begin(), names_.end(), name);
  return it == names_.end() ? -1 : static_cast<int>(it - names_.begin());
}

double PhoneModels::StreamScore(int phone, int state, int stream, const Frame& o, std::vector<double>* each) const {
  const float* x = o.data() + stream * kWidth;
  double best = -std::numeric_limits<double>::infinity();
  thread_local std::vector<double> scores;
  scores.resize(static_cast<std::size_t>(densities_));
  for (int g = 0; g < densities_; ++g) {
    const float *mean = Mean(phone, stream, g), *precision = &precisions_[Index(phone, stream, g)];
    float e = 0;
    for (int i = 0; i < kWidth; ++i) {
      const float diff = x[i] - mean[i];
      e += diff * diff * precision[i];
    }
    scores[static_cast<std::size_t>(g)] = Prior(phone, state, stream, g) - 0.5 * e;
    best = std::max(best, scores[static_cast<std::size_t>(g)]);
  }
  if (!each) return best;  // the likeliest Gaussian is enough to align by
  double sum = 0;
  for (double s : scores) sum += std::exp(s - best);
  const double total = best + std::log(sum);
  if (each) {
    each->resize(scores.size());
    for (std::size_t g = 0; g < scores.size(); ++g) (*each)[g] = std::exp(scores[g] - total);
  }
  return total;
}

double PhoneModels::Score(int phone, int state, const Frame& o) const {
  double total = 0;
  for (int s = 0; s < kStreams; ++s) total += StreamScore(phone, state, s, o, nullptr);
  return total;
}

void PhoneModels::Shares(int phone, int state, int stream, const Frame& o,
                         std::vector<std::pair<int, double>>& out) const {
  thread_local std::vector<double> each;
  StreamScore(phone, state, stream, o, &each);
  out.clear();
  for (std::size_t g = 0; g < each.size(); ++g)
    if (each[g] >= 1e-3) out.emplace_back(static_cast<int>(g), each[g]);
}

SpeakerAdaptation::SpeakerAdaptation(const PhoneModels& models, double memoryFrames)
    : models_(models),
      memory_(memoryFrames),
      g_(2 * PhoneModels::kStreams * PhoneModels::kWidth, std::array<double, kTerms * kTerms>{}),
      k_(2 * PhoneModels::kStreams * PhoneModels::kWidth, std::array<double, kTerms>{}) {}

bool SpeakerAdaptation::Add(const std::vector<PhoneModels::Frame>& frames, const std::vector<std::string>& variants) {
  const int quiet = models_.Phone("SIL");
  if (quiet < 0 || frames.empty()) return false;
  const std::size_t t = frames.size();
  // The states of the way of saying it that fits the frames best, frame by frame.
  std::vector<int> bestPath;
  std::vector<int> bestPhones;
  double bestScore = -std::numeric_limits<double>::infinity();
  // Quiet before and after, each frame's best of the quiet states.
  std::vector<double> quietScore(t);
  for (std::size_t i = 0; i < t; ++i) {
    double q = -std::numeric_limits<double>::infinity();
    for (int k = 0; k < PhoneModels::kStates; ++k) q = std::max(q, models_.Score(quiet, k, frames[i]));
    quietScore[i] = q;
  }
  // Each state's score of each frame, once for all the ways of saying it.
  std::vector<std::vector<double>> scored(static_cast<std::size_t>(PhoneModels::kStates * models_.Phones()));
  for (const std::string& variant : variants) {
    std::vector<int> phones;
    std::istringstream in(variant);
    for (std::string name; in >> name;) phones.push_back(models_.Phone(name));
    if (phones.empty() || std::find(phones.begin(), phones.end(), -1) != phones.end()) continue;
    // States: 0 quiet before, 1..n the phones' states, n+1 quiet after.
    const std::size_t n = phones.size() * PhoneModels::kStates, states = n + 2;
    if (t < n) continue;
    const double none = -std::numeric_limits<double>::infinity();
    std::vector<double> score(states, none), next(states);
    std::vector<unsigned char> from(t * states, 0);  // 1: came from the state before
    auto emit = [&](std::size_t i, std::size_t j) {
      if (j == 0 || j == states - 1) return quietScore[i];
      const std::size_t s = j - 1;
      const int phone = phones[s / PhoneModels::kStates], state = static_cast<int>(s % PhoneModels::kStates);
      auto& known = scored[static_cast<std::size_t>(phone * PhoneModels::kStates + state)];
      if (known.empty()) known.assign(t, std::numeric_limits<double>::quiet_NaN());
      if (std::isnan(known[i])) known[i] = models_.Score(phone, state, frames[i]);
      return known[i];
    };
    score[0] = emit(0, 0);
    score[1] = emit(0, 1);
    for (std::size_t i = 1; i < t; ++i) {
      for (std::size_t j = 0; j < states; ++j) {
        const double stay = score[j], advance = j > 0 ? score[j - 1] : none;
        const bool moved = advance > stay;
        const double before = moved ? advance : stay;
        from[i * states + j] = moved;
        next[j] = before == none ? none : before + emit(i, j);
      }
      score.swap(next);
    }
    const bool quietEnd = score[states - 1] > score[states - 2];
    const double total = quietEnd ? score[states - 1] : score[states - 2];
    if (total == none || total <= bestScore) continue;
    bestScore = total;
    bestPhones = phones;
    bestPath.assign(t, 0);
    std::size_t j = quietEnd ? states - 1 : states - 2;
    for (std::size_t i = t; i-- > 0;) {
      bestPath[i] = static_cast<int>(j);
      if (i > 0 && from[i * states + j]) --j;
    }
  }
  if (bestPath.empty()) return false;
  constexpr int kStreams = PhoneModels::kStreams, kWidth = PhoneModels::kWidth;
  const std::size_t n = bestPhones.size() * PhoneModels::kStates;
  // Older speech weighs the less the more has been heard since, so the map
  // follows a new speaker: its frames fade by e for each memory's worth.
  if (memory_ > 0) {
    const auto spoken = static_cast<double>(
        std::count_if(bestPath.begin(), bestPath.end(), [&](int j) { return j > 0 && static_cast<std::size_t>(j) <= n; }));
    const double keep = std::exp(-spoken / memory_);
    for (auto& g : g_)
      for (double& v : g) v *= keep;
    for (auto& k : k_)
      for (double& v : k) v *= keep;
    frames_ *= keep;
  }
  std::vector<std::pair<int, double>> shares;
  std::array<double, kTerms * kTerms> outer{};
  for (std::size_t i = 0; i < t; ++i) {
    const auto j = static_cast<std::size_t>(bestPath[i]);
    if (j == 0 || j > n) continue;  // quiet around the words
    const int phone = bestPhones[(j - 1) / PhoneModels::kStates];
    const int state = static_cast<int>((j - 1) % PhoneModels::kStates);
    for (int s = 0; s < kStreams; ++s) {
      models_.Shares(phone, state, s, frames[i], shares);
      for (auto [g, share] : shares) {
        const float *mean = models_.Mean(phone, s, g), *var = models_.Variance(phone, s, g);
        std::array<double, kTerms> xi{};
        xi[0] = 1;
        for (int d = 0; d < kWidth; ++d) xi[static_cast<std::size_t>(d + 1)] = mean[d];
        for (std::size_t a = 0; a < kTerms; ++a)
          for (std::size_t b = 0; b < kTerms; ++b) outer[a * kTerms + b] = xi[a] * xi[b];
        for (int d = 0; d < kWidth; ++d) {
          const double w = share / var[d];
          const auto row = static_cast<std::size_t>(s * kWidth + d);
          // The heard frame, and beside it the same as if it had been the
          // model's own mean: the second is what no change would explain.
          const auto prior = row + static_cast<std::size_t>(kStreams * kWidth);
          for (std::size_t e = 0; e < kTerms * kTerms; ++e) {
            g_[row][e] += w * outer[e];
            g_[prior][e] += w * outer[e];
          }
          for (std::size_t a = 0; a < kTerms; ++a) {
            k_[row][a] += w * frames[i][static_cast<std::size_t>(s * kWidth + d)] * xi[a];
            k_[prior][a] += w * mean[d] * xi[a];
          }
        }
      }
    }
    frames_ += 1;
    added_ += 1;
  }
  return true;
}

namespace {
using Rows = std::array<std::array<double, PhoneModels::kWidth + 1>, PhoneModels::kWidth>;  // offset, then matrix
std::string Format(const std::array<Rows, PhoneModels::kStreams>& streams) {
  std::ostringstream out;
  out.precision(7);
  out << "1\n" << PhoneModels::kStreams << "\n";
  for (const Rows& rows : streams) {
    out << PhoneModels::kWidth << "\n";
    for (const auto& w : rows) {
      for (std::size_t c = 1; c < w.size(); ++c) out << (c > 1 ? " " : "") << w[c];
      out << "\n";
    }
    for (std::size_t d = 0; d < rows.size(); ++d) out << (d ? " " : "") << rows[d][0];
    out << "\n";
    for (std::size_t d = 0; d < rows.size(); ++d) out << (d ? " " : "") << 1;  // variances unchanged
    out << "\n";
  }
  return out.str();
}
Rows Unchanged() {
  Rows rows{};
  for (std::size_t d = 0; d < rows.size(); ++d) rows[d][d + 1] = 1;
  return rows;
}
}  // namespace

std::string SpeakerAdaptation::NoChange() {
  std::array<Rows, PhoneModels::kStreams> streams;
  streams.fill(Unchanged());
  return Format(streams);
}

std::string SpeakerAdaptation::Transform(double priorFrames) const {
  constexpr int kStreams = PhoneModels::kStreams, kWidth = PhoneModels::kWidth;
  const double lean = frames_ > 0 ? priorFrames / frames_ : 0;
  std::array<Rows, kStreams> streams;
  for (int s = 0; s < kStreams; ++s)
    for (int d = 0; d < kWidth; ++d) {
      const auto row = static_cast<std::size_t>(s * kWidth + d), prior = row + kStreams * kWidth;
      // Solves (G + lean P) w = k + lean p by elimination with pivoting;
      // a row the frames cannot tell stays as it was.
      std::array<std::array<double, kTerms + 1>, kTerms> m{};
      for (std::size_t a = 0; a < kTerms; ++a) {
        for (std::size_t b = 0; b < kTerms; ++b)
          m[a][b] = g_[row][a * kTerms + b] + lean * g_[prior][a * kTerms + b];
        m[a][kTerms] = k_[row][a] + lean * k_[prior][a];
      }
      bool solved = frames_ > 0;
      for (std::size_t c = 0; c < kTerms && solved; ++c) {
        std::size_t pivot = c;
        for (std::size_t a = c + 1; a < kTerms; ++a)
          if (std::fabs(m[a][c]) > std::fabs(m[pivot][c])) pivot = a;
        solved = std::fabs(m[pivot][c]) > 1e-9;
        std::swap(m[c], m[pivot]);
        for (std::size_t a = 0; a < kTerms && solved; ++a) {
          if (a == c) continue;
          const double f = m[a][c] / m[c][c];
          for (std::size_t b = c; b <= kTerms; ++b) m[a][b] -= f * m[c][b];
        }
      }
      auto& w = streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(d)];
      for (std::size_t a = 0; a < kTerms; ++a) w[a] = solved ? m[a][kTerms] / m[a][a] : 0;
      if (!solved) w = Unchanged()[static_cast<std::size_t>(d)];
    }
  return Format(streams);
}

}  // namespace quorvel::speech
