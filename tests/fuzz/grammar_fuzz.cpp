// The XML grammar compiler and the decoder's search graph on any bytes: what
// compiles becomes a graph whose every arc is on a complete path.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "speech/grammar/grammar.h"
#include "speech/grammar/search_graph.h"

using namespace quorvel::speech;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CompiledGrammar g;
  if (CompileGrammarText(std::string_view(reinterpret_cast<const char*>(data), size), g) != kOk) {
    FUZZ_CHECK(g.rules.empty() && g.words.empty());
    return 0;
  }
  std::vector<bool> seen(g.rules.size(), false);
  FUZZ_CHECK(g.calleesFirst.size() == g.rules.size());
  for (int r : g.calleesFirst) {
    FUZZ_CHECK(r >= 0 && static_cast<std::size_t>(r) < g.rules.size() && !seen[static_cast<std::size_t>(r)]);
    seen[static_cast<std::size_t>(r)] = true;
  }
  // A cheap stand-in for the dictionary: words that start with a letter can be said.
  auto pronounce = [](const std::string& lexical) {
    bool sayable = !lexical.empty() && ((lexical[0] | 0x20) >= 'a' && (lexical[0] | 0x20) <= 'z');
    return sayable ? std::vector<Phones>{"AH"} : std::vector<Phones>{};
  };
  constexpr std::size_t kMaxArcs = 20000;
  SearchGraph graph = BuildSearchGraph(g, pronounce, "q_", kMaxArcs);
  FUZZ_CHECK(graph.arcs.size() <= kMaxArcs);
  FUZZ_CHECK(graph.empty == graph.arcs.empty());
  const auto states = static_cast<std::size_t>(graph.states);
  std::vector<std::vector<int>> into(states);
  for (const auto& a : graph.arcs) {
    FUZZ_CHECK(a.from >= 0 && static_cast<std::size_t>(a.from) < states);
    FUZZ_CHECK(a.to >= 0 && static_cast<std::size_t>(a.to) < states);
    FUZZ_CHECK(a.token >= -1 && a.token < static_cast<int>(graph.tokens.size()));
    if (a.token >= 0) {
      const auto& t = graph.tokens[static_cast<std::size_t>(a.token)];
      FUZZ_CHECK(t.word < static_cast<int>(g.words.size()));
      FUZZ_CHECK(t.word >= 0 || t.name.rfind("q_c", 0) == 0);  // a later piece of a word
    }
    into[static_cast<std::size_t>(a.to)].push_back(a.from);
  }
  // Every arc leads on to the final state.
  std::vector<bool> live(states, false);
  std::vector<int> todo{graph.final};
  live[static_cast<std::size_t>(graph.final)] = true;
  while (!todo.empty()) {
    int s = todo.back();
    todo.pop_back();
    for (int f : into[static_cast<std::size_t>(s)])
      if (!live[static_cast<std::size_t>(f)]) live[static_cast<std::size_t>(f)] = true, todo.push_back(f);
  }
  for (const auto& a : graph.arcs) FUZZ_CHECK(live[static_cast<std::size_t>(a.to)]);
  std::string hypothesis;
  for (const auto& t : graph.tokens) hypothesis += t.name + " ";
  (void)DisplayOf(hypothesis, g, "q_");
  return 0;
}
