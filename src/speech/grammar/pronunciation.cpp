#include "speech/grammar/pronunciation.h"

#include <algorithm>
#include <array>
#include <map>
#include <sstream>

#include "platform/files.h"

namespace quorvel::speech {
namespace {

// One code point of UTF-8 text; U+FFFD for a broken sequence.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i++]);
  int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return cp;
}

struct Mora {
  const char* consonant;  // phones before the vowel, may be empty
  char vowel;             // a i u e o, or 0 for none
};

// Hiragana U+3041..U+3096 by offset; katakana are folded onto them.
const std::map<char32_t, Mora>& KanaTable() {
  static const std::map<char32_t, Mora> table = [] {
    std::map<char32_t, Mora> t;
    auto row = [&](const char* kana5, std::array<const char*, 5> cons) {
      static const char vowels[] = "aiueo";
      std::size_t i = 0;
      for (int k = 0; k < 5; ++k) {
        char32_t cp = NextCodePoint(kana5, i);
        if (cp != U'・') t[cp] = {cons[static_cast<std::size_t>(k)], vowels[k]};
      }
    };
    row("あいうえお", {"", "", "", "", ""});
    row("かきくけこ", {"K", "K", "K", "K", "K"});
    row("がぎぐげご", {"G", "G", "G", "G", "G"});
    row("さしすせそ", {"S", "SH", "S", "S", "S"});
    row("ざじずぜぞ", {"Z", "JH", "Z", "Z", "Z"});
    row("たちつてと", {"T", "CH", "T S", "T", "T"});
    row("だぢづでど", {"D", "JH", "Z", "D", "D"});
    row("なにぬねの", {"N", "N", "N", "N", "N"});
    row("はひふへほ", {"HH", "HH", "F", "HH", "HH"});
    row("ばびぶべぼ", {"B", "B", "B", "B", "B"});
    row("ぱぴぷぺぽ", {"P", "P", "P", "P", "P"});
    row("まみむめも", {"M", "M", "M", "M", "M"});
    row("らりるれろ", {"R", "R", "R", "R", "R"});
    row("ぁぃぅぇぉ", {"", "", "", "", ""});
    t[U'や'] = {"Y", 'a'};
    t[U'ゆ'] = {"Y", 'u'};
    t[U'よ'] = {"Y", 'o'};
    t[U'わ'] = {"W", 'a'};
    t[U'ゐ'] = {"", 'i'};
    t[U'ゑ'] = {"", 'e'};
    t[U'を'] = {"", 'o'};
    t[U'ゔ'] = {"V", 'u'};
    return t;
  }();
  return table;
}

const char* VowelPhone(char v) {
  switch (v) {
    case 'a': return "AA";
    case 'i': return "IY";
    case 'u': return "UW";
    case 'e': return "EH";
    default: return "OW";
  }
}

bool IsSmallVowel(char32_t c) { return c >= U'ぁ' && c <= U'ぉ' && (c - U'ぁ') % 2 == 0; }
bool IsSmallY(char32_t c) { return c == U'ゃ' || c == U'ゅ' || c == U'ょ'; }

void Append(Phones& out, std::string_view phones) {
  if (phones.empty()) return;
  if (!out.empty()) out += ' ';
  out += phones;
}

std::vector<std::string> Split(std::string_view s) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    std::size_t j = i;
    while (j < s.size() && s[j] != ' ') ++j;
    if (j > i) out.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

// Which morae lose their vowel when spoken quickly: i or u after a
// voiceless consonant, before another one or (u only) at the end; of two
// such morae in a row only the first.
template <typename Morae>
std::vector<bool> DevoicedMorae(const Morae& morae) {
  auto voiceless = [](const std::string& c) {
    for (const char* v : {"K", "S", "SH", "T", "CH", "HH", "F", "P"})
      if (c == v || c.rfind(std::string(v) + " ", 0) == 0) return true;
    return false;
  };
  std::vector<bool> out(morae.size(), false);
  for (std::size_t k = 0; k < morae.size(); ++k) {
    const auto& m = morae[k];
    if ((m.vowel != 'i' && m.vowel != 'u') || !voiceless(m.consonant) || (k > 0 && out[k - 1])) continue;
    if (k + 1 == morae.size()) out[k] = m.vowel == 'u';
    else out[k] = morae[k + 1].vowel != 0 && voiceless(morae[k + 1].consonant);
  }
  return out;
}

}  // namespace

bool Lexicon::Load(const std::string& nativePath) {
  std::string text;
  if (!platform::ReadWholeFile(nativePath, text)) return false;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::size_t sp = line.find(' ');
    if (sp == std::string::npos || line.empty() || line[0] == ';') continue;
    std::string word = line.substr(0, sp);
    std::size_t paren = word.find('(');
    if (paren != std::string::npos && paren > 0) word.resize(paren);
    std::size_t start = line.find_first_not_of(' ', sp);
    if (start == std::string::npos) continue;
    std::string phones = line.substr(start);
    while (!phones.empty() && (phones.back() == '\r' || phones.back() == ' ')) phones.pop_back();
    words_[word].push_back(phones);
  }
  return true;
}

void Lexicon::Add(std::string word, Phones phones) { words_[std::move(word)].push_back(std::move(phones)); }

const std::vector<Phones>* Lexicon::Find(std::string_view lowerWord) const {
  auto it = words_.find(std::string(lowerWord));
  return it == words_.end() ? nullptr : &it->second;
}

std::optional<Phones> KanaPhones(std::string_view kana, KanaStyle style) {
  const bool diphthongs = style.diphthongs;
  // Morae first, as consonant and vowel, so the rules can look at neighbours.
  struct M {
    std::string consonant;
    char vowel;  // 0: the moraic n or a geminate
    bool n = false;
  };
  std::vector<M> morae;
  const auto& table = KanaTable();
  for (std::size_t i = 0; i < kana.size();) {
    char32_t c = NextCodePoint(kana, i);
    if (c >= 0x30A1 && c <= 0x30F6) c -= 0x60;  // katakana onto hiragana
    if (c == U'ー') {
      if (morae.empty() || morae.back().vowel == 0) return std::nullopt;
      continue;  // a long vowel: the model has no length
    }
    if (c == U'っ') continue;  // the geminate: nothing the model can hold apart
    if (c == U'ん') {
      morae.push_back({"", 0, true});
      continue;
    }
    if (IsSmallY(c)) {
      if (morae.empty() || morae.back().vowel != 'i' || morae.back().consonant.empty())
        return std::nullopt;
      M& m = morae.back();
      if (m.consonant != "SH" && m.consonant != "CH" && m.consonant != "JH") m.consonant += " Y";
      m.vowel = c == U'ゃ' ? 'a' : c == U'ゅ' ? 'u' : 'o';
      continue;
    }
    auto it = table.find(c);
    if (it == table.end()) return std::nullopt;
    if (IsSmallVowel(c) && !morae.empty() && morae.back().vowel != 0) {
      M& m = morae.back();
      if (m.consonant.empty() && m.vowel == 'u') m.consonant = "W";  // ウィ ウェ ウォ
      if (m.consonant == "T S" && it->second.vowel == 'i') m.consonant = "T";
      m.vowel = it->second.vowel;
      continue;
    }
    morae.push_back({it->second.consonant, it->second.vowel});
  }
  if (morae.empty()) return std::nullopt;
  // The r tapped, as D; but a final り keeps its R: its i is short and
  // weak, so tapped it is hardly more than a D, which ends many other words
  // as well (おかえり took 踊って and 何歳). A final ら, る, れ or ろ has the
  // weight of its vowel and is tapped like any other.
  if (style.tap)
    for (std::size_t k = 0; k < morae.size(); ++k)
      if (morae[k].consonant.rfind("R", 0) == 0 && (k + 1 < morae.size() || morae[k].vowel != 'i'))
        morae[k].consonant.replace(0, 1, "D");
  Phones out;
  const std::vector<bool> devoiced = style.devoiced ? DevoicedMorae(morae) : std::vector<bool>(morae.size());
  char last = 0;  // vowel of the phone written last
  for (std::size_t k = 0; k < morae.size(); ++k) {
    const M& m = morae[k];
    if (m.n) {
      const std::string next = k + 1 < morae.size() ? morae[k + 1].consonant : "";
      auto starts = [&](const char* c) { return next.rfind(c, 0) == 0; };
      bool stop = starts("P") || starts("B") || starts("M") || starts("K") || starts("G") ||
                  starts("T") || starts("D") || starts("N") || starts("CH") || starts("JH");
      // Before a fricative, a glide or a vowel the n is a nasal vowel; NG
      // is the model's nearest sound.
      const bool inside = k + 1 < morae.size();
      Append(out, style.nasalVowels && inside && !starts("K") && !starts("G") ? "UW N"
                  : starts("P") || starts("B") || starts("M")                    ? "M"
                  : starts("K") || starts("G") || (diphthongs && !stop && inside) ? "NG"
                                                                                 : "N");
      last = 0;
      continue;
    }
    if (m.consonant.empty() && last != 0) {
      // A bare vowel after a vowel: the same vowel again, o+u and e+i are
      // long vowels; the model has them as one phone.
      if (m.vowel == last || (last == 'o' && m.vowel == 'u')) continue;
      const char* glide = last == 'e' && m.vowel == 'i'                ? "EY"
                          : diphthongs && last == 'a' && m.vowel == 'i' ? "AY"
                          : diphthongs && last == 'o' && m.vowel == 'i' ? "OY"
                          : diphthongs && last == 'a' && m.vowel == 'u' ? "AW"
                                                                        : nullptr;
      if (glide) {
        out.replace(out.size() - 2, 2, glide);
        last = m.vowel;
        continue;
      }
    }
    if (devoiced[k]) {
      Append(out, m.consonant);
      last = 0;
      continue;
    }
    const bool wa = style.particleWa && k + 1 == morae.size() && k > 0 && m.consonant == "HH" && m.vowel == 'a';
    Append(out, wa ? "W" : m.consonant);
    Append(out, VowelPhone(m.vowel));
    last = m.vowel;
  }
  return out;
}

std::vector<Phones> KanaMorae() {
  std::vector<Phones> out;
  auto add = [&](const std::string& kana) {
    auto p = KanaPhones(kana);
    if (p && std::find(out.begin(), out.end(), *p) == out.end()) out.push_back(*p);
  };
  for (const auto& [cp, mora] : KanaTable()) {
    if (IsSmallVowel(cp)) continue;
    std::string utf8;
    utf8 += static_cast<char>(0xE0 | (cp >> 12));
    utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (cp & 0x3F));
    add(utf8);
    if (mora.vowel == 'i' && *mora.consonant)
      for (const char* y : {"ゃ", "ゅ", "ょ"}) add(utf8 + y);
  }
  add("ん");
  return out;
}

std::size_t MoraCount(std::string_view kana) {
  if (!KanaPhones(kana)) return 0;  // not a reading the program can say
  std::size_t count = 0;
  for (std::size_t i = 0; i < kana.size();) {
    char32_t c = NextCodePoint(kana, i);
    if (c >= 0x30A1 && c <= 0x30F6) c -= 0x60;  // katakana onto hiragana
    if (!IsSmallY(c) && !(IsSmallVowel(c) && count > 0)) ++count;
  }
  return count;
}

std::string NumberWords(unsigned long long n) {
  static const char* const ones[] = {"zero", "one", "two", "three", "four", "five", "six",
                                     "seven", "eight", "nine", "ten", "eleven", "twelve",
                                     "thirteen", "fourteen", "fifteen", "sixteen", "seventeen",
                                     "eighteen", "nineteen"};
  static const char* const tens[] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty",
                                     "seventy", "eighty", "ninety"};
  if (n < 20) return ones[n];
  if (n < 100) return std::string(tens[n / 10]) + (n % 10 ? std::string(" ") + ones[n % 10] : "");
  struct Scale {
    unsigned long long value;
    const char* name;
  } scales[] = {{1000000000000000000ULL, "quintillion"}, {1000000000000000ULL, "quadrillion"},
                {1000000000000ULL, "trillion"}, {1000000000ULL, "billion"},
                {1000000ULL, "million"}, {1000ULL, "thousand"}, {100ULL, "hundred"}};
  for (const Scale& s : scales) {
    if (n < s.value) continue;
    std::string out = NumberWords(n / s.value) + " " + s.name;
    if (n % s.value) out += " " + NumberWords(n % s.value);
    return out;
  }
  return "";
}

std::vector<Phones> Pronounce(std::string_view lexical, const Lexicon& lexicon,
                              const LetterToSound& fallback) {
  // Runs of one kind: kana, an English word, a number; anything else that
  // is not a separator makes the form unsayable.
  enum class Kind { None, Kana, Word, Digits };
  std::vector<std::vector<Phones>> parts;  // each part's variants
  std::string run;
  Kind kind = Kind::None;
  bool ok = true;
  auto wordVariants = [&](const std::string& lower) -> std::vector<Phones> {
    if (const auto* found = lexicon.Find(lower)) return *found;
    if (fallback)
      if (auto p = fallback(lower)) return {*p};
    return {};
  };
  auto flush = [&] {
    if (run.empty()) return;
    std::vector<Phones> variants;
    if (kind == Kind::Kana) {
      for (KanaStyle style : {KanaStyle{}, KanaStyle{.diphthongs = true}, KanaStyle{.nasalVowels = true},
                              KanaStyle{.particleWa = true}, KanaStyle{.devoiced = true}, KanaStyle{.tap = true}})
        if (auto p = KanaPhones(run, style))
          if (std::find(variants.begin(), variants.end(), *p) == variants.end()) variants.push_back(*p);
    } else if (kind == Kind::Word) {
      variants = wordVariants(run);
    } else if (kind == Kind::Digits) {
      unsigned long long n = 0;
      bool fits = run.size() <= 18;
      for (char d : run) n = n * 10 + static_cast<unsigned>(d - '0');
      std::vector<std::string> words = Split(fits ? NumberWords(n) : "");
      if (!fits)  // too long to say as one number: digit by digit
        for (char d : run) words.push_back(NumberWords(static_cast<unsigned>(d - '0')));
      Phones all;
      for (const auto& w : words) {
        auto v = wordVariants(w);
        if (v.empty()) { all.clear(); break; }
        Append(all, v.front());
      }
      if (!all.empty()) variants.push_back(all);
    }
    if (variants.empty()) ok = false;
    parts.push_back(std::move(variants));
    run.clear();
  };
  for (std::size_t i = 0; i < lexical.size() && ok;) {
    char32_t c = NextCodePoint(lexical, i);
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width ASCII
    Kind k;
    if ((c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC) k = Kind::Kana;
    else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '\'') k = Kind::Word;
    else if (c >= '0' && c <= '9') k = Kind::Digits;
    else if (c == ' ' || c == '\t' || c == 0x3000 || c == 0x3001 || c == 0x3002 || c == '-' ||
             c == ',' || c == '.' || c == '!' || c == '?' || c == 0x30FB)
      k = Kind::None;
    else return {};
    if (k != kind) flush();
    kind = k;
    if (k == Kind::Word && c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
    if (k != Kind::None) {
      // Re-encode the code point (kana are three bytes in UTF-8).
      if (c < 0x80) run += static_cast<char>(c);
      else {
        run += static_cast<char>(0xE0 | (c >> 12));
        run += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        run += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
  }
  flush();
  if (!ok || parts.empty()) return {};
  // The first variant of every part, then each further variant of one part.
  constexpr std::size_t kMaxVariants = 6;
  std::vector<Phones> out(1);
  for (const auto& p : parts) Append(out[0], p.front());
  for (std::size_t i = 0; i < parts.size() && out.size() < kMaxVariants; ++i)
    for (std::size_t v = 1; v < parts[i].size() && out.size() < kMaxVariants; ++v) {
      Phones alt;
      for (std::size_t j = 0; j < parts.size(); ++j) Append(alt, j == i ? parts[j][v] : parts[j].front());
      out.push_back(alt);
    }
  return out;
}

}  // namespace quorvel::speech
