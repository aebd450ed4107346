// Audio inputs of the recogniser: the default PulseAudio source, and WAV
// files heard one after the other in its place.
#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "speech/engine/engine.h"

namespace quorvel::speech {

constexpr int kSampleRate = 16000;
// Quiet heard before and after each WAV file, in samples.
constexpr std::size_t kLeadInSamples = kSampleRate / 2;
constexpr std::size_t kTrailerSamples = kSampleRate;

// An uncompressed WAV file's sound (PCM of 8 to 32 bits, or floating
// point) as 16-bit 16 kHz mono: channels are mixed, other rates resampled.
// False with a reason for anything else.
bool LoadWav(const std::string& nativePath, std::vector<std::int16_t>& samples, std::string& error);

// WAV files as one microphone. Each is framed by a little quiet so that
// speech at its very start or end is heard whole; at the end of each file
// Read returns 0 and Next moves on, telling onFileDone which file ended.
class WavFileInput : public AudioInput {
 public:
  struct Options {
    bool realTime = false;  // deliver samples no faster than they would be spoken
    std::function<void(std::size_t file)> onFileDone;
    // Runs as a file's first samples are read (the recogniser's thread),
    // with the steady-clock time in ns at which its first sample was heard.
    std::function<void(std::size_t file, std::int64_t heardNs)> onFileStart;
  };
  WavFileInput(std::vector<std::vector<std::int16_t>> files, Options options);
  long Read(std::int16_t* samples, std::size_t count) override;
  void Cancel() override { cancelled_ = true; }
  bool Next() override;
  bool IsRecording() const override { return true; }

 private:
  std::vector<std::vector<std::int16_t>> files_;
  Options options_;
  std::size_t file_ = 0, pos_ = 0;
  std::atomic<bool> cancelled_{false};
  std::int64_t startNs_ = -1, delivered_ = 0;
};

// The default PulseAudio source at 16 kHz mono.
class PulseInput : public AudioInput {
 public:
  ~PulseInput() override;
  // Nothing when there is no server or no source.
  static std::shared_ptr<PulseInput> Open(std::string& error);
  long Read(std::int16_t* samples, std::size_t count) override;
  void Cancel() override { cancelled_ = true; }

 private:
  void* stream_ = nullptr;  // pa_simple
  std::atomic<bool> cancelled_{false};
};

// Opens the WAV files, or the default source when there are none.
class DefaultAudioToken : public AudioToken {
 public:
  DefaultAudioToken(std::vector<std::vector<std::int16_t>> files, WavFileInput::Options options)
      : files_(std::move(files)), options_(std::move(options)) {}
  HResult CreateInstance(std::shared_ptr<AudioInput>& out) override;
  // Why the source could not be opened, in PulseAudio's words.
  std::function<void(const std::string&)> onError;

 private:
  std::vector<std::vector<std::int16_t>> files_;
  WavFileInput::Options options_;
};

}  // namespace quorvel::speech
