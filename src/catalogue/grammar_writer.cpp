#include "catalogue/grammar_writer.h"

#include "app/controls.h"
#include "app/converter_state.h"
#include "app/main_list.h"
#include "app/strings.h"
#include "catalogue/voice_item.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/sjis.h"
#include "speech/recognizer.h"

namespace quorvel {
namespace {

constexpr std::size_t kLoaderPiece = 255;  // bytes the loader takes per read, LF included
constexpr std::size_t kMaxReading = 63;

std::string ListName(int dataSet) {
  std::string name = CatalogueFileName(dataSet);
  if (name.rfind(".\\", 0) == 0) name.erase(0, 2);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

std::string EntryLine(int dataSet, const VoiceItem& item) {
  const std::string name = item.name.value_or("");
  const std::string reading = item.reading.value_or(kUnregisteredReading);
  std::string value;
  if (dataSet == kProgramDataSet) {
    value = item.programPath.value_or("");
  } else {
    value = std::to_string(item.voiceId) + "," + std::to_string(item.duration);
    if (item.flags != 0) value += "," + std::to_string(static_cast<unsigned>(item.flags));
  }
  return "    <P valstr=\"" + value + "\">/" + name + "/" + reading + ";</P>";
}

}  // namespace

std::optional<std::string> FormatGrammarFile(int dataSet, const ConverterState& state) {
  if (!CatalogueFileName(dataSet)) return std::nullopt;
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?>\r\n";
  out += "<GRAMMAR>\r\n";
  out += "  <RULE name=\"Quorvel\" toplevel=\"ACTIVE\">\r\n";
  out += "    <L>\r\n";
  out += "      <P>\r\n";
  out += "        <RULEREF name=\"TEMMO\"/>\r\n";
  out += "      </P>\r\n";
  out += "    </L>\r\n";
  out += "  </RULE>\r\n";
  out += "  <RULE name=\"TEMMO\" toplevel=\"INACTIVE\">\r\n";
  out += "   <L propname=\"" + ListName(dataSet) + "\">\r\n";
  for (int i = 0; i < state.itemCount; ++i) {
    std::string line = EntryLine(dataSet, state.items[static_cast<std::size_t>(i)]);
    if (line.size() + 1 > kLoaderPiece) return std::nullopt;
    out += line + "\r\n";
  }
  out += "    </L>\r\n";
  out += "    </RULE>\r\n";
  out += "</GRAMMAR>\r\n";
  return out;
}

bool WriteGrammarFile(int dataSet, ConverterState& state) {
  auto bytes = FormatGrammarFile(dataSet, state);
  if (!bytes || platform::RewriteFile(platform::ToNativePath(CatalogueFileName(dataSet)),
                                      [&](const std::string&) { return bytes; }) != 0) {
    state.ShowMessage(IDS_WRITE_FAILED);
    return false;
  }
  if (!state.generalDictation) ReloadGrammar(state, false);
  return true;
}

void RegisterWord(ConverterState& state) {
  ui::DialogHost* w = state.mainWindow;
  if (!w) return;
  int sel = w->ListSelection(ctl::kList);
  if (sel < 0) {
    state.ShowMessage(IDS_SELECT_ITEM);
    return;
  }
  std::string text(sjis::TruncateAtChar(w->ListText(ctl::kList, sel), 255));
  int index = FindItemByName(state, text);
  if (index < 0) {
    w->SetControlText(ctl::kReadingEdit, "");
    w->ListSelect(ctl::kList, -1);
    return;
  }
  std::string reading(sjis::TruncateAtChar(w->GetControlText(ctl::kReadingEdit), kMaxReading));
  if (reading.empty()) {
    state.ShowMessage(IDS_NO_READING);
    return;
  }
  if (state.ShowMessage(IDS_CONFIRM_REPLACE, LoadString(IDS_CONFIRM_REPLACE), ui::Icon::Question,
                        ui::Buttons::YesNo) != ui::Answer::Yes)
    return;
  state.items[static_cast<std::size_t>(index)].reading = reading;
  WriteGrammarFile(state.dataSet, state);
  w->SetControlText(ctl::kReadingEdit, "");
  w->ListSelect(ctl::kList, -1);
}

}  // namespace quorvel
