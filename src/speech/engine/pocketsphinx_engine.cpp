#include "speech/engine/pocketsphinx_engine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fsg_model.h>

#include "speech/engine/event_queue.h"
#include "speech/grammar/search_graph.h"
#include "speech/grammar/pronunciation.h"

namespace quorvel::speech {
namespace {

constexpr std::size_t kChunk = kSampleRate / 20;  // 50 ms per read
const char kCatalogueSearch[] = "catalogue";
constexpr std::chrono::milliseconds kSettle{200};
const char kRejectingSearch[] = "catalogue-or-other";

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One PocketSphinx decoder and the utterance it is in.
class Decoder {
 public:
  static std::unique_ptr<Decoder> Create(const SphinxOptions& o, bool languageModel) {
    std::string hmm = o.modelDir + "/en-us";
    std::string dict = o.modelDir + "/cmudict-en-us.dict";
    std::string lm = o.modelDir + "/en-us.lm.bin";
    std::string post = std::to_string(o.endSilenceFrames);
    cmd_ln_t* config =
        languageModel
            ? cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-dict", dict.c_str(),
                          "-lm", lm.c_str(), "-vad_postspeech", post.c_str(), "-dither", "yes",
                          "-seed", "1", "-logfn", "/dev/null", nullptr)
            : cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-dict", dict.c_str(),
                          "-vad_postspeech", post.c_str(), "-dither", "yes", "-seed", "1",
                          "-logfn", "/dev/null", nullptr);
    if (!config) return nullptr;
    ps_decoder_t* ps = ps_init(config);
    cmd_ln_free_r(config);
    if (!ps) return nullptr;
    auto d = std::unique_ptr<Decoder>(new Decoder);
    d->ps = ps;
    return d;
  }
  ~Decoder() { ps_free(ps); }

  struct Hypothesis {
    std::string text;
    int wordFrames = 0; // frames inside words, not silence or noise
    int frames = 0;
  };

  bool Start() {
    if (!open) open = ps_start_utt(ps) == 0;
    return open;
  }
  void Process(const std::int16_t* s, std::size_t n) {
    if (open) ps_process_raw(ps, s, n, FALSE, FALSE);
  }
  bool InSpeech() { return open && ps_get_in_speech(ps); }
  Hypothesis End() {
    Hypothesis h;
    if (!open) return h;
    open = false;
    if (ps_end_utt(ps) < 0) return h;
    std::int32_t score = 0;
    if (const char* hyp = ps_get_hyp(ps, &score)) h.text = hyp;
    h.frames = ps_get_n_frames(ps);
    for (ps_seg_t* seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
      const char* word = ps_seg_word(seg);
      int sf = 0, ef = 0;
      ps_seg_frames(seg, &sf, &ef);
      if (word && word[0] != '<' && word[0] != '[' && std::strcmp(word, "(NULL)") != 0)
        h.wordFrames += ef - sf + 1;
    }
    return h;
  }
  void Abort() {
    if (open) ps_end_utt(ps);
    open = false;
  }

  ps_decoder_t* ps = nullptr;
  bool open = false;
};

// Decoders outlive a session, so unchecking and checking the box again does
// not load the models again.
struct DecoderPool {
  std::mutex mutex;
  std::vector<std::unique_ptr<Decoder>> grammar, dictation;
  std::unique_ptr<Decoder> Take(const SphinxOptions& o, bool lm) {
    {
      std::lock_guard lock(mutex);
      auto& list = lm ? dictation : grammar;
      if (!list.empty()) {
        auto d = std::move(list.back());
        list.pop_back();
        return d;
      }
    }
    return Decoder::Create(o, lm);
  }
  void Give(std::unique_ptr<Decoder> d, bool lm) {
    if (!d) return;
    d->Abort();
    std::lock_guard lock(mutex);
    (lm ? dictation : grammar).push_back(std::move(d));
  }
};

std::atomic<int> gLoadCounter{0};

// The graph as a decoder search; its words must be in the dictionary.
bool SetGraphSearch(ps_decoder_t* ps, const char* name, const SearchGraph& graph) {
  logmath_t* lmath = ps_get_logmath(ps);
  float lw = cmd_ln_float32_r(ps_get_config(ps), "-lw");
  fsg_model_t* fsg = fsg_model_init(name, lmath, lw, graph.states);
  fsg->start_state = graph.start;
  fsg->final_state = graph.final;
  std::vector<int> wid;
  for (const auto& t : graph.tokens) wid.push_back(fsg_model_word_add(fsg, t.name.c_str()));
  glist_t nulls = nullptr;
  for (const auto& a : graph.arcs) {
    auto logp = static_cast<std::int32_t>(logmath_log(lmath, a.probability) * lw);
    if (a.token < 0) {
      if (fsg_model_null_trans_add(fsg, a.from, a.to, logp) == 1)
        nulls = glist_add_ptr(nulls, fsg_model_null_trans(fsg, a.from, a.to));
    } else {
      fsg_model_trans_add(fsg, a.from, a.to, logp, wid[static_cast<std::size_t>(a.token)]);
    }
  }
  nulls = fsg_model_null_trans_closure(fsg, nulls);
  glist_free(nulls);
  bool ok = ps_set_fsg(ps, name, fsg) >= 0;
  fsg_model_free(fsg);
  return ok;
}

}  // namespace

struct PocketSphinxEngine::Shared {
  SphinxOptions options;
  std::mutex mutex;
  int initialized = 0;
  std::shared_ptr<const Lexicon> lexicon;
  DecoderPool pool;
  SphinxStats stats;

  std::shared_ptr<const Lexicon> GetLexicon() {
    std::lock_guard lock(mutex);
    if (!lexicon) {
      auto l = std::make_shared<Lexicon>();
      l->Load(options.modelDir + "/cmudict-en-us.dict");
      lexicon = l;
    }
    return lexicon;
  }
};

namespace {

// The listening side of a session: input, worker, decoders and grammar.
class SphinxRecognizer {
 public:
  SphinxRecognizer(std::shared_ptr<PocketSphinxEngine::Shared> shared, std::unique_ptr<Decoder> g)
      : shared_(std::move(shared)), grammarDecoder_(std::move(g)) {}
  ~SphinxRecognizer() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      if (input_) input_->Cancel();
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
    shared_->pool.Give(std::move(grammarDecoder_), false);
    shared_->pool.Give(std::move(dictationDecoder_), true);
  }

  HResult SetInput(std::shared_ptr<AudioInput> input) {
    std::lock_guard lock(mutex_);
    if (worker_.joinable()) return kFail;  // the input is fixed once listening
    input_ = std::move(input);
    return kOk;
  }
  HResult SetRecoState(RecoState state) {
    std::lock_guard lock(mutex_);
    if (state == RecoState::Active && !input_) return kNoAudioDevice;
    listening_ = state == RecoState::Active;
    if (listening_ && !worker_.joinable()) worker_ = std::thread([this] { Work(); });
    if (!listening_) AbortUtterance();
    wake_.notify_all();
    return kOk;
  }

  HResult LoadDictation() {
    std::lock_guard lock(mutex_);
    if (!dictationDecoder_) dictationDecoder_ = shared_->pool.Take(shared_->options, true);
    return dictationDecoder_ ? kOk : kFail;
  }
  HResult LoadCmdFromFile(const std::string& path) {
    auto compiled = std::make_shared<CompiledGrammar>();
    HResult r = CompileGrammarFile(path, *compiled);
    if (Failed(r)) return r;
    auto lexicon = shared_->GetLexicon();
    std::string prefix = "q" + std::to_string(gLoadCounter++) + "_";
    SearchGraph graph = BuildSearchGraph(
        *compiled,
        [&](const std::string& lexical) { return Pronounce(lexical, *lexicon, EspeakPhones); },
        prefix);
    SearchGraph rejecting = WithFreePhones(graph, shared_->options.freeSounds);
    std::lock_guard lock(mutex_);
    AbortUtterance();
    ps_decoder_t* ps = grammarDecoder_->ps;
    for (const auto& t : rejecting.tokens)
      for (std::size_t v = 0; v < t.pronunciations.size(); ++v) {
        if (t.word < 0 && ps_lookup_word(ps, t.name.c_str())) continue;  // free phones stay
        std::string name = v == 0 ? t.name : t.name + "(" + std::to_string(v + 1) + ")";
        ps_add_word(ps, name.c_str(), t.pronunciations[v].c_str(), FALSE);
      }
    grammarReady_ = false;
    if (!graph.empty) {
      if (!SetGraphSearch(ps, kCatalogueSearch, graph) ||
          !SetGraphSearch(ps, kRejectingSearch, rejecting))
        return kFail;
      grammarReady_ = true;
    }
    grammar_ = compiled;
    lastChange_ = std::chrono::steady_clock::now();
    prefix_ = prefix;
    wake_.notify_all();
    return kOk;
  }
  HResult SetRuleState(RuleState s) {
    std::lock_guard lock(mutex_);
    AbortUtterance();
    rulesActive_ = s == RuleState::Active;
    lastChange_ = std::chrono::steady_clock::now();
    wake_.notify_all();
    return kOk;
  }
  HResult SetDictationState(RuleState s) {
    std::lock_guard lock(mutex_);
    if (s == RuleState::Active && !dictationDecoder_) return kFail;
    AbortUtterance();
    dictationActive_ = s == RuleState::Active;
    lastChange_ = std::chrono::steady_clock::now();
    wake_.notify_all();
    return kOk;
  }

  std::shared_ptr<EventQueue> queue = std::make_shared<EventQueue>();

 private:
  bool UsesGrammar() const { return rulesActive_ && grammarReady_; }
  bool UsesDictation() const { return dictationActive_ && dictationDecoder_; }
  Decoder* Primary() const { return UsesGrammar() ? grammarDecoder_.get() : dictationDecoder_.get(); }

  void AbortUtterance() {
    grammarDecoder_->Abort();
    if (dictationDecoder_) dictationDecoder_->Abort();
    speechSeen_ = false;
  }

  void Feed(const std::int16_t* s, std::size_t n) {
    double t0 = ThreadSeconds();
    bool g = UsesGrammar(), d = UsesDictation();
    if (g && !grammarDecoder_->open)
      ps_set_search(grammarDecoder_->ps, d ? kRejectingSearch : kCatalogueSearch);
    if (g) grammarDecoder_->Start();
    if (d) dictationDecoder_->Start();
    if (g) grammarDecoder_->Process(s, n);
    if (d) dictationDecoder_->Process(s, n);
    bool inSpeech = Primary()->InSpeech();
    if (inSpeech) speechSeen_ = true;
    else if (speechSeen_) FinishUtterance();
    std::lock_guard lock(shared_->mutex);
    shared_->stats.audioSamples += static_cast<long>(n);
    shared_->stats.decodeSeconds += ThreadSeconds() - t0;
  }

  // Ends the utterance in every decoder and queues what it came to.
  void FinishUtterance() {
    bool g = UsesGrammar() && grammarDecoder_->open;
    bool d = UsesDictation() && dictationDecoder_->open;
    bool heard = speechSeen_;
    speechSeen_ = false;
    Decoder::Hypothesis hg = g ? grammarDecoder_->End() : Decoder::Hypothesis{};
    Decoder::Hypothesis hd = d ? dictationDecoder_->End() : Decoder::Hypothesis{};
    if (!heard) return;
    std::string text;
    std::string shown = g ? DisplayOf(hg.text, *grammar_, prefix_) : "";
    if (g && d) {
      // The grammar's reading, unless the free phones beside it won, or the
      // grammar could place its words on clearly less of the speech than
      // the free decoding could: then the words were not in the grammar.
      bool outOfGrammar = shown.empty() || IsFreePhones(hg.text) ||
                          hg.wordFrames < shared_->options.coverage * hd.wordFrames;
      text = outOfGrammar ? hd.text : shown;
      if (shared_->options.trace)
        std::fprintf(stderr, "utterance: grammar \"%s\" (%s) %d/%d frames in words, free \"%s\" %d\n",
                     shown.c_str(), hg.text.c_str(), hg.wordFrames, hg.frames, hd.text.c_str(), hd.wordFrames);
    } else {
      text = g ? shown : hd.text;
    }
    {
      std::lock_guard lock(shared_->mutex);
      ++shared_->stats.utterances;
    }
    if (!text.empty()) queue->PushRecognition(std::make_shared<TextResult>(text));
  }

  void Work() {
    std::vector<std::int16_t> buffer(kChunk);
    bool started = false;
    std::shared_ptr<AudioInput> input;
    {
      std::lock_guard lock(mutex_);
      input = input_;
    }
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        // A recording waits for a grammar or dictation to hear it; the
        // microphone is read on, and its audio dropped meanwhile.
        wake_.wait(lock, [&] {
          return stop_ || (listening_ && (!input->IsRecording() || UsesGrammar() || UsesDictation()));
        });
        if (stop_) return;
        // A recording starts once the session has settled: the start sets
        // rules and dictation one after the other, and the first words must
        // not be heard by half a session.
        while (!started && input->IsRecording() && !stop_ &&
               std::chrono::steady_clock::now() - lastChange_ < kSettle)
          wake_.wait_until(lock, lastChange_ + kSettle);
        if (stop_) return;
        started = true;
      }
      long n = input->Read(buffer.data(), buffer.size());
      std::unique_lock lock(mutex_);
      if (stop_ || n < 0) return;
      if (n == 0) {
        FinishUtterance();
        lock.unlock();
        if (!input->Next()) {
          std::unique_lock idle(mutex_);
          wake_.wait(idle, [&] { return stop_; });
          return;
        }
        continue;
      }
      if (!listening_ || !(UsesGrammar() || UsesDictation())) {
        AbortUtterance();
        continue;
      }
      Feed(buffer.data(), static_cast<std::size_t>(n));
    }
  }

  std::shared_ptr<PocketSphinxEngine::Shared> shared_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread worker_;
  std::shared_ptr<AudioInput> input_;
  std::unique_ptr<Decoder> grammarDecoder_, dictationDecoder_;
  std::shared_ptr<const CompiledGrammar> grammar_;
  std::string prefix_;
  bool stop_ = false, listening_ = false, rulesActive_ = false, dictationActive_ = false;
  bool grammarReady_ = false, speechSeen_ = false;
  std::chrono::steady_clock::time_point lastChange_ = std::chrono::steady_clock::now();
};

class SphinxContext : public RecoContext, public std::enable_shared_from_this<SphinxContext> {
 public:
  explicit SphinxContext(std::shared_ptr<SphinxRecognizer> r) : recognizer(std::move(r)) {}
  HResult SetNotifyCallback(std::function<void()> notify) override {
    recognizer->queue->SetNotify(std::move(notify));
    return kOk;
  }
  HResult SetInterest(std::uint64_t e, std::uint64_t q) override {
    recognizer->queue->SetInterest(e, q);
    return kOk;
  }
  HResult CreateGrammar(std::uint64_t, std::shared_ptr<RecoGrammar>& out) override;
  HResult GetEvent(RecoEvent& event) override { return recognizer->queue->Pop(event); }

  std::shared_ptr<SphinxRecognizer> recognizer;
};

class SphinxGrammar : public RecoGrammar {
 public:
  explicit SphinxGrammar(std::shared_ptr<SphinxContext> c) : context_(std::move(c)) {}
  HResult LoadDictation() override { return R().LoadDictation(); }
  HResult LoadCmdFromFile(const std::string& path) override { return R().LoadCmdFromFile(path); }
  HResult SetRuleState(RuleState s) override { return R().SetRuleState(s); }
  HResult SetDictationState(RuleState s) override { return R().SetDictationState(s); }

 private:
  SphinxRecognizer& R() { return *context_->recognizer; }
  std::shared_ptr<SphinxContext> context_;
};

HResult SphinxContext::CreateGrammar(std::uint64_t, std::shared_ptr<RecoGrammar>& out) {
  out = std::make_shared<SphinxGrammar>(shared_from_this());
  return kOk;
}

// The recogniser as callers see it; its context keeps the listening side alive.
class SphinxRecognizerFront : public Recognizer {
 public:
  explicit SphinxRecognizerFront(std::shared_ptr<SphinxRecognizer> r) : r_(std::move(r)) {}
  HResult CreateRecoContext(std::shared_ptr<RecoContext>& out) override {
    out = std::make_shared<SphinxContext>(r_);
    return kOk;
  }
  HResult SetInput(std::shared_ptr<AudioInput> input, bool) override {
    return r_->SetInput(std::move(input));
  }
  HResult SetRecoState(RecoState s) override { return r_->SetRecoState(s); }

 private:
  std::shared_ptr<SphinxRecognizer> r_;
};

}  // namespace

PocketSphinxEngine::PocketSphinxEngine(SphinxOptions options) : shared_(std::make_shared<Shared>()) {
  shared_->options = std::move(options);
  err_set_logfp(nullptr);
}
PocketSphinxEngine::~PocketSphinxEngine() = default;

HResult PocketSphinxEngine::Initialize() {
  std::lock_guard lock(shared_->mutex);
  ++shared_->initialized;
  return kOk;
}

void PocketSphinxEngine::Uninitialize() {
  std::lock_guard lock(shared_->mutex);
  if (shared_->initialized > 0) --shared_->initialized;
}

HResult PocketSphinxEngine::CreateRecognizer(std::shared_ptr<Recognizer>& out) {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->initialized == 0) return kNotInitialized;
  }
  auto decoder = shared_->pool.Take(shared_->options, false);
  if (!decoder) return kFail;
  out = std::make_shared<SphinxRecognizerFront>(
      std::make_shared<SphinxRecognizer>(shared_, std::move(decoder)));
  return kOk;
}

HResult PocketSphinxEngine::GetDefaultAudioInputToken(std::shared_ptr<AudioToken>& out) {
  out = std::make_shared<DefaultAudioToken>(shared_->options.audioFiles, shared_->options.audioOptions);
  return kOk;
}

SphinxStats PocketSphinxEngine::Stats() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->stats;
}

}  // namespace quorvel::speech
