// One catalogue entry and the catalogue files of the six data sets.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

struct VoiceItem {
  std::optional<std::string> name;         // display text and phrase text
  std::optional<std::string> reading;      // none: no reading registered
  std::optional<std::string> programPath;  // data set 4 only
  std::int16_t voiceId = 0;
  std::int16_t duration = 0;
  std::uint8_t flags = 0;  // model mask; in data set 4: found in the folder
};

constexpr int kDataSetCount = 6;
constexpr int kProgramDataSet = 4;
constexpr int kDictionaryDataSet = 5;

// The fixed catalogue file of data sets 0 to 4 (internal path form);
// nullptr for the user dictionary and out-of-range values.
const char* CatalogueFileName(int dataSet);

// The reading a catalogue line carries for an entry without one (みていぎ).
inline const std::string kUnregisteredReading = "\x82\xDD\x82\xC4\x82\xA2\x82\xAC";

}  // namespace quorvel
