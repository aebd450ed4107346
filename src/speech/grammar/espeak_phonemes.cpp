// The letter-to-sound fallback: espeak-ng's en-us phoneme mnemonics for a
// word, mapped onto the phones of the en-us acoustic model.
#include <mutex>

#include <espeak-ng/speak_lib.h>

#include "speech/grammar/pronunciation.h"

namespace quorvel::speech {
namespace {

struct Mapping {
  const char* mnemonic;
  const char* phones;
};

// Longest mnemonics first, so "aI" is read before "a".
const Mapping kMap[] = {
    {"i@3", "IY ER"}, {"aI@", "AY ER"}, {"aU@", "AW ER"},
    {"aI", "AY"}, {"aU", "AW"}, {"eI", "EY"}, {"OI", "OY"}, {"oU", "OW"}, {"e@", "EH R"},
    {"A@", "AA R"}, {"O@", "AO R"}, {"U@", "UH R"}, {"i@", "IY ER"}, {"3:", "ER"}, {"@L", "AH L"},
    {"@2", "AH"}, {"@5", "AH"}, {"A:", "AA"}, {"O:", "AO"}, {"i:", "IY"}, {"u:", "UW"},
    {"I2", "IH"}, {"I#", "IH"}, {"a#", "AH"}, {"aa", "AE"}, {"tS", "CH"}, {"dZ", "JH"},
    {"t#", "T"}, {"d#", "D"}, {"r-", "R"}, {"n-", "N"}, {"m-", "M"}, {"l-", "L"}, {"E2", "EH"},
    {"@", "AH"}, {"3", "ER"}, {"A", "AA"}, {"0", "AA"}, {"O", "AO"}, {"V", "AH"}, {"I", "IH"},
    {"i", "IY"}, {"U", "UH"}, {"u", "UW"}, {"a", "AE"}, {"E", "EH"}, {"e", "EH"}, {"o", "OW"},
    {"p", "P"}, {"b", "B"}, {"t", "T"}, {"d", "D"}, {"k", "K"}, {"g", "G"}, {"f", "F"},
    {"v", "V"}, {"T", "TH"}, {"D", "DH"}, {"s", "S"}, {"z", "Z"}, {"S", "SH"}, {"Z", "ZH"},
    {"h", "HH"}, {"m", "M"}, {"n", "N"}, {"N", "NG"}, {"l", "L"}, {"r", "R"}, {"w", "W"},
    {"j", "Y"}, {"x", "K"}, {"C", "HH"},
};

std::mutex gMutex;
bool gReady = false;
bool gFailed = false;

}  // namespace

std::optional<Phones> EspeakPhones(const std::string& word) {
  std::lock_guard lock(gMutex);  // espeak-ng keeps one global state
  if (gFailed) return std::nullopt;
  if (!gReady) {
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT) < 0 ||
        espeak_SetVoiceByName("en-us") != EE_OK) {
      gFailed = true;
      return std::nullopt;
    }
    gReady = true;
  }
  const void* text = word.c_str();
  Phones out;
  while (text) {
    const char* mnemonics = espeak_TextToPhonemes(&text, espeakCHARS_UTF8, 0);
    if (!mnemonics) break;
    std::string_view m(mnemonics);
    for (std::size_t i = 0; i < m.size();) {
      bool matched = false;
      for (const Mapping& map : kMap) {
        std::string_view key(map.mnemonic);
        if (m.substr(i, key.size()) == key) {
          if (!out.empty()) out += ' ';
          out += map.phones;
          i += key.size();
          matched = true;
          break;
        }
      }
      if (!matched) ++i;  // stress, syllable and length marks
    }
  }
  if (out.empty()) return std::nullopt;
  return out;
}

}  // namespace quorvel::speech
