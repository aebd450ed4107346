// Spoken test material: phrases of two catalogues (Japanese readings and
// English), phrases that are in neither, and espeak-ng speaking any of them
// into 16 kHz mono samples, at a chosen rate and with a little noise.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::corpus {

struct Phrase {
  std::string name;     // UTF-8 display text of the entry
  std::string reading;  // UTF-8 lexical form, as spoken
};

extern const std::vector<Phrase> kJapanese;      // 50 entries
extern const std::vector<Phrase> kEnglish;       // 50 entries
extern const std::vector<std::string> kOtherJapanese;  // in neither catalogue
extern const std::vector<std::string> kOtherEnglish;

// A catalogue grammar (Shift_JIS, CR LF) of the phrases, voice ids from
// firstVoice on, and an UNDEFINE entry with voice undefinedVoice unless 0.
std::string CatalogueOf(const std::vector<Phrase>& phrases, int firstVoice, int undefinedVoice);

// The voice of Open JTalk (Japanese), another style of it after a plus
// ("open-jtalk+sad": the file named so beside that voice), and flite's
// voices by name after the prefix ("flite:slt").
inline const std::string kOpenJTalk = "open-jtalk";
inline constexpr char kFlitePrefix[] = "flite:";

// How a recording is made: which espeak-ng voice (with its variant) speaks,
// how fast and how high, and what the room, the microphone or the line do to
// it afterwards.
struct Condition {
  std::string name;     // short, for the tables
  std::string voice;    // espeak-ng voice, e.g. "ja+f2", "en-gb-x-rp+klatt"; kOpenJTalk(+style); "flite:awb"
  int wpm = 160;        // speaking rate
  int pitch = 50;       // espeak-ng pitch, 0 to 99
  std::string sox;      // sox effects after the voice (tempo, pitch, reverb, band-pass, gain)
  double noiseSnrDb = 40;  // added noise this far below the speech
  enum Noise { White, Pink, Babble } noise = White;
  // The room's noise before the words start and after they end.
  double leadSeconds = 0.4, trailSeconds = 0.3;
};

// Conditions of one language ("ja" or "en") for tuning (development) or for
// reporting only (test): the two share no voice and no perturbation setting,
// but for Open JTalk's one voice, which each part hears at another rate and
// pitch, through another room or line.
std::vector<Condition> Conditions(const std::string& language, bool development);

// The text spoken under a condition, 16 kHz mono; cached by text and
// condition under cacheDir when it is not empty. Empty when a tool failed.
std::vector<std::int16_t> Speak(const std::string& text, const Condition& condition,
                                const std::string& cacheDir = "");

// The text's words spoken one by one under the condition, with a pause of
// digital quiet between them (as someone who stops to think mid-phrase).
std::vector<std::int16_t> SpeakWithPauses(const std::string& text, const Condition& condition, double pauseSeconds);

// The noise of the condition's kind alone, as a room holds it between
// commands: seconds long, at the level it has beside speech of speechRms.
std::vector<std::int16_t> RoomNoise(const Condition& condition, double seconds, double speechRms);

// espeak-ng (voice "ja" or "en-us", words per minute) through sox to 16 kHz
// mono with leading and trailing quiet trimmed, plus noise at the given
// level below full scale (e.g. 40 dB). Empty when a tool is missing.
std::vector<std::int16_t> Speak(const std::string& text, const std::string& voice, int wordsPerMinute,
                                double noiseDbBelowSpeech);

bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples);

// Whether espeak-ng, Open JTalk, flite and sox can be run.
bool ToolsAvailable();

// Whether the condition's voice is installed: Open JTalk's voice comes in a
// package not every archive carries.
bool VoiceInstalled(const Condition& condition);

}  // namespace quorvel::corpus
