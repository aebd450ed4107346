// Figures for one delivery: the whole local send (INI volume read, record,
// locked write with fsync into a card folder) and building an upload body.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/controls.h"
#include "app/converter_state.h"
#include "robot/flashair.h"
#include "robot/local_transport.h"
#include "robot/sending.h"
#include "ui/headless_host.h"

namespace {

using namespace quorvel;

void BM_TypedSendLocal(benchmark::State& st) {
  char tmpl[] = "/tmp/quorvel-bench-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::filesystem::create_directories(dir + "/card/ADDON");
  std::ofstream(dir + "/card/ADDON/REMOTE.LOG").close();
  std::ofstream(dir + "/Quorvel.ini") << "[SOUND]\r\nDEFAULT=50\r\n";
  ConverterState state(StateOptions{dir + "/Quorvel", dir, "", nullptr});
  ui::HeadlessHost host;
  state.mainWindow = &host;
  state.remoteDir = dir + "/card/";
  host.SetControlText(ctl::kSendEdit, st.range(0) ? "3+4" : "123");
  for (auto _ : st) benchmark::DoNotOptimize(SendSelection(state, true));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_TypedSendLocal)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_BuildUploadBody(benchmark::State& st) {
  const std::string data(static_cast<std::size_t>(st.range(0)), 'x');
  for (auto _ : st) benchmark::DoNotOptimize(BuildUploadBody("TEMP.TXA", data));
  st.SetBytesProcessed(st.iterations() * st.range(0));
}
BENCHMARK(BM_BuildUploadBody)->Arg(16)->Arg(64 << 10);

}  // namespace
