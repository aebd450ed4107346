// Where the window finds its catalogues. Started from the desktop menu, the
// current folder is the home folder, which holds none; the program then
// keeps them in the user's own data folder.
#pragma once
#include <string>

namespace quorvel {

// The folder (native form) to work in: given (the command line's --data)
// or configured ([DATA] DATA_DIR) when set; else "" (stay) when the current
// folder holds one of the five catalogue files; else the user's data folder,
// $XDG_DATA_HOME/quorvel (~/.local/share/quorvel), made and filled from
// demoFolder (the installed demo catalogues) where it holds no catalogue yet.
std::string ChooseDataFolder(const std::string& given, const std::string& configured,
                             const std::string& demoFolder);

// The installed demo catalogues beside an executable (native form):
// <prefix>/share/quorvel/demo for <prefix>/bin/Quorvel.
std::string InstalledDemoFolder(const std::string& executableNative);

}  // namespace quorvel
