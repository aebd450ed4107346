// A compiled grammar as a finite-state graph for the decoder: every sayable
// word becomes a token of its own with its pronunciations, the rules that
// can be started from lead from the start state to the final one, and what
// cannot be said is left out (a word without pronunciation, a reference
// back into a rule being expanded, an empty list) without failing the rest.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "speech/grammar/grammar.h"
#include "speech/grammar/pronunciation.h"

namespace quorvel::speech {

struct SearchGraph {
  struct Token {
    std::string name;  // decoder word, e.g. "q3_17" ("q3_c17_1": a later piece of word 17)
    int word;          // index into CompiledGrammar::words; -1 for a later piece or a free sound
    std::vector<Phones> pronunciations;
  };
  struct Arc {
    int from, to;
    int token;           // -1: an empty step
    double probability;  // (0, 1]
  };
  std::vector<Token> tokens;
  std::vector<Arc> arcs;
  int states = 0;
  int start = 0, final = 1;
  bool empty = true;  // nothing in the grammar can be said
};

using PronounceFn = std::function<std::vector<Phones>(const std::string& lexical)>;

// prefix keeps the token names of one load apart from those of earlier
// loads. A graph grows by at most maxArcs arcs; the rest is left out.
SearchGraph BuildSearchGraph(const CompiledGrammar& grammar, const PronounceFn& pronounce,
                             const std::string& prefix, std::size_t maxArcs = 200000);

// A loop of the kana morae, each a token named prefix and its number: a
// model of any Japanese speech, as the catalogue's own readings are said.
SearchGraph MoraLoop(const std::string& prefix);

// A loop of single phones, each a token named prefix and the phone, where
// a phone follows the one before it with probability follow(before, phone)
// ("" before the first; phone "" for the end): a phonotactic model of any
// speech in the language the probabilities were counted on.
SearchGraph PhoneLoop(const std::string& prefix, const std::vector<std::string>& phones,
                      const std::function<double(const std::string&, const std::string&)>& follow);

// Where a decoder hypothesis ("q3_17 q3_2") stands in the graph: not (yet)
// a whole phrase, a whole phrase that a longer one may continue, or a whole
// phrase that nothing continues.
enum class PhraseEnd { Incomplete, Continuable, Complete };
PhraseEnd EndOfPhrase(const SearchGraph& graph, const std::string& hypothesis);

// The display text of a decoder hypothesis ("q3_17 q3_2"), tokens mapped
// back to their words and joined as they read; fillers are skipped.
std::string DisplayOf(const std::string& hypothesis, const CompiledGrammar& grammar,
                      const std::string& prefix);

// The morae of the words a decoder hypothesis says (see MoraCount); 0 when
// it says none, or one that is not written in kana.
std::size_t MoraeOf(const std::string& hypothesis, const CompiledGrammar& grammar, const std::string& prefix);

}  // namespace quorvel::speech
