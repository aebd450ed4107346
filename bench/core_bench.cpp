// Figures for the operations on the path of every switch and every send:
// loading a full catalogue, parsing arithmetic, building a record.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/converter_state.h"
#include "catalogue/catalogue.h"
#include "robot/command_record.h"
#include "speech/arithmetic.h"

namespace {

using namespace quorvel;

void BM_LoadCatalogue(benchmark::State& st) {
  const auto entries = static_cast<int>(st.range(0));
  char tmpl[] = "/tmp/quorvel-bench-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  const std::string path = dir + "/cat.xml";
  {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?>\r\n<GRAMMAR>\r\n";
    for (int i = 0; i < entries; ++i) {
      out << "    <P valstr=\"" << i << ",3,1\">/\x83\x65\x83\x82" << i
          << "/\x82\xC4\x82\xE0;</P>\r\n";
    }
    out << "</GRAMMAR>\r\n";
  }
  ConverterState state(StateOptions{dir + "/Quorvel", dir, "", nullptr});
  state.items.assign(static_cast<std::size_t>(entries), VoiceItem{});
  for (auto _ : st) {
    ClearItems(state, false);
    benchmark::DoNotOptimize(LoadCatalogueFile(state, 0, path));
  }
  st.SetItemsProcessed(st.iterations() * entries);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadCatalogue)->Arg(800)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_ParseArithmetic(benchmark::State& st) {
  const std::string text = "12\x82\xA9\x82\xAF\x82\xE9" "300";  // 12かける300
  ArithmeticExpr e;
  for (auto _ : st) benchmark::DoNotOptimize(ParseArithmetic(text, e));
}
BENCHMARK(BM_ParseArithmetic);

void BM_MakeVoiceCommand(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(MakeVoiceCommand(123, 3, 50, 2, 1000));
}
BENCHMARK(BM_MakeVoiceCommand);

}  // namespace
