// The WAV reader on any file: a clear error, or samples in proportion to
// the file (other rates are resampled to 16 kHz, from 4 kHz up).
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "speech/engine/audio_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string path = quorvel::fuzz::InputFile(std::string(data, data + size));
  std::vector<std::int16_t> samples;
  std::string error;
  if (!quorvel::speech::LoadWav(path, samples, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(samples.size() <= 4 * size + 1);  // 8-bit samples at 4 kHz: four each
  return 0;
}
