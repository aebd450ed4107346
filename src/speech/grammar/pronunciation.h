// Pronunciations of a grammar word's lexical form in the phones of the
// en-us acoustic model: kana through this program's kana table, English
// words from the pronouncing dictionary, digits as spoken numbers, and
// words the dictionary lacks through a letter-to-sound fallback.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvel::speech {

// Phones separated by single spaces, e.g. "K AA N N IY CH IY W AA".
using Phones = std::string;

// The pronouncing dictionary (cmudict format: "word  PH ON ES", variants as
// "word(2)"). Words are looked up in lower case.
class Lexicon {
 public:
  bool Load(const std::string& nativePath);
  void Add(std::string word, Phones phones);
  const std::vector<Phones>* Find(std::string_view lowerWord) const;
  std::size_t Size() const { return words_.size(); }

 private:
  std::unordered_map<std::string, std::vector<Phones>> words_;
};

// Letter-to-sound for a word the dictionary lacks; nothing if it cannot.
using LetterToSound = std::function<std::optional<Phones>(const std::string& word)>;

// How a kana reading may sound besides its careful form.
struct KanaStyle {
  // a+i, o+i and a+u as the model's AY, OY, AW (run together).
  bool diphthongs = false;
  // The moraic n inside a word, where no K or G follows, as a nasal vowel
  // (UW N) rather than a consonant: how many voices say it.
  bool nasalVowels = false;
  // A final は as the particle "wa" (こんにちは, こんばんは).
  bool particleWa = false;
  // i and u between voiceless consonants, and a final u after one, left
  // out, as people say them (です, して, すき).
  bool devoiced = false;
  // The r of ら行 as D, but in a final り: said with a tap of the tongue,
  // which the model knows from American English "butter" as a short D
  // rather than as its own R.
  bool tap = false;
};

// The kana of a reading (hiragana or katakana, UTF-8) in phones; nothing
// when the text holds anything but kana.
std::optional<Phones> KanaPhones(std::string_view kana, KanaStyle style = {});

// Every mora of the kana table in phones ("K AA", "SH OW", "N"...).
std::vector<Phones> KanaMorae();

// The morae of a kana reading, the beats Japanese times its speech by: one
// for each kana, the long vowel mark, っ and ん included, where a small ゃ,
// ゅ, ょ or small vowel makes one with the kana before it; 0 when the text
// holds anything but kana.
std::size_t MoraCount(std::string_view kana);

// A whole number in English words: 42 -> "forty two".
std::string NumberWords(unsigned long long n);

// Every way this program can say a lexical form, best first (at most a
// few); empty when some part of it cannot be said at all.
std::vector<Phones> Pronounce(std::string_view lexical, const Lexicon& lexicon,
                              const LetterToSound& fallback = {});

// espeak-ng's en-us letter-to-sound, mapped to the model's phones.
std::optional<Phones> EspeakPhones(const std::string& word);

}  // namespace quorvel::speech
