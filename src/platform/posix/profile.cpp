// INI file reading and in-place rewriting.
#include "platform/profile.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/files.h"

namespace quorvel::profile {
namespace {

std::string_view Trim(std::string_view s) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t lf = text.find('\n', at);
    std::size_t end = lf == std::string::npos ? text.size() : lf;
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    at = end + 1;
  }
  return lines;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::string text;
  if (!platform::ReadWholeFile(path, text)) return {};
  return SplitLines(text);
}

// Section name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  auto close = line.find(']');
  return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

std::optional<std::string_view> KeyOf(std::string_view line) {
  auto eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, eq));
}

std::optional<std::string> Lookup(std::string_view section, std::string_view key,
                                  const std::string& path) {
  bool inSection = false;
  for (const auto& line : ReadLines(path)) {
    if (auto s = SectionOf(line)) {
      inSection = EqualNoCase(*s, section);
      continue;
    }
    if (!inSection) continue;
    auto k = KeyOf(line);
    if (k && EqualNoCase(*k, key)) {
      std::string_view v = Trim(std::string_view(line).substr(line.find('=') + 1));
      if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') ||
                            (v.front() == '\'' && v.back() == '\''))) {
        v = v.substr(1, v.size() - 2);
      }
      return std::string(v.substr(0, kMaxValue));
    }
  }
  return std::nullopt;
}

}  // namespace

std::string GetString(std::string_view section, std::string_view key,
                      std::string_view fallback, const std::string& path) {
  auto v = Lookup(section, key, path);
  return v ? *v : std::string(Trim(fallback).substr(0, kMaxValue));
}

int GetInt(std::string_view section, std::string_view key, int fallback,
           const std::string& path) {
  auto v = Lookup(section, key, path);
  if (!v) return fallback;
  std::string_view s = *v;
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  long long value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > 0x7FFFFFFFLL + 1) value = 0x7FFFFFFFLL + 1;
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, -0x7FFFFFFFLL - 1, 0x7FFFFFFFLL));
}

namespace {

// The file's lines with the key set to value.
std::string WithValue(const std::string& text, std::string_view section, std::string_view key,
                      std::string_view value) {
  std::vector<std::string> lines = SplitLines(text);
  std::string entry = std::string(key) + "=" + std::string(value);
  std::optional<std::size_t> sectionStart, lastInSection;
  bool replaced = false;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size() && !replaced; ++i) {
    if (auto s = SectionOf(lines[i])) {
      if (inSection) break;  // left the first matching section
      inSection = EqualNoCase(*s, section);
      if (inSection) sectionStart = lastInSection = i;
      continue;
    }
    if (!inSection) continue;
    if (!Trim(lines[i]).empty()) lastInSection = i;
    auto k = KeyOf(lines[i]);
    if (k && EqualNoCase(*k, key)) {
      lines[i] = entry;
      replaced = true;
    }
  }
  if (!replaced) {
    if (sectionStart) {
      lines.insert(lines.begin() + static_cast<long>(*lastInSection) + 1, entry);
    } else {
      lines.push_back("[" + std::string(section) + "]");
      lines.push_back(entry);
    }
  }
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace

bool WriteString(std::string_view section, std::string_view key,
                 std::string_view value, const std::string& path) {
  // Read, change and write under the folder's rewrite lock, so two programs
  // writing at once both keep their keys.
  return platform::RewriteFile(path, [&](const std::string& text) {
           return std::optional<std::string>(WithValue(text, section, key, value));
         }) == 0;
}

}  // namespace quorvel::profile
