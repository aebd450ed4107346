#include "speech/grammar/search_graph.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace quorvel::speech {
namespace {

class Builder {
 public:
  Builder(const CompiledGrammar& g, const PronounceFn& p, const std::string& prefix, std::size_t maxArcs)
      : g_(g), pronounce_(p), prefix_(prefix), maxArcs_(maxArcs), tokensOf_(g.words.size()),
        looked_(g.words.size(), false), prons_(g.words.size()),
        expanding_(g.rules.size(), false), sayable_(g.rules.size(), false) {}

  SearchGraph Run() {
    JudgeRules();
    out_.states = 2;
    for (int r : g_.StartRules()) {
      if (!sayable_[static_cast<std::size_t>(r)]) continue;
      Rule(r, out_.start, out_.final);
    }
    PruneDeadEnds();
    out_.empty = out_.arcs.empty();
    return std::move(out_);
  }

 private:
  int NewState() { return out_.states++; }
  void Arc(int from, int to, int token) {
    if (out_.arcs.size() < maxArcs_) out_.arcs.push_back({from, to, token, 1.0});
  }

  // A word is said in the pieces its lexical form has between spaces, so a
  // pause between them is silence the decoder hears between two tokens,
  // not a sound inside one. Sayable when every piece is.
  bool Sayable(int w) {
    auto i = static_cast<std::size_t>(w);
    if (!looked_[i]) {
      looked_[i] = true;
      std::istringstream in(g_.words[i].lexical);
      std::string piece;
      while (in >> piece) {
        prons_[i].push_back(pronounce_(piece));
        if (prons_[i].back().empty()) {
          prons_[i].clear();
          break;
        }
      }
    }
    return !prons_[i].empty();
  }

  // The tokens of the word's pieces, made when a path first uses them: the
  // first carries the word (its display text), the others only sound.
  const std::vector<int>& Tokens(int w) {
    auto i = static_cast<std::size_t>(w);
    if (tokensOf_[i].empty() && Sayable(w)) {
      for (std::size_t k = 0; k < prons_[i].size(); ++k) {
        tokensOf_[i].push_back(static_cast<int>(out_.tokens.size()));
        std::string name = k == 0 ? prefix_ + std::to_string(w)
                                  : prefix_ + "c" + std::to_string(w) + "_" + std::to_string(k);
        out_.tokens.push_back({name, k == 0 ? w : -1, prons_[i][k]});
      }
    }
    return tokensOf_[i];
  }

  void Word(int w, int from, int to) {
    const std::vector<int>& tokens = Tokens(w);
    int at = from;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
      int next = k + 1 == tokens.size() ? to : NewState();
      Arc(at, next, tokens[k]);
      at = next;
    }
  }

  // A rule can be said when some finite path through it can: judged for all
  // rules at once, callees first, until nothing changes (rules that refer to
  // one another may need a second look), so the answer never depends on
  // which rule happened to be expanded when it was first asked.
  void JudgeRules() {
    std::vector<int> order = g_.calleesFirst;
    if (order.size() != g_.rules.size()) {
      order.resize(g_.rules.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (int r : order) {
        auto i = static_cast<std::size_t>(r);
        if (!sayable_[i] && CanSay(g_.rules[i].body)) sayable_[i] = changed = true;
      }
    }
  }

  bool CanSay(const GrammarNode& n) {
    using K = GrammarNode::Kind;
    switch (n.kind) {
      case K::Word: return Sayable(n.index);
      case K::Void: return false;
      case K::Optional: return true;
      case K::RuleRef: return sayable_[static_cast<std::size_t>(n.index)];
      case K::Choice:
        for (const auto& c : n.children)
          if (CanSay(c)) return true;
        return false;
      case K::Sequence:
        for (const auto& c : n.children)
          if (!CanSay(c)) return false;
        return true;
    }
    return false;
  }

  void Rule(int r, int from, int to) {
    auto i = static_cast<std::size_t>(r);
    if (expanding_[i]) return;  // a reference back into itself is left out
    expanding_[i] = true;
    Node(g_.rules[i].body, from, to);
    expanding_[i] = false;
  }

  void Node(const GrammarNode& n, int from, int to) {
    using K = GrammarNode::Kind;
    if (out_.arcs.size() >= maxArcs_ || !CanSay(n)) return;  // full: the rest is left out
    switch (n.kind) {
      case K::Word: Word(n.index, from, to); return;
      case K::RuleRef: Rule(n.index, from, to); return;
      case K::Void: return;
      case K::Optional:
        Arc(from, to, -1);
        Sequence(n.children, from, to);
        return;
      case K::Choice:
        for (const auto& c : n.children) Node(c, from, to);
        return;
      case K::Sequence: Sequence(n.children, from, to); return;
    }
  }

  void Sequence(const std::vector<GrammarNode>& children, int from, int to) {
    if (children.empty()) {
      Arc(from, to, -1);
      return;
    }
    int at = from;
    for (std::size_t k = 0; k < children.size(); ++k) {
      int next = k + 1 == children.size() ? to : NewState();
      Node(children[k], at, next);
      at = next;
    }
  }

  // A path cut short (by a reference left out, or by the arc limit) ends in
  // a state from which the final one cannot be reached: such arcs only cost
  // the decoder time, so they go.
  void PruneDeadEnds() {
    std::vector<std::vector<int>> into(static_cast<std::size_t>(out_.states));
    for (const auto& a : out_.arcs) into[static_cast<std::size_t>(a.to)].push_back(a.from);
    std::vector<bool> live(static_cast<std::size_t>(out_.states), false);
    std::vector<int> todo{out_.final};
    live[static_cast<std::size_t>(out_.final)] = true;
    while (!todo.empty()) {
      int s = todo.back();
      todo.pop_back();
      for (int f : into[static_cast<std::size_t>(s)])
        if (!live[static_cast<std::size_t>(f)]) {
          live[static_cast<std::size_t>(f)] = true;
          todo.push_back(f);
        }
    }
    std::erase_if(out_.arcs, [&](const SearchGraph::Arc& a) {
      return !live[static_cast<std::size_t>(a.to)] || !live[static_cast<std::size_t>(a.from)];
    });
    if (!live[static_cast<std::size_t>(out_.start)]) out_.arcs.clear();
  }

  const CompiledGrammar& g_;
  const PronounceFn& pronounce_;
  std::string prefix_;
  std::size_t maxArcs_;
  std::vector<std::vector<int>> tokensOf_;  // empty: no tokens yet
  std::vector<bool> looked_;
  std::vector<std::vector<std::vector<Phones>>> prons_;  // per word, per piece
  std::vector<bool> expanding_;
  std::vector<bool> sayable_;
  SearchGraph out_;
};

}  // namespace

SearchGraph BuildSearchGraph(const CompiledGrammar& grammar, const PronounceFn& pronounce,
                             const std::string& prefix, std::size_t maxArcs) {
  return Builder(grammar, pronounce, prefix, maxArcs).Run();
}

SearchGraph MoraLoop(const std::string& prefix) {
  SearchGraph g;
  g.states = 2;
  // Any number of morae, each a step around the start state, then out.
  g.arcs.push_back({g.start, g.final, -1, 1.0});
  const std::vector<Phones> morae = KanaMorae();
  const double each = 1.0 / static_cast<double>(morae.size());
  for (std::size_t i = 0; i < morae.size(); ++i) {
    int token = static_cast<int>(g.tokens.size());
    g.tokens.push_back({prefix + std::to_string(i), -1, {morae[i]}});
    g.arcs.push_back({g.start, g.start, token, each});
  }
  g.empty = false;
  return g;
}

SearchGraph PhoneLoop(const std::string& prefix, const std::vector<std::string>& phones,
                      const std::function<double(const std::string&, const std::string&)>& follow) {
  SearchGraph g;
  // State 2 + k: just after phone k.
  g.states = 2 + static_cast<int>(phones.size());
  for (const std::string& p : phones) g.tokens.push_back({prefix + p, -1, {p}});
  auto after = [](std::size_t k) { return 2 + static_cast<int>(k); };
  for (std::size_t k = 0; k < phones.size(); ++k) {
    g.arcs.push_back({g.start, after(k), static_cast<int>(k), follow("", phones[k])});
    g.arcs.push_back({after(k), g.final, -1, follow(phones[k], "")});
    for (std::size_t j = 0; j < phones.size(); ++j)
      g.arcs.push_back({after(k), after(j), static_cast<int>(j), follow(phones[k], phones[j])});
  }
  for (auto& a : g.arcs) a.probability = std::clamp(a.probability, 1e-6, 1.0);
  g.empty = phones.empty();
  return g;
}

PhraseEnd EndOfPhrase(const SearchGraph& graph, const std::string& hypothesis) {
  std::map<std::string, int> tokenOf;
  for (std::size_t i = 0; i < graph.tokens.size(); ++i) tokenOf[graph.tokens[i].name] = static_cast<int>(i);
  std::vector<std::vector<const SearchGraph::Arc*>> out(static_cast<std::size_t>(graph.states));
  for (const auto& a : graph.arcs) out[static_cast<std::size_t>(a.from)].push_back(&a);
  // The states the words so far can lead to, empty steps included.
  auto close = [&](std::set<int> states) {
    std::vector<int> todo(states.begin(), states.end());
    while (!todo.empty()) {
      int s = todo.back();
      todo.pop_back();
      for (const auto* a : out[static_cast<std::size_t>(s)])
        if (a->token < 0 && states.insert(a->to).second) todo.push_back(a->to);
    }
    return states;
  };
  std::set<int> at = close({graph.start});
  std::istringstream in(hypothesis);
  std::string word;
  while (in >> word) {
    std::size_t alt = word.find('(');  // an alternative pronunciation, "q3_17(2)"
    auto t = tokenOf.find(word.substr(0, alt));
    if (t == tokenOf.end()) continue;  // silence and noise
    std::set<int> next;
    for (int s : at)
      for (const auto* a : out[static_cast<std::size_t>(s)])
        if (a->token == t->second) next.insert(a->to);
    at = close(next);
  }
  if (!at.count(graph.final)) return PhraseEnd::Incomplete;
  for (int s : at)
    for (const auto* a : out[static_cast<std::size_t>(s)])
      if (a->token >= 0) return PhraseEnd::Continuable;
  return PhraseEnd::Complete;
}

namespace {
// The grammar's words a decoder hypothesis says, in order: the tokens that
// begin a word (a later piece of one, silence and noise are skipped).
std::vector<const GrammarWord*> WordsOf(const std::string& hypothesis, const CompiledGrammar& grammar,
                                        const std::string& prefix) {
  std::vector<const GrammarWord*> words;
  std::istringstream in(hypothesis);
  std::string token;
  while (in >> token) {
    if (token.rfind(prefix, 0) != 0) continue;
    std::size_t index = 0;
    try {
      index = std::stoul(token.substr(prefix.size()));
    } catch (...) {
      continue;
    }
    if (index < grammar.words.size()) words.push_back(&grammar.words[index]);
  }
  return words;
}
}  // namespace

std::string DisplayOf(const std::string& hypothesis, const CompiledGrammar& grammar,
                      const std::string& prefix) {
  std::vector<std::string> parts;
  for (const GrammarWord* w : WordsOf(hypothesis, grammar, prefix)) parts.push_back(w->display);
  return JoinDisplay(parts);
}

std::size_t MoraeOf(const std::string& hypothesis, const CompiledGrammar& grammar, const std::string& prefix) {
  std::size_t morae = 0;
  for (const GrammarWord* w : WordsOf(hypothesis, grammar, prefix)) {
    const std::size_t n = MoraCount(w->lexical);
    if (n == 0) return 0;
    morae += n;
  }
  return morae;
}

}  // namespace quorvel::speech
