// A recogniser for tests: every step's result can be set, the session's
// grammar and states can be inspected, and recognitions are queued by hand
// (from any thread) instead of being heard. Grammar files are compiled by the
// real compiler, so file faults give the real result codes.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "speech/engine/engine.h"

namespace quorvel::speech {

struct ScriptedResults {
  HResult initialize = kOk;
  HResult createRecognizer = kOk;
  HResult createContext = kOk;
  HResult notify = kOk;
  HResult audioToken = kOk;
  HResult recoState = kOk;
  HResult createGrammar = kOk;
  HResult loadDictation = kOk;
  std::optional<HResult> loadCmd;  // unset: the compiler's result
  HResult ruleState = kOk;
  HResult dictationState = kOk;
};

// What the live session looks like from the recogniser's side.
struct ScriptedSession {
  bool listening = false;
  bool hasInput = false;
  bool notifies = false;
  std::uint64_t queuedInterest = 0;
  bool dictationLoaded = false;
  std::vector<std::string> loadedFiles;
  RuleState rules = RuleState::Inactive;
  RuleState dictation = RuleState::Inactive;
};

class ScriptedEngine : public Engine {
 public:
  ScriptedEngine();

  HResult Initialize() override;
  void Uninitialize() override;
  HResult CreateRecognizer(std::shared_ptr<Recognizer>& out) override;
  HResult GetDefaultAudioInputToken(std::shared_ptr<AudioToken>& out) override;

  struct Shared;
  ScriptedResults& results;  // shared with the sessions, which may outlive the engine
  int initializeCalls = 0;
  int uninitializeCalls = 0;

  // Models that load in the background: until FinishLoading, Ready() is
  // false and WhenReady waits.
  bool loading = false;
  void FinishLoading() {
    loading = false;
    auto ready = std::move(waiting);
    waiting.clear();
    for (auto& r : ready) r();
  }
  bool Ready() const override { return !loading; }
  void WhenReady(std::function<void()> ready) override {
    if (loading) waiting.push_back(std::move(ready));
    else ready();
  }
  void CancelWhenReady() override { waiting.clear(); }
  std::vector<std::function<void()>> waiting;

  // The state of the newest context that is still alive; nothing if none.
  std::optional<ScriptedSession> Session() const;
  // Queues a recognition on the live context; no text: GetText fails.
  // False when no context is alive.
  bool Hear(std::optional<std::string> utf8);

 private:
  explicit ScriptedEngine(std::shared_ptr<Shared> shared);
  std::shared_ptr<Shared> shared_;
};

}  // namespace quorvel::speech
