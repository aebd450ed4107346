#include "speech_corpus.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

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
  return std::system("command -v espeak-ng >/dev/null 2>&1 && command -v sox >/dev/null 2>&1") == 0;
}

namespace {
std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
}  // namespace

std::vector<std::int16_t> Speak(const std::string& text, const std::string& voice, int wpm,
                                double noiseDb) {
  char tmpl[] = "/tmp/quorvel-speak-XXXXXX";
  if (!mkdtemp(tmpl)) return {};
  std::string dir = tmpl, raw = dir + "/raw.wav", out = dir + "/out.wav";
  std::string cmd = "espeak-ng -v " + Quote(voice) + " -s " + std::to_string(wpm) + " -w " + Quote(raw) +
                    " " + Quote(text) + " >/dev/null 2>&1 && sox " + Quote(raw) + " -r 16000 -c 1 -b 16 " +
                    Quote(out) + " silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse >/dev/null 2>&1";
  std::vector<std::int16_t> samples;
  std::string error;
  if (std::system(cmd.c_str()) == 0) speech::LoadWav(out, samples, error);
  std::remove(raw.c_str());
  std::remove(out.c_str());
  rmdir(dir.c_str());
  if (samples.empty()) return samples;
  double power = 0;
  for (auto s : samples) power += static_cast<double>(s) * s;
  double rms = std::sqrt(power / static_cast<double>(samples.size()));
  double sigma = rms * std::pow(10.0, -noiseDb / 20.0);
  std::mt19937 rng(static_cast<unsigned>(text.size() * 7919 + static_cast<unsigned>(wpm)));
  std::normal_distribution<double> noise(0.0, sigma);
  for (auto& s : samples)
    s = static_cast<std::int16_t>(std::clamp(static_cast<double>(s) + noise(rng), -32768.0, 32767.0));
  return samples;
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
