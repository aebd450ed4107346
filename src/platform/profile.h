// Private-profile (INI) file access with the Windows semantics the
// configuration file relies on: case-insensitive section and key names, first
// match wins, trimmed values, quotes stripped, 259-byte values, in-place
// rewrites with CR LF line ends. Values are raw bytes (Shift_JIS).
#pragma once
#include <string>
#include <string_view>

namespace quorvel::profile {

constexpr std::size_t kMaxValue = 259;

std::string GetString(std::string_view section, std::string_view key,
                      std::string_view fallback, const std::string& path);

// Leading decimal digits with an optional sign; a present key without digits
// reads as 0; a missing key gives the fallback.
int GetInt(std::string_view section, std::string_view key, int fallback,
           const std::string& path);

// Rewrites the key's line in place (or adds it, creating section and file);
// false when the file cannot be written.
bool WriteString(std::string_view section, std::string_view key,
                 std::string_view value, const std::string& path);

}  // namespace quorvel::profile
