#include "speech/grammar/search_graph.h"

#include <sstream>
#include <vector>

namespace quorvel::speech {
namespace {

constexpr char kFreePrefix[] = "qg_";
const char* const kModelPhones[] = {
    "AA", "AE", "AH", "AO", "AW", "AY", "B", "CH", "D", "DH", "EH", "ER", "EY",
    "F", "G", "HH", "IH", "IY", "JH", "K", "L", "M", "N", "NG", "OW", "OY", "P",
    "R", "S", "SH", "T", "TH", "UH", "UW", "V", "W", "Y", "Z", "ZH"};

class Builder {
 public:
  Builder(const CompiledGrammar& g, const PronounceFn& p, const std::string& prefix, std::size_t maxArcs)
      : g_(g), pronounce_(p), prefix_(prefix), maxArcs_(maxArcs), tokenOf_(g.words.size(), -1),
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

  bool Sayable(int w) {
    auto i = static_cast<std::size_t>(w);
    if (!looked_[i]) {
      looked_[i] = true;
      prons_[i] = pronounce_(g_.words[i].lexical);
    }
    return !prons_[i].empty();
  }

  // The word's token, made when a path first uses it.
  int Token(int w) {
    auto i = static_cast<std::size_t>(w);
    if (tokenOf_[i] < 0 && Sayable(w)) {
      tokenOf_[i] = static_cast<int>(out_.tokens.size());
      out_.tokens.push_back({prefix_ + std::to_string(w), w, prons_[i]});
    }
    return tokenOf_[i];
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
      case K::Word: Arc(from, to, Token(n.index)); return;
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
  std::vector<int> tokenOf_;  // -1: no token yet
  std::vector<bool> looked_;
  std::vector<std::vector<Phones>> prons_;
  std::vector<bool> expanding_;
  std::vector<bool> sayable_;
  SearchGraph out_;
};

}  // namespace

SearchGraph BuildSearchGraph(const CompiledGrammar& grammar, const PronounceFn& pronounce,
                             const std::string& prefix, std::size_t maxArcs) {
  return Builder(grammar, pronounce, prefix, maxArcs).Run();
}

SearchGraph WithFreePhones(SearchGraph g, const FreeSounds& w) {
  int loopIn = g.states++, loopOut = g.states++;
  g.arcs.push_back({g.start, loopIn, -1, w.entry});
  g.arcs.push_back({loopOut, loopIn, -1, 1.0});
  g.arcs.push_back({loopOut, g.final, -1, 1.0});
  for (const char* p : kModelPhones) {
    g.arcs.push_back({loopIn, loopOut, static_cast<int>(g.tokens.size()), w.phone});
    g.tokens.push_back({std::string(kFreePrefix) + p, -1, {p}});
  }
  int n = 0;
  for (const Phones& mora : w.mora > 0 ? KanaMorae() : std::vector<Phones>{}) {
    g.arcs.push_back({loopIn, loopOut, static_cast<int>(g.tokens.size()), w.mora});
    g.tokens.push_back({std::string(kFreePrefix) + "m" + std::to_string(n++), -1, {mora}});
  }
  g.empty = false;
  return g;
}

bool IsFreePhones(const std::string& hypothesis) {
  return hypothesis.find(kFreePrefix) != std::string::npos;
}

std::string DisplayOf(const std::string& hypothesis, const CompiledGrammar& grammar,
                      const std::string& prefix) {
  std::vector<std::string> parts;
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
    if (index < grammar.words.size()) parts.push_back(grammar.words[index].display);
  }
  return JoinDisplay(parts);
}

}  // namespace quorvel::speech
