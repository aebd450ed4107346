#include "app/data_folder.h"

#include <filesystem>

#include "catalogue/voice_item.h"
#include "platform/paths.h"

namespace quorvel {
namespace fs = std::filesystem;

namespace {

bool HoldsCatalogue(const fs::path& folder) {
  std::error_code ec;
  for (int d = 0; d < kDictionaryDataSet; ++d)
    if (fs::is_regular_file(folder / platform::ToNativePath(CatalogueFileName(d)), ec)) return true;
  return false;
}

}  // namespace

std::string ChooseDataFolder(const std::string& given, const std::string& configured,
                             const std::string& demoFolder) {
  if (!given.empty()) return given;
  if (!configured.empty()) return configured;
  if (HoldsCatalogue(fs::current_path())) return "";
  const fs::path mine = platform::UserDataFolder();
  std::error_code ec;
  if (!HoldsCatalogue(mine) && !demoFolder.empty() && fs::is_directory(demoFolder, ec)) {
    fs::create_directories(mine, ec);
    // The user's own copies: what is there already is never replaced.
    fs::copy(demoFolder, mine, fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
  }
  return mine.string();
}

std::string InstalledDemoFolder(const std::string& executableNative) {
  fs::path exe(executableNative);
  return (exe.parent_path().parent_path() / "share/quorvel/demo").string();
}

}  // namespace quorvel
