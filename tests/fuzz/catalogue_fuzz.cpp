// The catalogue loader on any bytes, in every data set; a catalogue that
// loads and that the grammar writer can write loads back the same entries.
#include <cstdint>
#include <memory>
#include <vector>

#include "app/converter_state.h"
#include "app/strings.h"
#include "catalogue/catalogue.h"
#include "catalogue/grammar_writer.h"
#include "fuzz_util.h"
#include "ui/headless_host.h"

using namespace quorvel;

namespace {

struct Env {
  ui::HeadlessHost host;
  std::unique_ptr<ConverterState> state;
  Env() {
    char dir[] = "/tmp/quorvel-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(dir));
    state = std::make_unique<ConverterState>(StateOptions{std::string(dir) + "/Quorvel", dir, "", nullptr});
    state->mainWindow = &host;
  }
};

bool SameEntry(const VoiceItem& a, const VoiceItem& b, bool program) {
  return a.name == b.name && a.reading == b.reading && a.programPath == b.programPath &&
         a.voiceId == b.voiceId && a.duration == b.duration && (program ? b.flags == 0 : a.flags == b.flags);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static Env env;
  ConverterState& s = *env.state;
  const int dataSet = data[0] % kDataSetCount;
  s.dataSet = dataSet;
  ClearItems(s, false);
  env.host.messages.clear();
  const std::string path = fuzz::InputFile(std::string(data + 1, data + size));
  if (!LoadCatalogueFile(s, dataSet, path)) {
    FUZZ_CHECK(s.itemCount == 0 && s.undefinedIndex == -1);
    FUZZ_CHECK(env.host.messages.size() == 1);
    int id = env.host.messages[0].stringId;
    FUZZ_CHECK(id == IDS_GRAMMAR_INVALID || id == IDS_TOO_MANY_ITEMS);
    return 0;
  }
  FUZZ_CHECK(env.host.messages.empty());
  FUZZ_CHECK(s.itemCount >= 0 && s.itemCount <= s.Capacity());
  int lastUndefine = -1;
  for (int i = 0; i < s.itemCount; ++i)
    if (s.items[static_cast<std::size_t>(i)].name == "UNDEFINE") lastUndefine = i;
  FUZZ_CHECK(s.undefinedIndex == lastUndefine);

  // The user dictionary has no file of its own; its lines are those of data set 0.
  const int written = dataSet == kDictionaryDataSet ? 0 : dataSet;
  auto text = FormatGrammarFile(written, s);
  if (!text) return 0;  // a line the loader could not take back in one piece
  std::vector<VoiceItem> before(s.items.begin(), s.items.begin() + s.itemCount);
  ClearItems(s, false);
  FUZZ_CHECK(LoadCatalogueFile(s, dataSet, fuzz::InputFile(*text)));
  FUZZ_CHECK(static_cast<std::size_t>(s.itemCount) == before.size());
  for (std::size_t i = 0; i < before.size(); ++i)
    FUZZ_CHECK(SameEntry(before[i], s.items[i], dataSet == kProgramDataSet));
  return 0;
}
