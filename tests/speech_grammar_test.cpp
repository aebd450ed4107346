// The grammar compiler, the pronunciations and the decoder's search graph.
#include <gtest/gtest.h>

#include "speech/grammar/grammar.h"
#include "speech/grammar/pronunciation.h"
#include "speech/grammar/search_graph.h"
#include "speech_test_util.h"

namespace quorvel::speech {
namespace {

using test::Entry;

TEST(GrammarCompilerTest, ResultCodesTellBadContentFromUnreadableFiles) {
  struct Case {
    const char* what;
    std::string bytes;
    HResult expected;
  } cases[] = {
      {"catalogue", test::GrammarText(Entry("1,1", "テモ", "ても")), kOk},
      {"utf-8 without declaration", "<GRAMMAR><RULE name=\"a\" toplevel=\"ACTIVE\"><P>hello</P></RULE></GRAMMAR>", kOk},
      {"not well-formed", "<GRAMMAR><RULE name=\"a\">", kUnsupportedFormat},
      {"empty", "", kUnsupportedFormat},
      {"another root", "<html><body/></html>", kUnsupportedFormat},
      {"unknown reference", "<GRAMMAR><RULE name=\"a\"><RULEREF name=\"b\"/></RULE></GRAMMAR>", kUnsupportedFormat},
      {"two rules of one name", "<GRAMMAR><RULE name=\"a\"/><RULE name=\"a\"/></GRAMMAR>", kUnsupportedFormat},
      {"unknown element", "<GRAMMAR><RULE name=\"a\"><BLINK/></RULE></GRAMMAR>", kUnsupportedFormat},
      {"unknown encoding", "<?xml version=\"1.0\" encoding=\"EBCDIC\"?><GRAMMAR/>", kUnsupportedFormat},
      {"invalid Shift_JIS", "<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?><GRAMMAR><RULE name=\"a\" "
                            "toplevel=\"ACTIVE\"><P>/\x82/\xFF\xFF;</P></RULE></GRAMMAR>", kOk},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    test::WriteFile(dir / "g.xml", c.bytes);
    CompiledGrammar g;
    EXPECT_EQ(CompileGrammarFile(dir / "g.xml", g), c.expected) << c.what;
  }
  CompiledGrammar g;
  EXPECT_EQ(CompileGrammarFile(dir / "missing.xml", g), kFileNotFound);
  EXPECT_EQ(CompileGrammarFile("", g), kFileNotFound);
  HResult folder = CompileGrammarFile(dir.path().string(), g);
  EXPECT_TRUE(Failed(folder));
  EXPECT_NE(folder, kUnsupportedFormat);
}

TEST(GrammarCompilerTest, CatalogueBecomesStartRuleOverItsEntries) {
  CompiledGrammar g;
  ASSERT_EQ(CompileGrammarText(test::GrammarText(Entry("1,1", "テモ", "ても") +
                                                 Entry("2,1", "Good morning", "good morning")),
                               g),
            kOk);
  ASSERT_EQ(g.rules.size(), 2u);
  EXPECT_EQ(g.StartRules(), std::vector<int>{0});  // TEMMO is top-level but inactive
  ASSERT_EQ(g.words.size(), 2u);
  EXPECT_EQ(g.words[0].display, "テモ");
  EXPECT_EQ(g.words[0].lexical, "ても");
  EXPECT_EQ(g.words[1].display, "Good morning");
  EXPECT_EQ(g.words[1].lexical, "good morning");
}

TEST(GrammarCompilerTest, JoinsDisplayTextsAsTheyRead) {
  struct Case {
    std::vector<std::string> parts;
    std::string joined;
  } cases[] = {
      {{"3", "たす", "4"}, "3たす4"}, {{"good", "morning"}, "good morning"},
      {{"1", "2"}, "12"},             {{"テモ", "hello"}, "テモhello"},
      {{"", "a"}, "a"},               {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinDisplay(c.parts), c.joined);
}

TEST(PronunciationTest, KanaBecomeModelPhonesAndMorae) {
  struct Case {
    const char* kana;
    const char* phones;  // nullptr: not kana
    std::size_t morae;
  } cases[] = {
      {"こんにちは", "K OW N N IY CH IY HH AA", 5},
      {"きょう", "K Y OW", 2},             // small yo, long o
      {"がっこう", "G AA K OW", 4},        // the small tsu
      {"しんぶん", "SH IY M B UW N", 4},   // n before b
      {"りんご", "R IY NG G OW", 3},       // n before g
      {"せんせい", "S EH N S EY", 4},      // e+i
      {"ラーメン", "R AA M EH N", 4},      // katakana, long mark
      {"ティー", "T IY", 2},
      {"ファン", "F AA N", 2},
      {"じゃんけん", "JH AA NG K EH N", 4},
      {"漢字", nullptr, 0},
      {"ーあ", nullptr, 0},
      {"ゃ", nullptr, 0},
  };
  for (const auto& c : cases) {
    auto p = KanaPhones(c.kana);
    if (c.phones) EXPECT_EQ(p.value_or("<none>"), c.phones) << c.kana;
    else EXPECT_FALSE(p) << c.kana;
    EXPECT_EQ(MoraCount(c.kana), c.morae) << c.kana;
  }
}

TEST(PronunciationTest, WordsNumbersAndFallback) {
  Lexicon lex;
  lex.Add("hello", "HH AH L OW");
  lex.Add("hello", "HH EH L OW");
  lex.Add("three", "TH R IY");
  lex.Add("twenty", "T W EH N T IY");
  lex.Add("one", "W AH N");
  EXPECT_EQ(NumberWords(0), "zero");
  EXPECT_EQ(NumberWords(21), "twenty one");
  EXPECT_EQ(NumberWords(1205), "one thousand two hundred five");
  EXPECT_EQ(Pronounce("Hello", lex), (std::vector<Phones>{"HH AH L OW", "HH EH L OW"}));
  EXPECT_EQ(Pronounce("３たす21", lex), (std::vector<Phones>{"TH R IY T AA S UW T W EH N T IY W AH N",
                                                            "TH R IY T AA S T W EH N T IY W AH N"}));
  // Kana: the careful reading first, then the n run on, the n as a nasal
  // vowel, and a final は as the particle.
  EXPECT_EQ(Pronounce("こんばんは", lex),
            (std::vector<Phones>{"K OW M B AA N HH AA", "K OW M B AA NG HH AA", "K OW UW N B AA UW N HH AA",
                                 "K OW M B AA N W AA"}));
  // The n before g stays NG. ら行 also tapped, as D, but in a final り.
  EXPECT_EQ(Pronounce("りんご", lex), (std::vector<Phones>{"R IY NG G OW", "D IY NG G OW"}));
  EXPECT_EQ(Pronounce("しりとり", lex), (std::vector<Phones>{"SH IY R IY T OW R IY", "SH IY D IY T OW R IY"}));
  EXPECT_EQ(Pronounce("ヌムレ", lex), (std::vector<Phones>{"N UW M UW R EH", "N UW M UW D EH"}));
  EXPECT_EQ(Pronounce("おかえり", lex), (std::vector<Phones>{"OW K AA EH R IY"}));
  // Unvoiced vowels: u between K/S sounds and at the end, of two in a row only the first.
  EXPECT_EQ(Pronounce("ですか", lex), (std::vector<Phones>{"D EH S UW K AA", "D EH S K AA"}));
  EXPECT_EQ(Pronounce("きくす", lex), (std::vector<Phones>{"K IY K UW S UW", "K K UW S"}));
  EXPECT_TRUE(Pronounce("quorvel", lex).empty());
  EXPECT_TRUE(Pronounce("ても漢", lex).empty());
  EXPECT_TRUE(Pronounce("", lex).empty());
  auto fallback = [](const std::string& w) -> std::optional<Phones> {
    if (w == "quorvel") return "K W AO R V AH L";
    return std::nullopt;
  };
  EXPECT_EQ(Pronounce("hello quorvel", lex, fallback).front(), "HH AH L OW K W AO R V AH L");
  // The real fallback knows words no dictionary has.
  auto espeak = EspeakPhones("quorvel");
  ASSERT_TRUE(espeak);
  EXPECT_NE(espeak->find("K"), std::string::npos);
}

TEST(SearchGraphTest, LeavesOutWhatCannotBeSaid) {
  CompiledGrammar g;
  ASSERT_EQ(CompileGrammarText(
                "<GRAMMAR><RULE name=\"top\" toplevel=\"ACTIVE\"><L><P>/A/ても;</P><P>/B/漢;</P>"
                "<P><RULEREF name=\"num\"/><O>/plus/たす;</O><RULEREF name=\"num\"/></P>"
                "<P><RULEREF name=\"loop\"/></P></L></RULE>"
                "<RULE name=\"num\"><L><P>/3/さん;</P><P>/4/よん;</P></L></RULE>"
                "<RULE name=\"loop\"><P>/x/ぬ;<RULEREF name=\"loop\"/></P></RULE>"
                "<RULE name=\"off\" toplevel=\"INACTIVE\"><P>/C/ぬむれ;</P></RULE></GRAMMAR>",
                g),
            kOk);
  Lexicon lex;
  SearchGraph graph = BuildSearchGraph(g, [&](const std::string& l) { return Pronounce(l, lex); }, "q0_");
  EXPECT_FALSE(graph.empty);
  std::vector<std::string> displays;
  for (const auto& t : graph.tokens) displays.push_back(g.words[static_cast<std::size_t>(t.word)].display);
  // 漢 has no pronunciation; the self-referring rule never ends; the
  // inactive rule is not started from.
  EXPECT_EQ(displays, (std::vector<std::string>{"A", "3", "4", "plus"}));
  for (const auto& a : graph.arcs) {
    EXPECT_LT(a.from, graph.states);
    EXPECT_LT(a.to, graph.states);
  }
  EXPECT_EQ(DisplayOf("<s> q0_3 <sil> q0_2 q0_4 </s>", g, "q0_"), "3 plus 4");
  // The morae said: さん たす よん; none where a word is not in kana.
  EXPECT_EQ(MoraeOf("<s> q0_3 <sil> q0_2(2) q0_4 </s>", g, "q0_"), 6u);
  EXPECT_EQ(MoraeOf("q0_0 q0_1", g, "q0_"), 0u);
  EXPECT_EQ(MoraeOf("<sil>", g, "q0_"), 0u);
  // Where a hypothesis stands: 3 alone is no phrase, "3 plus 4" and "3 4"
  // are, and nothing continues them.
  EXPECT_EQ(EndOfPhrase(graph, "q0_3"), PhraseEnd::Incomplete);
  EXPECT_EQ(EndOfPhrase(graph, "<sil> q0_3(2) q0_2 q0_4 </s>"), PhraseEnd::Complete);
  EXPECT_EQ(EndOfPhrase(graph, "q0_3 q0_4"), PhraseEnd::Complete);
  EXPECT_EQ(EndOfPhrase(graph, "q0_0 q0_0"), PhraseEnd::Incomplete);
  SearchGraph morae = MoraLoop("qm_");
  EXPECT_GT(morae.tokens.size(), 60u);
  EXPECT_EQ(EndOfPhrase(morae, "qm_1 qm_2"), PhraseEnd::Continuable);

  // Rules that each refer to the next one twice: a billion paths, built
  // only up to the arc limit, and what was cut short is left out.
  std::string doubling = "<GRAMMAR><RULE name=\"r0\" toplevel=\"ACTIVE\"><RULEREF name=\"r1\"/></RULE>";
  for (int i = 1; i < 30; ++i)
    doubling += "<RULE name=\"r" + std::to_string(i) + "\"><P><RULEREF name=\"r" + std::to_string(i + 1) +
                "\"/><RULEREF name=\"r" + std::to_string(i + 1) + "\"/></P></RULE>";
  doubling += "<RULE name=\"r30\"><P>/n/ぬ;</P></RULE></GRAMMAR>";
  CompiledGrammar deep;
  ASSERT_EQ(CompileGrammarText(doubling, deep), kOk);
  SearchGraph big = BuildSearchGraph(deep, [&](const std::string& l) { return Pronounce(l, lex); }, "q_", 5000);
  EXPECT_LE(big.arcs.size(), 5000u);
  EXPECT_EQ(big.empty, big.arcs.empty());

  CompiledGrammar silent;
  ASSERT_EQ(CompileGrammarText("<GRAMMAR><RULE name=\"t\" toplevel=\"ACTIVE\"><P>/A/漢;</P></RULE></GRAMMAR>",
                               silent),
            kOk);
  EXPECT_TRUE(BuildSearchGraph(silent, [&](const std::string& l) { return Pronounce(l, lex); }, "q_").empty);
}

// Grammars that refer back to themselves or go deeper than any walk of them
// may: the first load and lose only the references back, the others are no
// valid grammar. Neither may exhaust the stack.
TEST(SearchGraphTest, ReferencesBackAndDepthLimits) {
  auto nested = [](int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<P>", close += "</P>";
    return "<GRAMMAR><RULE name=\"t\" toplevel=\"ACTIVE\">" + open + "/A/ても;" + close + "</RULE></GRAMMAR>";
  };
  auto chain = [](int rules) {
    std::string g = "<GRAMMAR><RULE name=\"r0\" toplevel=\"ACTIVE\"><RULEREF name=\"r1\"/></RULE>";
    for (int i = 1; i < rules; ++i)
      g += "<RULE name=\"r" + std::to_string(i) + "\"><RULEREF name=\"r" + std::to_string(i + 1) + "\"/></RULE>";
    return g + "<RULE name=\"r" + std::to_string(rules) + "\"><P>/A/ても;</P></RULE></GRAMMAR>";
  };
  struct Case {
    const char* what;
    std::string text;
    HResult compiled;
    std::vector<std::string> words;  // displays of the tokens the graph says
  } cases[] = {
      {"a catalogue entry refers to the list holding it",
       test::GrammarText(Entry("1,1", "テモ", "ても") + "<P>go<RULEREF name=\"TEMMO\"/></P>"), kOk, {"テモ"}},
      {"a dictionary rule refers only to itself",
       "<GRAMMAR><RULE name=\"a\" toplevel=\"ACTIVE\"><P>/x/ぬ;<RULEREF name=\"a\"/></P></RULE></GRAMMAR>", kOk, {}},
      {"two rules refer to each other",
       "<GRAMMAR><RULE name=\"a\" toplevel=\"ACTIVE\"><L><P>/x/ぬ;</P><P><RULEREF name=\"b\"/></P></L></RULE>"
       "<RULE name=\"b\"><P>/y/む;<RULEREF name=\"a\"/></P></RULE></GRAMMAR>", kOk, {"x"}},
      {"nesting at the limit", nested(kMaxNesting), kOk, {"A"}},
      {"nesting beyond the limit", nested(kMaxNesting + 1), kUnsupportedFormat, {}},
      {"100000 nested phrases", nested(100000), kUnsupportedFormat, {}},
      {"a chain of 200 rules", chain(200), kOk, {"A"}},
      {"a chain of 30000 rules", chain(30000), kUnsupportedFormat, {}},
  };
  Lexicon lex;
  for (const Case& c : cases) {
    CompiledGrammar g;
    ASSERT_EQ(CompileGrammarText(c.text, g), c.compiled) << c.what;
    if (c.compiled != kOk) continue;
    SearchGraph graph = BuildSearchGraph(g, [&](const std::string& l) { return Pronounce(l, lex); }, "q_");
    std::vector<std::string> said;
    for (const auto& a : graph.arcs)
      if (a.token >= 0) said.push_back(g.words[static_cast<std::size_t>(graph.tokens[static_cast<std::size_t>(a.token)].word)].display);
    EXPECT_EQ(said, c.words) << c.what;
    EXPECT_EQ(graph.empty, c.words.empty()) << c.what;
  }
}

}  // namespace
}  // namespace quorvel::speech
