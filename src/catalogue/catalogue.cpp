// The catalogue line reader: every line carrying "valstr" is one entry,
// read by byte positions (the loader does not parse XML).
#include "catalogue/catalogue.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "app/converter_state.h"
#include "app/strings.h"
#include "platform/decimal.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace quorvel {

const char* CatalogueFileName(int dataSet) {
  static const char* const kFiles[] = {".\\Ninshiki.xml", ".\\English.xml", ".\\voice.xml",
                                       ".\\ura_voice.xml", ".\\Program.xml"};
  return (dataSet >= 0 && dataSet < kDictionaryDataSet) ? kFiles[dataSet] : nullptr;
}

namespace {

constexpr std::size_t kLinePiece = 255;  // a line buffer of 256 bytes

enum class LineResult { Skipped, Entry, Malformed };

LineResult ReadEntryLine(std::string_view line, int dataSet, VoiceItem& item) {
  std::size_t at = line.find("valstr");
  if (at == std::string_view::npos) return LineResult::Skipped;
  std::size_t open = line.find('"', at);
  if (open == std::string_view::npos) return LineResult::Malformed;
  std::size_t close = line.find('"', open + 1);
  if (close == std::string_view::npos) return LineResult::Malformed;
  std::size_t nameOpen = line.find('/', close + 1);
  if (nameOpen == std::string_view::npos) return LineResult::Malformed;
  std::size_t nameClose = line.find('/', nameOpen + 1);
  if (nameClose == std::string_view::npos) return LineResult::Malformed;
  std::size_t end = line.find(';', nameClose + 1);
  if (end == std::string_view::npos) return LineResult::Malformed;

  std::string_view value = line.substr(open + 1, close - open - 1);
  item = VoiceItem{};
  if (dataSet == kProgramDataSet) {
    item.programPath = std::string(value);
  } else {
    item.voiceId = static_cast<std::int16_t>(platform::ReadDecimal(value));
    std::size_t c1 = value.find(',');
    if (c1 != std::string_view::npos) {
      item.duration = static_cast<std::int16_t>(platform::ReadDecimal(value.substr(c1 + 1)));
      std::size_t c2 = value.find(',', c1 + 1);
      if (c2 != std::string_view::npos) {
        item.flags = static_cast<std::uint8_t>(platform::ReadDecimal(value.substr(c2 + 1)));
      }
    }
  }
  item.name = std::string(line.substr(nameOpen + 1, nameClose - nameOpen - 1));
  std::string reading(line.substr(nameClose + 1, end - nameClose - 1));
  if (reading != kUnregisteredReading) item.reading = std::move(reading);
  return LineResult::Entry;
}

// The file as text mode reads it (CR LF becomes LF), cut into the pieces a
// 256-byte line buffer takes: at most 255 bytes, up to and including the LF.
std::vector<std::string_view> SplitPieces(const std::string& text) {
  std::vector<std::string_view> pieces;
  std::string_view rest(text);
  while (!rest.empty()) {
    std::size_t lf = rest.find('\n');
    std::size_t len = lf == std::string_view::npos ? rest.size() : lf + 1;
    len = std::min(len, kLinePiece);
    pieces.push_back(rest.substr(0, len));
    rest.remove_prefix(len);
  }
  return pieces;
}

std::string ToTextMode(std::string bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out += bytes[i];
  }
  return out;
}

}  // namespace

bool LoadCatalogue(ConverterState& state, int dataSet) {
  if (dataSet == kDictionaryDataSet) {
    if (state.dictionaryPath.empty()) {
      state.itemCount = 0;
      state.undefinedIndex = -1;
      return true;
    }
    return LoadCatalogueFile(state, dataSet, state.dictionaryPath);
  }
  const char* file = CatalogueFileName(dataSet);
  if (!file) {
    state.itemCount = 0;
    state.undefinedIndex = -1;
    state.ShowMessage(IDS_LOAD_FAILED);
    return false;
  }
  return LoadCatalogueFile(state, dataSet, file);
}

bool LoadCatalogueFile(ConverterState& state, int dataSet, const std::string& path) {
  state.itemCount = 0;
  state.undefinedIndex = -1;
  std::string bytes;
  if (!platform::ReadWholeFile(platform::ToNativePath(path), bytes)) {
    if (dataSet == kProgramDataSet) return true;  // the folder scan may still fill it
    state.ShowMessage(IDS_LOAD_FAILED);
    return false;
  }
  const std::string text = ToTextMode(std::move(bytes));
  int failure = 0;
  for (std::string_view piece : SplitPieces(text)) {
    if (piece.find("valstr") == std::string_view::npos) {
      if (dataSet == kDictionaryDataSet && state.itemCount > 0 &&
          piece.find("</RULE>") != std::string_view::npos) {
        break;
      }
      continue;
    }
    if (state.itemCount >= state.Capacity()) {
      // Storing fewer entries than the file holds would let a later
      // registration write the catalogue back with entries missing.
      failure = IDS_TOO_MANY_ITEMS;
      break;
    }
    VoiceItem& item = state.items[static_cast<std::size_t>(state.itemCount)];
    if (ReadEntryLine(piece, dataSet, item) == LineResult::Malformed) {
      failure = IDS_GRAMMAR_INVALID;
      break;
    }
    if (item.name == "UNDEFINE") state.undefinedIndex = state.itemCount;
    ++state.itemCount;
  }
  if (failure) {
    ClearItems(state, false);
    state.undefinedIndex = -1;
    state.ShowMessage(failure);
    return false;
  }
  return true;
}

void ClearItems(ConverterState& state, bool releaseArray) {
  for (int i = 0; i < state.itemCount; ++i) {
    VoiceItem& item = state.items[static_cast<std::size_t>(i)];
    item.name.reset();
    item.reading.reset();
    item.programPath.reset();
  }
  state.itemCount = 0;
  if (releaseArray) {
    state.items.clear();
    state.items.shrink_to_fit();
  }
}

void ScanProgramFolder(ConverterState& state) {
  ScanProgramFolderAt(state, state.ReadIniString("REMOTE", "PROGRAM_FOLDER", "."));
}

void ScanProgramFolderAt(ConverterState& state, const std::string& folder) {
  if (folder.size() + 6 > profile::kMaxValue) return;  // folder\*.TXA over the path limit

  std::vector<std::string> files;
  if (!platform::ListFiles(platform::ToNativePath(folder), ".TXA", files)) return;
  // The file system lists in no fixed order; name order keeps the list stable.
  std::sort(files.begin(), files.end());

  bool full = false;
  for (const std::string& file : files) {
    std::string base = file.substr(0, file.rfind('.'));
    auto begin = state.items.begin();
    auto end = begin + state.itemCount;
    auto found = std::find_if(begin, end, [&](const VoiceItem& v) { return v.name == base; });
    if (found != end) {
      found->flags = 1;
      continue;
    }
    std::string path = folder + "\\" + file;
    if (path.size() > profile::kMaxValue) continue;
    if (state.itemCount >= state.Capacity()) {
      // Marking needs no room, so the scan goes on; what found no room is said.
      full = true;
      continue;
    }
    VoiceItem& item = state.items[static_cast<std::size_t>(state.itemCount++)];
    item = VoiceItem{};
    item.name = base;
    item.programPath = path;
    item.flags = 1;
  }
  if (full) state.ShowMessage(IDS_TOO_MANY_ITEMS);
}

}  // namespace quorvel
