#include "speech/engine/audio_input.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include <pulse/error.h>
#include <pulse/simple.h>
#include <speex/speex_resampler.h>

#include "platform/files.h"

namespace quorvel::speech {
namespace {

constexpr std::size_t kLeadIn = kLeadInSamples;
constexpr std::size_t kTrailer = kTrailerSamples;

std::uint32_t U32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

// A faint hiss, the same every time: the decoder's noise estimate needs
// something to measure, and digital silence gives it nothing.
std::int16_t Hiss(std::size_t i) {
  std::uint32_t x = static_cast<std::uint32_t>(i) * 2654435761u;
  x ^= x >> 13;
  return static_cast<std::int16_t>(static_cast<int>(x % 9) - 4);
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Recordings made at 44.1 or 48 kHz carry sound above the 8 kHz the
// recogniser hears (the hiss of an s, a microphone's noise): it must be
// filtered out before the rate is lowered, or it folds down onto the words.
bool Resample(std::vector<std::int16_t> in, std::uint32_t rate, std::vector<std::int16_t>& samples,
              std::string& error, const std::string& path) {
  int err = 0;
  SpeexResamplerState* st = speex_resampler_init(1, rate, kSampleRate, SPEEX_RESAMPLER_QUALITY_DESKTOP, &err);
  if (!st) {
    error = path + ": cannot convert its sample rate";
    return false;
  }
  const std::size_t expected = in.size() * kSampleRate / rate;
  // The filter's delay, given as zeros after the end, flushes the last samples out.
  in.resize(in.size() + static_cast<std::size_t>(speex_resampler_get_input_latency(st)), 0);
  samples.assign(in.size() * kSampleRate / rate + 16, 0);
  spx_uint32_t inLen = static_cast<spx_uint32_t>(in.size()), outLen = static_cast<spx_uint32_t>(samples.size());
  speex_resampler_skip_zeros(st);
  speex_resampler_process_int(st, 0, in.data(), &inLen, samples.data(), &outLen);
  speex_resampler_destroy(st);
  samples.resize(std::min<std::size_t>(outLen, expected));
  return true;
}

// One sample of an uncompressed WAV file, at full scale -1 to 1: PCM of 8
// bits (unsigned), 16, 24 or 32, or floating point of 32 or 64. Recorders
// and editors write all of these (Audacity floats by default).
double SampleAt(const std::string& b, std::size_t at, bool floating, std::uint16_t bytes) {
  if (floating) {
    if (bytes == 4) {
      const std::uint32_t bits = U32(b, at);
      float v;
      std::memcpy(&v, &bits, sizeof v);
      return v;
    }
    const std::uint64_t bits = U32(b, at) | static_cast<std::uint64_t>(U32(b, at + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  if (bytes == 1) return (static_cast<unsigned char>(b[at]) - 128) / 128.0;
  // The sample's bytes as the top of a 32-bit value, so its sign is the value's.
  std::uint32_t v = 0;
  for (std::uint16_t i = 0; i < bytes; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * (4 - bytes + i));
  return static_cast<std::int32_t>(v) / 2147483648.0;
}

}  // namespace

bool LoadWav(const std::string& path, std::vector<std::int16_t>& samples, std::string& error) {
  std::string b;
  if (!platform::ReadWholeFile(path, b)) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
    error = path + " is not a WAV file";
    return false;
  }
  std::uint16_t format = 0, channels = 0, bits = 0;
  std::uint32_t rate = 0;
  std::size_t dataAt = 0, dataSize = 0;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    std::uint32_t size = U32(b, at + 4);
    std::size_t body = at + 8;
    std::size_t avail = std::min<std::size_t>(size, b.size() - body);
    if (b.compare(at, 4, "fmt ") == 0 && avail >= 16) {
      format = U16(b, body);
      channels = U16(b, body + 2);
      rate = U32(b, body + 4);
      bits = U16(b, body + 14);
      if (format == 0xFFFE && avail >= 26) format = U16(b, body + 24);
    } else if (b.compare(at, 4, "data") == 0) {
      dataAt = body;
      dataSize = avail;
      break;
    }
    at = body + size + (size & 1);
  }
  constexpr std::uint16_t kPcm = 1, kFloat = 3;
  const bool floating = format == kFloat;
  const bool known = (format == kPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                     (floating && (bits == 32 || bits == 64));
  if (!known || channels == 0 || rate < 4000 || rate > 192000 || !dataAt) {
    error = path + ": only uncompressed WAV files can be heard (PCM of 8 to 32 bits, or floating point)";
    return false;
  }
  const auto bytes = static_cast<std::uint16_t>(bits / 8);
  const std::size_t frameBytes = std::size_t{bytes} * channels;
  std::size_t frames = dataSize / frameBytes;
  std::vector<std::int16_t> mono(frames);
  for (std::size_t f = 0; f < frames; ++f) {
    double sum = 0;
    for (std::size_t c = 0; c < channels; ++c) sum += SampleAt(b, dataAt + f * frameBytes + c * bytes, floating, bytes);
    // Floating point may go past full scale, or be no number at all.
    const double v = sum / channels * 32768.0;
    mono[f] = static_cast<std::int16_t>(std::isnan(v) ? 0 : std::clamp(std::round(v), -32768.0, 32767.0));
  }
  if (rate == kSampleRate) {
    samples = std::move(mono);
    return true;
  }
  return Resample(std::move(mono), rate, samples, error, path);
}

WavFileInput::WavFileInput(std::vector<std::vector<std::int16_t>> files, Options options)
    : files_(std::move(files)), options_(std::move(options)) {}

long WavFileInput::Read(std::int16_t* samples, std::size_t count) {
  if (cancelled_) return -1;
  if (file_ >= files_.size()) return 0;
  const auto& f = files_[file_];
  std::size_t total = kLeadIn + f.size() + kTrailer;
  std::size_t n = std::min(count, total - pos_);
  bool first = pos_ == 0 && n > 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t p = pos_ + i;
    samples[i] = p >= kLeadIn && p - kLeadIn < f.size() ? f[p - kLeadIn] : Hiss(p);
  }
  pos_ += n;
  if (options_.realTime && n > 0) {
    if (startNs_ < 0) startNs_ = NowNs() - static_cast<std::int64_t>(n) * 1000000000LL / kSampleRate;
    delivered_ += static_cast<std::int64_t>(n);
    std::int64_t due = startNs_ + delivered_ * 1000000000LL / kSampleRate;
    if (first && options_.onFileStart) options_.onFileStart(file_, startNs_);
    std::int64_t wait = due - NowNs();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
  }
  if (first && !options_.realTime && options_.onFileStart) options_.onFileStart(file_, NowNs());
  return static_cast<long>(n);
}

bool WavFileInput::Next() {
  if (file_ >= files_.size()) return false;
  if (options_.onFileDone) options_.onFileDone(file_);
  ++file_;
  pos_ = 0;
  startNs_ = -1;  // each file is spoken in its own time, however long the pause
  delivered_ = 0;
  return file_ < files_.size() && !cancelled_;
}

std::shared_ptr<PulseInput> PulseInput::Open(std::string& error) {
  pa_sample_spec spec{PA_SAMPLE_S16LE, kSampleRate, 1};
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = kSampleRate / 20 * 2;  // 50 ms, as the recogniser reads: short waits, prompt cancelling
  int err = 0;
  pa_simple* s = pa_simple_new(nullptr, "Quorvel", PA_STREAM_RECORD, nullptr, "speech recognition",
                               &spec, nullptr, &attr, &err);
  if (!s) {
    error = pa_strerror(err);
    return nullptr;
  }
  auto input = std::shared_ptr<PulseInput>(new PulseInput);
  input->stream_ = s;
  return input;
}

PulseInput::~PulseInput() {
  if (stream_) pa_simple_free(static_cast<pa_simple*>(stream_));
}

long PulseInput::Read(std::int16_t* samples, std::size_t count) {
  if (cancelled_) return -1;
  // At most 100 ms per read, so a cancel is seen soon.
  count = std::min<std::size_t>(count, kSampleRate / 10);
  int err = 0;
  if (pa_simple_read(static_cast<pa_simple*>(stream_), samples, count * 2, &err) < 0) return -1;
  return cancelled_ ? -1 : static_cast<long>(count);
}

HResult DefaultAudioToken::CreateInstance(std::shared_ptr<AudioInput>& out) {
  if (!files_.empty()) {
    out = std::make_shared<WavFileInput>(files_, options_);
    return kOk;
  }
  std::string error;
  auto pulse = PulseInput::Open(error);
  if (!pulse) {
    if (onError) onError("PulseAudio: " + error);
    return kNoAudioDevice;
  }
  out = pulse;
  return kOk;
}

}  // namespace quorvel::speech
