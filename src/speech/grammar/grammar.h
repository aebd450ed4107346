// The command grammars the catalogues are written in, compiled into rules of
// phrases: GRAMMAR, RULE (name, toplevel), P/PHRASE with "/display/lexical;"
// words or plain words, L/LIST alternatives, O/OPT optional parts, RULEREF.
// The compiled form is what a backend turns into its own search graph.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "speech/engine/engine.h"

namespace quorvel::speech {

struct GrammarWord {
  std::string display;  // UTF-8, what a recognition shows
  std::string lexical;  // UTF-8, what is spoken
};

struct GrammarNode {
  enum class Kind { Word, Sequence, Choice, Optional, RuleRef, Void };
  Kind kind = Kind::Sequence;
  int index = -1;  // Word: into words; RuleRef: into rules
  std::vector<GrammarNode> children;
};

struct GrammarRule {
  std::string name;
  bool topLevel = false;
  bool active = false;  // toplevel="ACTIVE"
  GrammarNode body;
};

// How deep a grammar may go. Elements nest at most kMaxNesting levels inside
// a rule, and following references from any rule, without coming back to a
// rule already being followed, passes through at most kMaxExpansionDepth
// nesting levels in all (rules that refer to one another count with the sum
// of their nesting). A file beyond either is not a valid grammar, so no
// grammar can exhaust the stack of whoever walks it.
constexpr int kMaxNesting = 64;
constexpr int kMaxExpansionDepth = 256;

struct CompiledGrammar {
  std::vector<GrammarRule> rules;
  std::vector<GrammarWord> words;
  // Every rule once, the rules a rule refers to before it wherever they do
  // not refer back to it: judging rules in this order settles each in one
  // pass, and rules that refer to one another in a few.
  std::vector<int> calleesFirst;
  // Rules a recognition may start from: top-level and active.
  std::vector<int> StartRules() const;
};

// kOk, kUnsupportedFormat (not well-formed XML, or not a grammar), or another
// negative code when the file cannot be read.
HResult CompileGrammarFile(const std::string& nativePath, CompiledGrammar& out);
HResult CompileGrammarText(std::string_view bytes, CompiledGrammar& out);

// Display texts of a recognised word sequence joined as they read: Japanese
// runs close up, English words get one space between them.
std::string JoinDisplay(const std::vector<std::string>& parts);

}  // namespace quorvel::speech
