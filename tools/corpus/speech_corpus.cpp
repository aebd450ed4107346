#include "speech_corpus.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include <unistd.h>

#include "platform/sjis.h"
#include "speech/engine/audio_input.h"

namespace quorvel::corpus {

const std::vector<Phrase> kJapanese = {
    {"こんにちは", "こんにちは"}, {"おはよう", "おはよう"}, {"こんばんは", "こんばんは"},
    {"ありがとう", "ありがとう"}, {"さようなら", "さようなら"}, {"おやすみ", "おやすみ"},
    {"いただきます", "いただきます"}, {"ごちそうさま", "ごちそうさま"}, {"すみません", "すみません"},
    {"はじめまして", "はじめまして"}, {"おめでとう", "おめでとう"}, {"がんばって", "がんばって"},
    {"大丈夫", "だいじょうぶ"}, {"いってきます", "いってきます"}, {"ただいま", "ただいま"},
    {"おかえり", "おかえり"}, {"いってらっしゃい", "いってらっしゃい"}, {"よろしく", "よろしく"},
    {"元気ですか", "おげんきですか"}, {"楽しいね", "たのしいね"}, {"歌って", "うたって"},
    {"踊って", "おどって"}, {"座って", "すわって"}, {"立って", "たって"},
    {"前に進んで", "まえにすすんで"}, {"後ろに下がって", "うしろにさがって"},
    {"右を向いて", "みぎをむいて"}, {"左を向いて", "ひだりをむいて"}, {"手をあげて", "てをあげて"},
    {"頭をさげて", "あたまをさげて"}, {"笑って", "わらって"}, {"泣いて", "ないて"},
    {"怒って", "おこって"}, {"眠い", "ねむい"}, {"おなかすいた", "おなかすいた"},
    {"遊ぼう", "あそぼう"}, {"じゃんけん", "じゃんけん"}, {"かくれんぼ", "かくれんぼ"},
    {"おにごっこ", "おにごっこ"}, {"しりとり", "しりとり"}, {"名前は何", "なまえはなに"},
    {"何歳", "なんさい"}, {"好きな食べ物", "すきなたべもの"}, {"今日の天気", "きょうのてんき"},
    {"今何時", "いまなんじ"}, {"音楽かけて", "おんがくかけて"}, {"静かにして", "しずかにして"},
    {"こっちに来て", "こっちにきて"}, {"テモ", "ても"}, {"ヌムレ", "ぬむれ"},
};

const std::vector<Phrase> kEnglish = {
    {"Hello", "hello"}, {"Good morning", "good morning"}, {"Good night", "good night"},
    {"Thank you", "thank you"}, {"See you later", "see you later"}, {"How are you", "how are you"},
    {"What is your name", "what is your name"}, {"Sing a song", "sing a song"},
    {"Dance for me", "dance for me"}, {"Turn left", "turn left"}, {"Turn right", "turn right"},
    {"Go forward", "go forward"}, {"Go back", "go back"}, {"Stop", "stop"},
    {"Sit down", "sit down"}, {"Stand up", "stand up"}, {"Raise your hand", "raise your hand"},
    {"Wave goodbye", "wave goodbye"}, {"Tell me a story", "tell me a story"},
    {"Play music", "play music"}, {"Be quiet", "be quiet"}, {"Come here", "come here"},
    {"Go away", "go away"}, {"Happy birthday", "happy birthday"}, {"Good job", "good job"},
    {"I love you", "i love you"}, {"Let's play", "let's play"}, {"What time is it", "what time is it"},
    {"What day is it", "what day is it"}, {"How old are you", "how old are you"},
    {"Nice to meet you", "nice to meet you"}, {"Excuse me", "excuse me"},
    {"Welcome home", "welcome home"}, {"Good afternoon", "good afternoon"},
    {"Open your eyes", "open your eyes"}, {"Close your eyes", "close your eyes"},
    {"Shake hands", "shake hands"}, {"Jump", "jump"}, {"Spin around", "spin around"},
    {"Look at me", "look at me"}, {"Count to 10", "count to 10"}, {"Say cheese", "say cheese"},
    {"Are you hungry", "are you hungry"}, {"Goodbye", "goodbye"},
    {"Take a picture", "take a picture"}, {"Lights on", "lights on"}, {"Lights off", "lights off"},
    {"Wake up", "wake up"}, {"Go to sleep", "go to sleep"}, {"Tell me a joke", "tell me a joke"},
};

const std::vector<std::string> kOtherJapanese = {
    "でんしゃにのりたい", "やまのぼりにいこう", "すしがたべたい", "あしたはあめです", "としょかんはどこ",
    "ぎゅうにゅうをください", "せんせいがきました", "ひこうきがとんでいる", "ゆきがふっている",
    "ねこがにゃあとなく", "りんごをみっつ", "しんぶんをよむ", "くるまをあらう", "てがみをかく",
    "えきまであるく", "でんわがなっている", "しゅくだいがおわった", "ほんやにいく",
    "さかなをつる", "はながさいた", "かぜがつよい", "ぼうしをかぶる", "くつをはく",
    "つくえのうえ", "まどをあけて",
};

const std::vector<std::string> kOtherEnglish = {
    "the weather is nice today", "please open the door", "where is the station",
    "I would like some coffee", "my brother plays football", "the train leaves at noon",
    "can you help me with this", "the book is on the table", "she is reading a newspaper",
    "we are going to the beach", "turn off the television", "the cat sleeps all day",
    "how much does it cost", "I forgot my umbrella", "the garden needs water",
    "let me check my calendar", "the museum opens at nine", "my computer is very slow",
    "bring me a glass of milk", "the children are playing outside", "write your address here",
    "the bus is late again", "put the box in the kitchen", "this soup is too hot",
    "call the doctor tomorrow",
};

std::string CatalogueOf(const std::vector<Phrase>& phrases, int firstVoice, int undefinedVoice) {
  std::string entries;
  int voice = firstVoice;
  for (const auto& p : phrases)
    entries += "    <P valstr=\"" + std::to_string(voice++) + ",2\">/" + p.name + "/" + p.reading + ";</P>\r\n";
  if (undefinedVoice)
    entries += "    <P valstr=\"" + std::to_string(undefinedVoice) + ",1\">/UNDEFINE/みていぎ;</P>\r\n";
  std::string utf8 =
      "<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?>\r\n<GRAMMAR>\r\n"
      "  <RULE name=\"Quorvel\" toplevel=\"ACTIVE\">\r\n    <L>\r\n      <P>\r\n"
      "        <RULEREF name=\"TEMMO\"/>\r\n      </P>\r\n    </L>\r\n  </RULE>\r\n"
      "  <RULE name=\"TEMMO\" toplevel=\"INACTIVE\">\r\n   <L propname=\"corpus\">\r\n" +
      entries + "    </L>\r\n    </RULE>\r\n</GRAMMAR>\r\n";
  return sjis::FromUtf8Lossy(utf8);
}

bool ToolsAvailable() {
  return std::system("command -v espeak-ng >/dev/null 2>&1 && command -v sox >/dev/null 2>&1 && "
                     "command -v open_jtalk >/dev/null 2>&1 && command -v flite >/dev/null 2>&1") == 0;
}

namespace {
bool IsOpenJTalk(const std::string& voice) { return voice.rfind(kOpenJTalk, 0) == 0; }
// Debian's voice, or another one QUORVEL_OPEN_JTALK_VOICE names; a style
// ("open-jtalk+sad") is the file of that name beside it, as mei_normal's
// mei_sad, and nothing when the voice has no styles.
std::string OpenJTalkVoice(const std::string& voice) {
  const char* other = std::getenv("QUORVEL_OPEN_JTALK_VOICE");
  const std::string base =
      other && *other ? other : "/usr/share/hts-voice/nitech-jp-atr503-m001/nitech_jp_atr503_m001.htsvoice";
  if (voice.size() <= kOpenJTalk.size() + 1) return base;
  const std::filesystem::path path(base);
  const std::string stem = path.stem().string();
  const std::size_t last = stem.rfind('_');
  if (last == std::string::npos) return "";
  return (path.parent_path() / (stem.substr(0, last + 1) + voice.substr(kOpenJTalk.size() + 1) + ".htsvoice"))
      .string();
}
std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
// The command that speaks text under the condition's voice into raw.
// Beside espeak-ng's formant voices, two made from recordings of people:
// Open JTalk's Japanese (words that start and end softly, natural accent)
// and flite's English ones. Their rate follows wpm as 160 = their own; Open
// JTalk's pitch moves by a half-tone per 5 of espeak-ng's pitch from 50.
std::string Synthesis(const std::string& text, const Condition& c, const std::string& raw) {
  const double rate = c.wpm / 160.0;
  if (IsOpenJTalk(c.voice))
    return "printf %s " + Quote(text) + " | open_jtalk -x /var/lib/mecab/dic/open-jtalk/naist-jdic -m " +
           Quote(OpenJTalkVoice(c.voice)) + " -r " +
           std::to_string(rate) + " -fm " + std::to_string((c.pitch - 50) / 5.0) + " -ow " + Quote(raw);
  if (c.voice.rfind(kFlitePrefix, 0) == 0)
    return "flite -voice " + Quote(c.voice.substr(std::strlen(kFlitePrefix))) +
           " --setf duration_stretch=" + std::to_string(1 / rate) + " -t " + Quote(text) + " -o " + Quote(raw);
  return "espeak-ng -v " + Quote(c.voice) + " -s " + std::to_string(c.wpm) + " -p " + std::to_string(c.pitch) +
         " -w " + Quote(raw) + " " + Quote(text);
}
}  // namespace

bool VoiceInstalled(const Condition& condition) {
  return !IsOpenJTalk(condition.voice) || std::ifstream(OpenJTalkVoice(condition.voice)).good();
}

std::vector<std::int16_t> Speak(const std::string& text, const std::string& voice, int wpm,
                                double noiseDb) {
  return Speak(text, Condition{"", voice, wpm, 50, "", noiseDb, Condition::White});
}

std::vector<Condition> Conditions(const std::string& language, bool development) {
  using N = Condition::Noise;
  const std::string ja = "ja", en = "en-us";
  // Voices, rates, pitches and perturbations differ between the two parts.
  if (language == "ja" && development)
    return {{"m1 140", ja + "+m1", 140, 50, "", 35, N::White},
            {"f1 175 high", ja + "+f1", 175, 70, "", 30, N::White},
            {"m3 fast, tempo 1.1", ja + "+m3", 190, 40, "tempo 1.1", 30, N::White},
            {"f3 reverb", ja + "+f3", 150, 60, "reverb 40 50 60", 35, N::White},
            {"klatt cheap mic", ja + "+klatt", 160, 50, "sinc 200-5000 gain -6", 30, N::White},
            {"Andy pink 20 dB", ja + "+Andy", 165, 45, "", 20, N::Pink},
            {"m5 pitch +300", ja + "+m5", 155, 50, "pitch 300", 30, N::White},
            {"f4 babble 18 dB", ja + "+f4", 160, 55, "", 18, N::Babble},
            {"Open JTalk pink 17 dB", kOpenJTalk, 160, 50, "", 17, N::Pink},
            {"Open JTalk sad", kOpenJTalk + "+sad", 150, 45, "", 35, N::White},
            {"Open JTalk happy, fast, cheap mic", kOpenJTalk + "+happy", 195, 55, "sinc 200-5000 gain -6", 30,
             N::White},
            // Children, the robot's own players: the whole voice raised, its
            // formants with its pitch, as a shorter vocal tract has them.
            {"f1 child, pitch +700", ja + "+f1", 160, 70, "pitch 700", 30, N::White},
            {"Open JTalk child, pitch +600", kOpenJTalk, 160, 50, "pitch 600", 30, N::White},
            // A younger child, heard right only slowed 1.45 times or more,
            // which the session reaches only once that decoder, too, has
            // moved towards the child's voice.
            {"Open JTalk younger child, pitch +700", kOpenJTalk, 160, 50, "pitch 700", 30, N::White}};
  if (language == "ja")
    return {{"m2 130", ja + "+m2", 130, 45, "", 35, N::White},
            {"f2 185 low", ja + "+f2", 185, 35, "", 30, N::White},
            {"m4 telephone", ja + "+m4", 160, 50, "sinc 300-3400 gain -3", 30, N::White},
            {"f5 slow, tempo 0.9", ja + "+f5", 145, 60, "tempo 0.9", 30, N::White},
            {"klatt2 reverb", ja + "+klatt2", 170, 50, "reverb 60 40 80", 35, N::White},
            {"Annie pink 12 dB", ja + "+Annie", 160, 55, "", 12, N::Pink},
            {"m7 pitch -250", ja + "+m7", 165, 50, "pitch -250", 30, N::White},
            {"quiet mic", ja + "+m6", 160, 50, "gain -20", 30, N::White},
            {"Open JTalk high, fast, telephone", kOpenJTalk, 180, 65, "sinc 300-3400 gain -3", 30, N::White},
            {"f5 child, pitch +750", ja + "+f5", 165, 65, "pitch 750", 30, N::White},
            {"Open JTalk child fast, pink 22 dB", kOpenJTalk, 180, 55, "pitch 650", 22, N::Pink}};
  if (development)
    return {{"en-us m1 140", en + "+m1", 140, 50, "", 35, N::White},
            {"en-us f1 175 high", en + "+f1", 175, 70, "", 30, N::White},
            {"en-gb m3 tempo 1.1", "en-gb+m3", 180, 45, "tempo 1.1", 30, N::White},
            {"en-us f3 reverb", en + "+f3", 150, 60, "reverb 40 50 60", 35, N::White},
            {"en-us klatt cheap mic", en + "+klatt", 160, 50, "sinc 200-5000 gain -6", 30, N::White},
            {"en-gb-x-rp pink 20 dB", "en-gb-x-rp+Andy", 165, 45, "", 20, N::Pink},
            {"en-us m5 pitch +300", en + "+m5", 155, 50, "pitch 300", 30, N::White},
            {"en-029 babble 18 dB", "en-029+f4", 160, 55, "", 18, N::Babble},
            {"flite awb pink 17 dB", kFlitePrefix + std::string("awb"), 160, 50, "", 17, N::Pink},
            {"en-us f2 child, pitch +700", en + "+f2", 160, 70, "pitch 700", 30, N::White}};
  return {{"en-us m2 130", en + "+m2", 130, 45, "", 35, N::White},
          {"en-us-nyc f2 185 low", "en-us-nyc+f2", 185, 35, "", 30, N::White},
          {"en-us m4 telephone", en + "+m4", 160, 50, "sinc 300-3400 gain -3", 30, N::White},
          {"en-gb f5 tempo 0.9", "en-gb+f5", 145, 60, "tempo 0.9", 30, N::White},
          {"en-gb-scotland klatt2 reverb", "en-gb-scotland+klatt2", 170, 50, "reverb 60 40 80", 35, N::White},
          {"en-us Annie pink 12 dB", en + "+Annie", 160, 55, "", 12, N::Pink},
          {"en-us m7 pitch -250", en + "+m7", 165, 50, "pitch -250", 30, N::White},
          {"en-us quiet mic", en + "+m6", 160, 50, "gain -20", 30, N::White},
          {"flite slt slow, telephone", kFlitePrefix + std::string("slt"), 140, 50, "sinc 300-3400 gain -3", 30,
           N::White},
          {"en-gb f1 child, pitch +800", "en-gb+f1", 165, 60, "pitch 800", 30, N::White}};
}

namespace {

double Rms(const std::vector<std::int16_t>& s) {
  double power = 0;
  for (auto v : s) power += static_cast<double>(v) * v;
  return s.empty() ? 0 : std::sqrt(power / static_cast<double>(s.size()));
}

// Noise of the condition's kind, as long as the speech.
std::vector<double> Noise(const Condition& c, std::size_t length, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> white(0.0, 1.0);
  std::vector<double> out(length);
  if (c.noise == Condition::Babble) {
    // Several other voices talking at once, from the other language's
    // sentences, each starting somewhere else.
    const char* talk[] = {"the weather is nice today and the train leaves at noon",
                          "でんしゃにのりたい やまのぼりにいこう すしがたべたい",
                          "my brother plays football and the museum opens at nine",
                          "あしたはあめです としょかんはどこ ゆきがふっている"};
    const char* voices[] = {"en-us+m2", "ja+f1", "en-gb+f3", "ja+m4"};
    for (int v = 0; v < 4; ++v) {
      auto other = Speak(talk[v], voices[v], 170, 60);
      if (other.empty()) continue;
      std::size_t offset = (seed + static_cast<unsigned>(v) * 7919u) % other.size();
      for (std::size_t i = 0; i < length; ++i) out[i] += other[(i + offset) % other.size()];
    }
    return out;
  }
  // Pink noise by Paul Kellet's filter of white noise.
  double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
  for (auto& v : out) {
    double w = white(rng);
    if (c.noise == Condition::White) {
      v = w;
      continue;
    }
    b0 = 0.99886 * b0 + w * 0.0555179;
    b1 = 0.99332 * b1 + w * 0.0750759;
    b2 = 0.96900 * b2 + w * 0.1538520;
    b3 = 0.86650 * b3 + w * 0.3104856;
    b4 = 0.55000 * b4 + w * 0.5329522;
    b5 = -0.7616 * b5 - w * 0.0168980;
    v = b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362;
    b6 = w * 0.115926;
  }
  return out;
}

// Adds the condition's noise to samples, its level set against speech of
// speechRms.
void AddNoise(const Condition& c, std::vector<std::int16_t>& samples, unsigned seed, double speechRms) {
  std::vector<double> noise = Noise(c, samples.size(), seed);
  double scale = speechRms * std::pow(10.0, -c.noiseSnrDb / 20.0);
  double noiseRms = 0;
  for (double v : noise) noiseRms += v * v;
  noiseRms = noise.empty() ? 0 : std::sqrt(noiseRms / static_cast<double>(noise.size()));
  if (noiseRms > 0) scale /= noiseRms;
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(std::clamp(samples[i] + noise[i] * scale, -32768.0, 32767.0));
}

}  // namespace

std::vector<std::int16_t> Speak(const std::string& text, const Condition& c, const std::string& cacheDir) {
  std::string key = text + "|" + std::to_string(c.leadSeconds) + "|" + std::to_string(c.trailSeconds) + "|" +
                    c.voice + (IsOpenJTalk(c.voice) ? OpenJTalkVoice(c.voice) : "") + "|" + std::to_string(c.wpm) + "|" + std::to_string(c.pitch) + "|" + c.sox + "|" + std::to_string(c.noiseSnrDb) + "|" + std::to_string(static_cast<int>(c.noise));
  const std::string cached =
      cacheDir.empty() ? "" : cacheDir + "/" + std::to_string(std::hash<std::string>{}(key)) + ".wav";
  std::vector<std::int16_t> samples;
  std::string error;
  if (!cached.empty() && speech::LoadWav(cached, samples, error)) return samples;

  char tmpl[] = "/tmp/quorvel-speak-XXXXXX";
  if (!mkdtemp(tmpl)) return {};
  std::string dir = tmpl, raw = dir + "/raw.wav", out = dir + "/out.wav";
  // -R: sox's dither is seeded alike each time, so the same condition is
  // the same sound in every run.
  std::string cmd = Synthesis(text, c, raw) + " >/dev/null 2>&1 && sox -R " + Quote(raw) +
                    " -r 16000 -c 1 -b 16 " + Quote(out) +
                    " silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse " + c.sox +
                    " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) == 0) speech::LoadWav(out, samples, error);
  std::remove(raw.c_str());
  std::remove(out.c_str());
  rmdir(dir.c_str());
  if (samples.empty()) return samples;
  // The room's noise is there before the words start and after they end,
  // as around a command said to the robot; its level is set against the
  // words alone.
  const double speechRms = Rms(samples);
  samples.insert(samples.begin(), static_cast<std::size_t>(c.leadSeconds * speech::kSampleRate), 0);
  samples.insert(samples.end(), static_cast<std::size_t>(c.trailSeconds * speech::kSampleRate), 0);
  AddNoise(c, samples, static_cast<unsigned>(std::hash<std::string>{}(key)), speechRms);
  if (!cached.empty()) {
    std::filesystem::create_directories(cacheDir);
    WriteWav(cached + ".tmp", samples);
    std::rename((cached + ".tmp").c_str(), cached.c_str());
  }
  return samples;
}

std::vector<std::int16_t> SpeakWithPauses(const std::string& text, const Condition& condition, double pauseSeconds) {
  std::vector<std::int16_t> audio;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (!audio.empty()) audio.insert(audio.end(), static_cast<std::size_t>(pauseSeconds * speech::kSampleRate), 0);
    auto w = Speak(word, condition);
    audio.insert(audio.end(), w.begin(), w.end());
  }
  return audio;
}

std::vector<std::int16_t> RoomNoise(const Condition& c, double seconds, double speechRms) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(seconds * speech::kSampleRate), 0);
  AddNoise(c, out, 1, speechRms);
  return out;
}

bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples) {
  std::ofstream f(path, std::ios::binary);
  auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
  std::uint32_t bytes = static_cast<std::uint32_t>(samples.size() * 2);
  f.write("RIFF", 4);
  u32(36 + bytes);
  f.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(16000);
  u32(32000);
  u16(2);
  u16(16);
  f.write("data", 4);
  u32(bytes);
  f.write(reinterpret_cast<const char*>(samples.data()), bytes);
  return static_cast<bool>(f);
}

}  // namespace quorvel::corpus
