// Reads a grammar file with pugixml after bringing its bytes to UTF-8 (the
// catalogues are Shift_JIS and say so in their declaration).
#include "speech/grammar/grammar.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <optional>

#include <pugixml.hpp>

#include "platform/files.h"
#include "platform/sjis.h"

namespace quorvel::speech {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool NameIs(const pugi::xml_node& n, const char* upper) { return Lower(n.name()) == Lower(upper); }

const char* Attr(const pugi::xml_node& n, const char* upper) {
  for (auto a : n.attributes())
    if (Lower(a.name()) == Lower(upper)) return a.value();
  return nullptr;
}

// The declared encoding of the XML declaration, lower case; empty if none.
std::string DeclaredEncoding(std::string_view bytes) {
  if (bytes.substr(0, 5) != "<?xml") return "";
  std::size_t end = bytes.find("?>");
  std::string_view decl = bytes.substr(0, end);
  std::size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return "";
  std::size_t q = decl.find_first_of("\"'", at);
  if (q == std::string_view::npos) return "";
  std::size_t q2 = decl.find(decl[q], q + 1);
  if (q2 == std::string_view::npos) return "";
  return Lower(decl.substr(q + 1, q2 - q - 1));
}

// The document as UTF-8 for pugixml, or nothing for an encoding we cannot read.
std::optional<std::string> ToUtf8Document(std::string_view bytes, pugi::xml_encoding& encoding) {
  encoding = pugi::encoding_utf8;
  if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                            (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    encoding = pugi::encoding_auto;  // UTF-16 with its byte order mark
    return std::string(bytes);
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
  std::string enc = DeclaredEncoding(bytes);
  if (enc.empty() || enc == "utf-8" || enc == "utf8") return std::string(bytes);
  if (enc == "shift_jis" || enc == "shift-jis" || enc == "sjis" || enc == "x-sjis" ||
      enc == "windows-31j" || enc == "cp932" || enc == "ms932")
    return sjis::ToUtf8(bytes);
  if (enc == "iso-8859-1" || enc == "latin1") {
    encoding = pugi::encoding_latin1;
    return std::string(bytes);
  }
  return std::nullopt;
}

class Compiler {
 public:
  explicit Compiler(CompiledGrammar& out) : out_(out) {}

  bool Run(const pugi::xml_node& root) {
    if (!NameIs(root, "GRAMMAR")) return false;
    for (auto r : root.children()) {
      if (r.type() != pugi::node_element) continue;
      if (!NameIs(r, "RULE")) {
        if (NameIs(r, "DEFINE") || NameIs(r, "RESOURCE")) continue;
        return false;
      }
      const char* name = Attr(r, "NAME");
      if (!name || !*name) name = Attr(r, "ID");
      if (!name || !*name) continue;  // a rule nobody can name or start from
      if (byName_.count(name)) return false;
      GrammarRule rule;
      rule.name = name;
      const char* top = Attr(r, "TOPLEVEL");
      rule.topLevel = top && (Lower(top) == "active" || Lower(top) == "inactive");
      rule.active = top && Lower(top) == "active";
      byName_[rule.name] = static_cast<int>(out_.rules.size());
      out_.rules.push_back(std::move(rule));
      nodes_.push_back(r);
    }
    refs_.resize(nodes_.size());
    nesting_.resize(nodes_.size());
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      rule_ = static_cast<int>(i);
      if (!Sequence(nodes_[i], out_.rules[i].body)) return false;
    }
    return OrderRules();
  }

 private:
  void AddWord(GrammarNode& seq, std::string display, std::string lexical) {
    GrammarNode w{GrammarNode::Kind::Word, static_cast<int>(out_.words.size()), {}};
    out_.words.push_back({std::move(display), std::move(lexical)});
    seq.children.push_back(std::move(w));
  }

  // "/display/lexical[/pronunciation];" words and plain words.
  void Text(std::string_view t, GrammarNode& seq) {
    std::size_t i = 0;
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < t.size()) {
      if (space(t[i])) { ++i; continue; }
      if (t[i] == '/') {
        std::vector<std::string> fields(1);
        std::size_t j = i + 1;
        for (; j < t.size() && t[j] != ';'; ++j) {
          if (t[j] == '\\' && j + 1 < t.size()) fields.back() += t[++j];
          else if (t[j] == '/') fields.emplace_back();
          else fields.back() += t[j];
        }
        i = j + 1;
        std::string lexical = fields.size() > 1 && !fields[1].empty() ? fields[1] : fields[0];
        if (!fields[0].empty() || !lexical.empty()) AddWord(seq, fields[0], lexical);
        continue;
      }
      std::size_t j = i;
      while (j < t.size() && !space(t[j])) ++j;
      std::string word(t.substr(i, j - i));
      if (word[0] == '+' || word[0] == '-') word.erase(0, 1);
      if (!word.empty()) AddWord(seq, word, word);
      i = j;
    }
  }

  bool Element(const pugi::xml_node& e, GrammarNode& seq) {
    struct Level {
      int& depth;
      explicit Level(int& d) : depth(++d) {}
      ~Level() { --depth; }
    } level(depth_);
    if (depth_ > kMaxNesting) return false;
    int& deepest = nesting_[static_cast<std::size_t>(rule_)];
    deepest = std::max(deepest, depth_);
    return Inner(e, seq);
  }

  bool Inner(const pugi::xml_node& e, GrammarNode& seq) {
    using K = GrammarNode::Kind;
    if (NameIs(e, "P") || NameIs(e, "PHRASE") || NameIs(e, "O") || NameIs(e, "OPT")) {
      GrammarNode inner{K::Sequence, -1, {}};
      if (!Sequence(e, inner)) return false;
      const char* min = Attr(e, "MIN");
      if (NameIs(e, "O") || NameIs(e, "OPT") || (min && std::string(min) == "0"))
        inner = GrammarNode{K::Optional, -1, {std::move(inner)}};
      seq.children.push_back(std::move(inner));
      return true;
    }
    if (NameIs(e, "L") || NameIs(e, "LIST")) {
      GrammarNode choice{K::Choice, -1, {}};
      for (auto c : e.children()) {
        GrammarNode alt{K::Sequence, -1, {}};
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) Text(c.value(), alt);
        else if (c.type() == pugi::node_element && !Element(c, alt)) return false;
        if (!alt.children.empty()) choice.children.push_back(std::move(alt));
      }
      seq.children.push_back(std::move(choice));
      return true;
    }
    if (NameIs(e, "RULEREF")) {
      const char* name = Attr(e, "NAME");
      if (!name) name = Attr(e, "REFID");
      if (!name) {  // a reference to another file or object: nothing we can follow
        seq.children.push_back(GrammarNode{K::Void, -1, {}});
        return true;
      }
      auto it = byName_.find(name);
      if (it == byName_.end()) return false;
      refs_[static_cast<std::size_t>(rule_)].push_back(it->second);
      seq.children.push_back(GrammarNode{K::RuleRef, it->second, {}});
      return true;
    }
    if (NameIs(e, "DICTATION") || NameIs(e, "WILDCARD") || NameIs(e, "TEXTBUFFER")) {
      seq.children.push_back(GrammarNode{K::Void, -1, {}});
      return true;
    }
    return NameIs(e, "ID") || NameIs(e, "RESOURCE");
  }

  bool Sequence(const pugi::xml_node& parent, GrammarNode& seq) {
    for (auto c : parent.children()) {
      if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) Text(c.value(), seq);
      else if (c.type() == pugi::node_element && !Element(c, seq)) return false;
    }
    return true;
  }

  // Groups the rules that refer to one another (Tarjan's algorithm, without
  // recursion: a chain of thousands of rules is an ordinary input), fills
  // calleesFirst, and refuses a grammar whose references go too deep.
  bool OrderRules() {
    const std::size_t n = refs_.size();
    std::vector<int> index(n, -1), low(n, 0), group(n, -1), stack;
    std::vector<bool> onStack(n, false);
    int counter = 0, groups = 0;
    struct Frame {
      int rule;
      std::size_t next;
    };
    for (std::size_t s = 0; s < n; ++s) {
      if (index[s] >= 0) continue;
      std::vector<Frame> calls;
      auto enter = [&](int v) {
        index[v] = low[v] = counter++;
        stack.push_back(v);
        onStack[v] = true;
        calls.push_back({v, 0});
      };
      enter(static_cast<int>(s));
      while (!calls.empty()) {
        Frame& f = calls.back();
        const int v = f.rule;
        const auto& out = refs_[static_cast<std::size_t>(v)];
        if (f.next < out.size()) {
          int w = out[f.next++];
          if (index[w] < 0) enter(w);
          else if (onStack[w]) low[v] = std::min(low[v], index[w]);
          continue;
        }
        if (low[v] == index[v]) {
          int w;
          do {
            w = stack.back();
            stack.pop_back();
            onStack[w] = false;
            group[w] = groups;
            out_.calleesFirst.push_back(w);
          } while (w != v);
          ++groups;
        }
        calls.pop_back();
        if (!calls.empty()) low[calls.back().rule] = std::min(low[calls.back().rule], low[v]);
      }
    }
    // Groups come out callees first, so the depth below each group is known
    // from the groups it refers to by the time it is reached.
    std::vector<int> weight(static_cast<std::size_t>(groups), 0), depth(weight);
    for (std::size_t r = 0; r < n; ++r) weight[group[r]] += std::max(nesting_[r], 1);
    for (int r : out_.calleesFirst) {
      int g = group[r];
      for (int w : refs_[static_cast<std::size_t>(r)])
        if (int h = group[w]; h != g) depth[g] = std::max(depth[g], depth[h] + weight[h]);
    }
    for (int g = 0; g < groups; ++g)
      if (depth[g] + weight[g] > kMaxExpansionDepth) return false;
    return true;
  }

  CompiledGrammar& out_;
  std::map<std::string, int> byName_;
  std::vector<pugi::xml_node> nodes_;
  std::vector<std::vector<int>> refs_;  // per rule: the rules it refers to
  std::vector<int> nesting_;            // per rule: its deepest element
  int rule_ = -1;                       // the rule being compiled
  int depth_ = 0;                       // elements open around the current one
};

}  // namespace

std::vector<int> CompiledGrammar::StartRules() const {
  std::vector<int> start;
  for (std::size_t i = 0; i < rules.size(); ++i)
    if (rules[i].topLevel && rules[i].active) start.push_back(static_cast<int>(i));
  return start;
}

HResult CompileGrammarText(std::string_view bytes, CompiledGrammar& out) {
  out = CompiledGrammar{};
  pugi::xml_encoding encoding;
  auto doc8 = ToUtf8Document(bytes, encoding);
  if (!doc8) return kUnsupportedFormat;
  pugi::xml_document doc;
  if (!doc.load_buffer(doc8->data(), doc8->size(), pugi::parse_default, encoding))
    return kUnsupportedFormat;
  CompiledGrammar compiled;
  Compiler compiler(compiled);
  if (!compiler.Run(doc.document_element())) return kUnsupportedFormat;
  out = std::move(compiled);
  return kOk;
}

HResult CompileGrammarFile(const std::string& nativePath, CompiledGrammar& out) {
  std::string bytes;
  errno = 0;
  if (nativePath.empty() || !platform::ReadWholeFile(nativePath, bytes))
    return errno == ENOENT || nativePath.empty() ? kFileNotFound : kFail;
  return CompileGrammarText(bytes, out);
}

namespace {
bool IsAsciiWordChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '\'';
}
}  // namespace

std::string JoinDisplay(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    if (!out.empty() && IsAsciiWordChar(static_cast<unsigned char>(out.back())) &&
        IsAsciiWordChar(static_cast<unsigned char>(p.front())) &&
        !(std::isdigit(static_cast<unsigned char>(out.back())) &&
          std::isdigit(static_cast<unsigned char>(p.front()))))
      out += ' ';
    out += p;
  }
  return out;
}

}  // namespace quorvel::speech
