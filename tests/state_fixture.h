// A ConverterState whose INI file and instance lock live in a temporary
// folder, with a headless window attached for messages.
#pragma once
#include <memory>

#include "app/converter_state.h"
#include "test_util.h"
#include "ui/headless_host.h"

namespace quorvel::test {

struct StateFixture {
  TempDir dir;
  ui::HeadlessHost host;
  std::unique_ptr<ConverterState> state;

  std::string Ini() const { return dir / "Quorvel.ini"; }

  ConverterState& Make() {
    state = std::make_unique<ConverterState>(StateOptions{dir / "Quorvel", dir.path().string(), ""});
    state->mainWindow = &host;
    return *state;
  }
};

}  // namespace quorvel::test
