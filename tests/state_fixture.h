// A ConverterState whose INI file and instance lock live in a temporary
// folder, with a headless window attached for messages.
#pragma once
#include <memory>
#include <vector>

#include "app/converter_state.h"
#include "speech/engine/scripted_engine.h"
#include "test_util.h"
#include "ui/headless_host.h"

namespace quorvel::test {

struct StateFixture {
  TempDir dir;
  ui::HeadlessHost host;
  std::unique_ptr<ConverterState> state;
  // A recogniser that accepts any file, so a start-up with recognition on
  // says nothing unless a test asks it to.
  std::shared_ptr<speech::ScriptedEngine> engine = [] {
    auto e = std::make_shared<speech::ScriptedEngine>();
    e->results.loadCmd = speech::kOk;
    return e;
  }();

  std::string Ini() const { return dir / "Quorvel.ini"; }
  // The string ids of the messages shown so far, in order.
  std::vector<int> Ids() const {
    std::vector<int> ids;
    for (const auto& m : host.messages) ids.push_back(m.stringId);
    return ids;
  }

  ConverterState& Make() {
    state = std::make_unique<ConverterState>(StateOptions{dir / "Quorvel", dir.path().string(), "", nullptr});
    state->mainWindow = &host;
    state->speechEngine = engine;
    return *state;
  }
};

}  // namespace quorvel::test
