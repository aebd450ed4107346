// Speaker adaptation: the acoustic model's sounds moved towards the voice
// the session hears. From the phrases it takes clearly, a linear map of the
// model's means for each feature stream (maximum-likelihood linear
// regression), which the decoders then hear with. Reads the model's base
// phones from its files; knows nothing of decoders.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::speech {

// The base (context-free) phones of a PocketSphinx phonetically-tied model:
// each phone a codebook of Gaussians per stream, its three states weights.
class PhoneModels {
 public:
  static constexpr int kStreams = 3, kWidth = 13, kStates = 3;
  using Frame = std::array<float, kStreams * kWidth>;

  // Reads mdef, means, variances and sendump under dir; false when one is
  // missing, cut short or not of that kind.
  bool Load(const std::string& dir);
  int Phone(std::string_view name) const;  // -1: none of the model's
  int Densities() const { return densities_; }
  int Phones() const { return static_cast<int>(names_.size()); }
  // The log-likelihood of the frame in the state of the phone, each stream
  // by its likeliest Gaussian.
  double Score(int phone, int state, const Frame& o) const;
  // The Gaussians of one stream of the state that hold at least a
  // thousandth of the frame, with their share.
  void Shares(int phone, int state, int stream, const Frame& o, std::vector<std::pair<int, double>>& out) const;
  const float* Mean(int phone, int stream, int g) const { return &means_[Index(phone, stream, g)]; }
  const float* Variance(int phone, int stream, int g) const { return &variances_[Index(phone, stream, g)]; }

 private:
  std::size_t Index(int phone, int stream, int g) const {
    return ((static_cast<std::size_t>(phone) * kStreams + static_cast<std::size_t>(stream)) *
                static_cast<std::size_t>(densities_) + static_cast<std::size_t>(g)) * kWidth;
  }
  // The log of each Gaussian's weight plus its normalising constant.
  double Prior(int phone, int state, int stream, int g) const {
    return priors_[(((static_cast<std::size_t>(phone) * kStates + static_cast<std::size_t>(state)) * kStreams +
                     static_cast<std::size_t>(stream)) * static_cast<std::size_t>(densities_)) +
                   static_cast<std::size_t>(g)];
  }
  double StreamScore(int phone, int state, int stream, const Frame& o, std::vector<double>* each) const;

  std::vector<std::string> names_;
  int densities_ = 0;
  std::vector<float> means_, variances_, precisions_;  // [phone][stream][Gaussian][width]
  std::vector<double> priors_;            // [phone][state][stream][Gaussian]
};

// What one speaker's phrases say of the map, gathered phrase by phrase.
class SpeakerAdaptation {
 public:
  // memoryFrames: how much speech the map remembers (0: all of it).
  SpeakerAdaptation(const PhoneModels& models, double memoryFrames);
  // One utterance's frames and what it said, as the phones of each way of
  // saying it ("K OW N" or "K AO N"): the best way is aligned to the frames,
  // with quiet allowed around it. False when none can be (too few frames,
  // an unknown phone).
  bool Add(const std::vector<PhoneModels::Frame>& frames, const std::vector<std::string>& variants);
  // Frames of speech gathered so far, as far as they are remembered.
  double Frames() const { return frames_; }
  // Frames of speech ever gathered, however long ago.
  double Added() const { return added_; }
  // The map in PocketSphinx's MLLR file format: each stream's matrix, its
  // offset and variance scale. priorFrames draws it towards no change as
  // if that many frames had said so, so a few phrases move it only a little.
  std::string Transform(double priorFrames) const;
  // The transform that leaves the model as it is.
  static std::string NoChange();

 private:
  static constexpr int kTerms = PhoneModels::kWidth + 1;  // the offset, then the mean
  const PhoneModels& models_;
  double memory_;
  // For each stream and dimension, the normal equations of its row.
  std::vector<std::array<double, kTerms * kTerms>> g_;
  std::vector<std::array<double, kTerms>> k_;
  double frames_ = 0, added_ = 0;
};

}  // namespace quorvel::speech
