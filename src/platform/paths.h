// Internal paths (Shift_JIS, '\' separators, as stored in INI and catalogue
// files) and their native form for the file system (UTF-8, '/').
#pragma once
#include <string>
#include <string_view>

namespace quorvel::platform {

std::string ToNativePath(std::string_view internal);

// Native (UTF-8) path back to the internal form; empty optional-like result
// signalled by ok=false when Shift_JIS cannot hold the name.
bool ToInternalPath(std::string_view native, std::string& internal);

// Full path of the running executable, in internal form; empty when
// Shift_JIS cannot hold it.
std::string ExecutablePath();

// The user's own folders for this program (native form): settings in
// $XDG_CONFIG_HOME/quorvel (~/.config/quorvel), catalogues in
// $XDG_DATA_HOME/quorvel (~/.local/share/quorvel).
std::string UserConfigFolder();
std::string UserDataFolder();

// Whether this user may create files in a folder (native form).
bool FolderWritable(const std::string& native);

}  // namespace quorvel::platform
