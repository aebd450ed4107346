#include "speech/engine/scripted_engine.h"

#include <mutex>

#include "speech/engine/event_queue.h"
#include "speech/grammar/grammar.h"

namespace quorvel::speech {

class ScriptedContext;

struct ScriptedEngine::Shared {
  ScriptedResults resultsStore;
  ScriptedResults* results = &resultsStore;
  std::mutex mutex;
  std::weak_ptr<ScriptedContext> live;
};

namespace {

class NullInput : public AudioInput {
 public:
  long Read(std::int16_t*, std::size_t) override { return -1; }
  void Cancel() override {}
};

class ScriptedToken : public AudioToken {
 public:
  HResult CreateInstance(std::shared_ptr<AudioInput>& out) override {
    out = std::make_shared<NullInput>();
    return kOk;
  }
};

}  // namespace

class ScriptedContext : public RecoContext, public std::enable_shared_from_this<ScriptedContext> {
 public:
  ScriptedContext(std::shared_ptr<ScriptedEngine::Shared> shared, std::shared_ptr<Recognizer> reco)
      : shared_(std::move(shared)), recognizer_(std::move(reco)) {}
  HResult SetNotifyCallback(std::function<void()> notify) override {
    if (notify && Failed(shared_->results->notify)) return shared_->results->notify;
    session.notifies = static_cast<bool>(notify);
    queue.SetNotify(std::move(notify));
    return kOk;
  }
  HResult SetInterest(std::uint64_t e, std::uint64_t q) override {
    session.queuedInterest = q;
    queue.SetInterest(e, q);
    return kOk;
  }
  HResult CreateGrammar(std::uint64_t, std::shared_ptr<RecoGrammar>& out) override;
  HResult GetEvent(RecoEvent& event) override { return queue.Pop(event); }

  std::shared_ptr<ScriptedEngine::Shared> shared_;
  std::shared_ptr<Recognizer> recognizer_;
  EventQueue queue;
  ScriptedSession session;
};

namespace {

class ScriptedGrammar : public RecoGrammar {
 public:
  explicit ScriptedGrammar(std::shared_ptr<ScriptedContext> ctx) : ctx_(std::move(ctx)) {}
  ScriptedResults& R() { return *ctx_->shared_->results; }
  HResult LoadDictation() override {
    if (Failed(R().loadDictation)) return R().loadDictation;
    ctx_->session.dictationLoaded = true;
    return kOk;
  }
  HResult LoadCmdFromFile(const std::string& path) override {
    CompiledGrammar compiled;
    HResult r = R().loadCmd ? *R().loadCmd : CompileGrammarFile(path, compiled);
    if (!Failed(r)) ctx_->session.loadedFiles.push_back(path);
    return r;
  }
  HResult SetRuleState(RuleState s) override {
    if (Failed(R().ruleState)) return R().ruleState;
    ctx_->session.rules = s;
    return kOk;
  }
  HResult SetDictationState(RuleState s) override {
    if (Failed(R().dictationState)) return R().dictationState;
    ctx_->session.dictation = s;
    return kOk;
  }

 private:
  std::shared_ptr<ScriptedContext> ctx_;
};

class ScriptedRecognizer : public Recognizer, public std::enable_shared_from_this<ScriptedRecognizer> {
 public:
  explicit ScriptedRecognizer(std::shared_ptr<ScriptedEngine::Shared> shared) : shared_(std::move(shared)) {}
  HResult CreateRecoContext(std::shared_ptr<RecoContext>& out) override {
    if (Failed(shared_->results->createContext)) return shared_->results->createContext;
    auto ctx = std::make_shared<ScriptedContext>(shared_, shared_from_this());
    {
      std::lock_guard lock(shared_->mutex);
      shared_->live = ctx;
    }
    context_ = ctx;
    out = ctx;
    return kOk;
  }
  HResult SetInput(std::shared_ptr<AudioInput> input, bool) override {
    if (auto c = context_.lock()) c->session.hasInput = static_cast<bool>(input);
    return kOk;
  }
  HResult SetRecoState(RecoState s) override {
    if (Failed(shared_->results->recoState)) return shared_->results->recoState;
    if (auto c = context_.lock()) c->session.listening = s == RecoState::Active;
    return kOk;
  }

 private:
  std::shared_ptr<ScriptedEngine::Shared> shared_;
  std::weak_ptr<ScriptedContext> context_;
};

}  // namespace

HResult ScriptedContext::CreateGrammar(std::uint64_t, std::shared_ptr<RecoGrammar>& out) {
  if (Failed(shared_->results->createGrammar)) return shared_->results->createGrammar;
  out = std::make_shared<ScriptedGrammar>(shared_from_this());
  return kOk;
}

ScriptedEngine::ScriptedEngine() : ScriptedEngine(std::make_shared<Shared>()) {}
ScriptedEngine::ScriptedEngine(std::shared_ptr<Shared> shared)
    : results(shared->resultsStore), shared_(std::move(shared)) {}

HResult ScriptedEngine::Initialize() {
  ++initializeCalls;
  return results.initialize;
}
void ScriptedEngine::Uninitialize() { ++uninitializeCalls; }

HResult ScriptedEngine::CreateRecognizer(std::shared_ptr<Recognizer>& out) {
  if (Failed(results.createRecognizer)) return results.createRecognizer;
  out = std::make_shared<ScriptedRecognizer>(shared_);
  return kOk;
}

HResult ScriptedEngine::GetDefaultAudioInputToken(std::shared_ptr<AudioToken>& out) {
  if (Failed(results.audioToken)) return results.audioToken;
  out = std::make_shared<ScriptedToken>();
  return kOk;
}

std::optional<ScriptedSession> ScriptedEngine::Session() const {
  std::lock_guard lock(shared_->mutex);
  auto c = shared_->live.lock();
  if (!c) return std::nullopt;
  return c->session;
}

bool ScriptedEngine::Hear(std::optional<std::string> utf8) {
  std::shared_ptr<ScriptedContext> c;
  {
    std::lock_guard lock(shared_->mutex);
    c = shared_->live.lock();
  }
  if (!c) return false;
  c->queue.PushRecognition(std::make_shared<TextResult>(std::move(utf8)));
  return true;
}

}  // namespace quorvel::speech
