#include "speech/engine/pocketsphinx_engine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <thread>
#include <type_traits>

#include <unistd.h>

#include <pocketsphinx.h>
#include <speex/speex_preprocess.h>
#include <speex/speex_resampler.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fe.h>
#include <sphinxbase/feat.h>
#include <sphinxbase/fsg_model.h>
#include <sphinxbase/ngram_model.h>

#include "speech/engine/event_queue.h"
#include "speech/engine/speaker_adaptation.h"
#include "speech/engine/speaking_pace.h"
#include "speech/grammar/search_graph.h"
#include "speech/grammar/pronunciation.h"

namespace quorvel::speech {
namespace {

constexpr std::size_t kChunk = kSampleRate / 20;  // 50 ms per read
const char kCatalogueSearch[] = "catalogue";
constexpr std::chrono::milliseconds kSettle{200};

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// What a decoder is for: the catalogue grammar (also as a shorter voice
// and the shortest hear it), the free model of other speech it is weighed
// against, or dictation.
enum class DecoderKind { Grammar, Free, Dictation, ShorterGrammar, ShortestGrammar };
constexpr int kDecoderKinds = 5;

// How much slower a decoder of this kind hears the sound (1: as it is).
double WarpOf(const SphinxOptions& o, DecoderKind kind) {
  if (kind == DecoderKind::ShorterGrammar) return o.shorterVoiceWarp;
  if (kind == DecoderKind::ShortestGrammar) return o.shortestVoiceWarp;
  return 1.0;
}
// Whether a session has a decoder of this kind: each slower voice's only
// when it is slower than the one before it.
bool RungWanted(const SphinxOptions& o, DecoderKind kind) {
  if (kind == DecoderKind::ShorterGrammar) return o.shorterVoiceWarp > 1.0;
  if (kind == DecoderKind::ShortestGrammar)
    return RungWanted(o, DecoderKind::ShorterGrammar) && o.shortestVoiceWarp > o.shorterVoiceWarp;
  return true;
}

const char kFreeEnglish[] = "free-english";
const char kFreeJapanese[] = "free-japanese";
const char kNoiseWord[] = "qnoise";
const char kMoraPrefix[] = "qm_";
const char kPhonePrefix[] = "qp_";
const char* const kEnglishPhones[] = {
    "AA", "AE", "AH", "AO", "AW", "AY", "B", "CH", "D", "DH", "EH", "ER", "EY",
    "F", "G", "HH", "IH", "IY", "JH", "K", "L", "M", "N", "NG", "OW", "OY", "P",
    "R", "S", "SH", "T", "TH", "UH", "UW", "V", "W", "Y", "Z", "ZH"};

bool SetGraphSearch(ps_decoder_t* ps, const char* name, const SearchGraph& graph);

// Steady noise taken out of the microphone's sound before the decoders hear
// it: a fan, a hum, a room's hiss. The noise is learnt from the sound
// itself, all the time, so it follows the room as it changes.
class Denoiser {
 public:
  explicit Denoiser(int suppressDb) : state_(speex_preprocess_state_init(kFrame, kSampleRate)) {
    int on = 1, off = 0;
    speex_preprocess_ctl(state_, SPEEX_PREPROCESS_SET_DENOISE, &on);
    speex_preprocess_ctl(state_, SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, &suppressDb);
    speex_preprocess_ctl(state_, SPEEX_PREPROCESS_SET_AGC, &off);
  }
  ~Denoiser() { speex_preprocess_state_destroy(state_); }
  Denoiser(const Denoiser&) = delete;
  Denoiser& operator=(const Denoiser&) = delete;

  // The cleaned sound of whole 10 ms frames so far; the rest of a frame
  // waits for the next samples.
  const std::vector<std::int16_t>& Run(const std::int16_t* s, std::size_t n) {
    pending_.insert(pending_.end(), s, s + n);
    const std::size_t whole = pending_.size() / kFrame * kFrame;
    out_.assign(pending_.begin(), pending_.begin() + static_cast<long>(whole));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(whole));
    for (std::size_t i = 0; i < whole; i += kFrame) speex_preprocess_run(state_, out_.data() + i);
    return out_;
  }

 private:
  static constexpr int kFrame = kSampleRate / 100;
  SpeexPreprocessState* state_;
  std::vector<std::int16_t> pending_, out_;
};

// The level of the sound against the room's own: a frame is loud when it
// rises clearly above the level the room keeps when nobody speaks to the
// robot. Other voices in the room (a television) raise that level too, so
// the words said to the robot stand out of them where the decoders' voice
// detection hears one endless speech.
class LevelGate {
 public:
  void Hear(const std::int16_t* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      power_ += static_cast<double>(s[i]) * s[i];
      if (++filled_ < kFrame) continue;
      Frame(10 * std::log10(power_ / kFrame + 1));
      power_ = 0;
      filled_ = 0;
    }
  }
  // A run of loud frames since Forget: someone spoke over the room.
  bool Opened() const { return opened_; }
  // Frames since the last loud one.
  int QuietFrames() const { return quiet_; }
  void Forget() {
    opened_ = loudRun_ >= kOpenFrames;
    openPower_ = 0;
    openFrames_ = riseRun_ = 0;
    rose_ = risen_ = talking_ = false;
  }
  // Words rose well above the sound that opened the gate, after that sound
  // had gone on a while: it may have been the room's (other voices that
  // started up just before them), not the words' own start.
  bool Rose() const { return rose_; }
  // It was other voices': the words are what rises above them, for the
  // rest of the utterance.
  void TakeRise() {
    talk_ = lower_;
    rose_ = false;
    risen_ = talking_ = true;
    talkQuiet_ = talkRun_ = 0;
  }
  // Other voices talk under this utterance's words (since TakeRise), and
  // the frames since the words last rose above them, or how many loud
  // frames in a row they have now.
  bool UnderTalk() const { return talking_; }
  int QuietOverTalk() const { return talkQuiet_; }
  bool RisingOverTalk() const { return talkRun_ >= kOpenFrames; }
  // It was the words' own start, or steady noise: nothing changes.
  void KeepRise() {
    rose_ = false;
    risen_ = true;
  }
  // The room is louder than it has been at its quietest: something in it
  // (a television, a fan) makes sound of its own.
  bool RoomRaised() const { return started_ && room_ > floor_ + kLoudDb; }

 private:
  void Frame(double db) {
    // Digital silence (a virtual source, the start of a recording) is no
    // room: it counts as the faintest hiss a microphone gives.
    db = std::max(db, kFaintestDb);
    if (!started_) room_ = floor_ = db, started_ = true;
    const bool loud = db > room_ + kLoudDb;
    if (opened_ && !risen_) {
      // The power of the sound since the gate opened, not its mean level in
      // dB: the quiet of a closure inside a word does not pull it down.
      const double since = openFrames_ > 0 ? 10 * std::log10(openPower_ / openFrames_) : db;
      const bool above = openFrames_ >= kRiseAfterFrames && db > since + kLoudDb;
      riseRun_ = above ? riseRun_ + 1 : 0;
      if (riseRun_ >= kOpenFrames) rose_ = true, lower_ = since;
      if (!above) openPower_ += std::pow(10.0, db / 10), ++openFrames_;
    }
    // The room's level follows quieter sound within a fraction of a second
    // and loud sound only over seconds, so words do not raise it much; but
    // sound loud without a break for longer than a phrase is the room's own
    // (a television switched on), and it follows that as fast. It waits
    // longer than a sentence said over a talking room lasts: followed after
    // a phrase's length, such a sentence was cut in two, and its tail, as
    // short as a command, was taken for one.
    loudRun_ = loud ? loudRun_ + 1 : 0;
    room_ += (db - room_) * (loud && loudRun_ < kSteadyFrames ? 0.002 : 0.05);
    floor_ = std::min(floor_, room_);
    if (talking_) {
      const bool over = db > talk_ + kLoudDb;
      talkRun_ = over ? talkRun_ + 1 : 0;
      talkQuiet_ = over ? 0 : talkQuiet_ + 1;
    }
    quiet_ = loud ? 0 : quiet_ + 1;
    if (loudRun_ >= kOpenFrames) opened_ = true;
  }
  static constexpr std::size_t kFrame = kSampleRate / 100;
  static constexpr double kLoudDb = 10, kFaintestDb = 20;
  static constexpr int kOpenFrames = 3, kSteadyFrames = 250, kRiseAfterFrames = 30;
  double power_ = 0, room_ = 0, floor_ = 0, openPower_ = 0, lower_ = 0, talk_ = 0;
  std::size_t filled_ = 0;
  int loudRun_ = 0, quiet_ = 0, openFrames_ = 0, riseRun_ = 0, talkQuiet_ = 0, talkRun_ = 0;
  bool opened_ = false, started_ = false, rose_ = false, risen_ = false, talking_ = false;
};

// One PocketSphinx decoder and the utterance it is in.
class Decoder {
 public:
  static std::unique_ptr<Decoder> Create(const SphinxOptions& o, DecoderKind kind) {
    std::string hmm = o.modelDir + "/en-us";
    std::string dict = o.modelDir + "/cmudict-en-us.dict";
    std::string lm = o.modelDir + "/en-us.lm.bin";
    std::string post = std::to_string(o.endSilenceFrames), vad = std::to_string(o.vadThreshold);
    std::vector<const char*> args = {"-hmm", hmm.c_str(), "-vad_postspeech", post.c_str(), "-vad_threshold",
                                     vad.c_str(), "-dither", "no", "-logfn", "/dev/null"};
    // The grammar's and the free model's words are given to the decoder
    // with their phones; only dictation reads the model's dictionary (some
    // 130,000 words, long to read and to index at every start).
    if (kind == DecoderKind::Dictation) args.insert(args.end(), {"-dict", dict.c_str()});
    // The grammar and the free model score every senone in every frame, so
    // their acoustic scores are normalised alike and can be compared.
    if (kind != DecoderKind::Dictation) args.insert(args.end(), {"-compallsen", "yes"});
    // Dictation's words are only shown, and beside the grammar it hears
    // just what the grammar turned away: it keeps the likeliest few thousand
    // sounds and ten words a frame, not the model's tens of thousands, so
    // that an answer to other speech does not wait on it (in a talking room
    // it took longer than the speech itself).
    if (kind == DecoderKind::Dictation)
      args.insert(args.end(), {"-lm", lm.c_str(), "-maxhmmpf", "3000", "-maxwpf", "10"});
    // The library keeps one warp for the whole process: every decoder has it.
    const std::string warp = std::to_string(o.frequencyWarp);
    if (o.frequencyWarp != 1.0) args.insert(args.end(), {"-warp_type", "inverse_linear", "-warp_params", warp.c_str()});
    const bool grammar = kind == DecoderKind::Grammar || kind == DecoderKind::ShorterGrammar ||
                         kind == DecoderKind::ShortestGrammar;
    const std::string pip = std::to_string(o.grammarPhoneWeight), topn = std::to_string(o.grammarGaussians);
    if (grammar) {
      // A catalogue's search is small, so it can afford wider beams than
      // the model's defaults: fewer right phrases pruned in noise.
      args.insert(args.end(), {"-pip", pip.c_str(), "-topn", topn.c_str(), "-beam", "1e-60", "-pbeam", "1e-60",
                               "-wbeam", "1e-40"});
      // A name given again replaces the value above (the parser refuses repeats).
      for (std::size_t i = 0; i + 1 < o.decoderArgs.size(); i += 2) {
        auto same = std::find_if(args.begin(), args.end(), [&](const char* a) { return o.decoderArgs[i] == a; });
        if (same != args.end()) *(same + 1) = o.decoderArgs[i + 1].c_str();
        else args.insert(args.end(), {o.decoderArgs[i].c_str(), o.decoderArgs[i + 1].c_str()});
      }
    }
    cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), static_cast<int>(args.size()),
                                      const_cast<char**>(args.data()), TRUE);
    if (!config) return nullptr;
    ps_decoder_t* ps = ps_init(config);
    cmd_ln_free_r(config);
    if (!ps) return nullptr;
    auto d = std::unique_ptr<Decoder>(new Decoder);
    d->ps = ps;
    const double slowBy = kind == DecoderKind::Free ? o.shorterVoiceWarp : WarpOf(o, kind);
    if (slowBy > 1.0) {
      // Played slower by the warp, the sound's frequencies all come down by
      // it: a shorter voice, heard as a longer one. Its frames grow alike,
      // so a score per frame still compares. The free model hears it as
      // slowly as the voice whose readings the session takes.
      int err = 0;
      d->stretch_ = speex_resampler_init(1, kSampleRate, static_cast<spx_uint32_t>(kSampleRate * slowBy),
                                         SPEEX_RESAMPLER_QUALITY_DEFAULT, &err);
      if (!d->stretch_) return nullptr;
      d->stretchBy_ = slowBy;
      d->slowed_ = kind != DecoderKind::Free;
    }
    if (kind == DecoderKind::Free && !d->SetFreeModels(o)) return nullptr;
    return d;
  }
  ~Decoder() {
    ps_free(ps);
    if (stretch_) speex_resampler_destroy(stretch_);
    if (features_) fe_free(features_);
  }

  // The features this decoder heard the audio as: played as slowly as it
  // hears, through its mean of the microphone's sound, with their changes.
  std::vector<PhoneModels::Frame> Features(const std::vector<std::int16_t>& audio) {
    std::vector<PhoneModels::Frame> out;
    if (!features_) features_ = fe_init_auto_r(ps_get_config(ps));
    if (!features_ || fe_get_output_size(features_) != PhoneModels::kWidth) return out;
    std::vector<std::int16_t> sound = audio;
    if (stretch_ && stretchBy_ > 1.0) {
      int err = 0;
      SpeexResamplerState* slow = speex_resampler_init(1, kSampleRate, static_cast<spx_uint32_t>(kSampleRate * stretchBy_),
                                                       SPEEX_RESAMPLER_QUALITY_DEFAULT, &err);
      if (!slow) return out;
      sound.resize(static_cast<std::size_t>(static_cast<double>(audio.size()) * stretchBy_) + 64);
      auto inLen = static_cast<spx_uint32_t>(audio.size()), outLen = static_cast<spx_uint32_t>(sound.size());
      speex_resampler_process_int(slow, 0, audio.data(), &inLen, sound.data(), &outLen);
      speex_resampler_destroy(slow);
      sound.resize(outLen);
    }
    std::minstd_rand dither{1};  // as Process does, without moving its own generator
    for (auto& v : sound)
      if (v < 32767 && dither() % 4 == 0) ++v;
    fe_start_utt(features_);
    const int16* p = sound.data();
    std::size_t n = sound.size();
    int32 most = 0;
    fe_process_frames(features_, &p, &n, nullptr, &most, nullptr);
    most += 2;
    auto** cep = static_cast<mfcc_t**>(ckd_calloc_2d(static_cast<std::size_t>(most), PhoneModels::kWidth, sizeof(mfcc_t)));
    int32 got = most;
    fe_process_frames(features_, &p, &n, cep, &got, nullptr);
    int32 last = 0;
    fe_end_utt(features_, cep[std::min(got, most - 1)], &last);
    got = std::min(got + last, most);
    const cmn_t& c = Channel();
    std::vector<std::array<float, PhoneModels::kWidth>> ceps(static_cast<std::size_t>(got));
    for (int32 t = 0; t < got; ++t)
      for (int i = 0; i < PhoneModels::kWidth; ++i)
        ceps[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)] = cep[t][i] - c.cmn_mean[i];
    ckd_free_2d(cep);
    // The cepstra, their change over two frames each side, and the change
    // of that change, as the model was trained on.
    auto at = [&](long t) -> const std::array<float, PhoneModels::kWidth>& {
      return ceps[static_cast<std::size_t>(std::clamp(t, 0L, static_cast<long>(got) - 1))];
    };
    for (long t = 0; t < got; ++t) {
      PhoneModels::Frame f{};
      for (std::size_t i = 0; i < PhoneModels::kWidth; ++i) {
        f[i] = at(t)[i];
        f[i + PhoneModels::kWidth] = at(t + 2)[i] - at(t - 2)[i];
        f[i + 2 * PhoneModels::kWidth] = (at(t + 3)[i] - at(t - 1)[i]) - (at(t + 1)[i] - at(t - 3)[i]);
      }
      out.push_back(f);
    }
    return out;
  }
  // Hears from now on with the model moved by the transform (the library
  // reads it only from a file, which is gone again once read).
  bool Adapt(const std::string& transform) {
    std::string path = (std::filesystem::temp_directory_path() / "quorvel-speaker-XXXXXX").string();
    const int fd = mkstemp(path.data());
    if (fd < 0) return false;
    const bool written = write(fd, transform.data(), transform.size()) == static_cast<ssize_t>(transform.size());
    close(fd);
    ps_mllr_t* mllr = written ? ps_mllr_read(path.c_str()) : nullptr;
    std::filesystem::remove(path);
    if (!mllr || !ps_update_mllr(ps, mllr)) return false;
    adapted_ = transform != SpeakerAdaptation::NoChange();
    return true;
  }
  // The model as it was, for the next session's speaker.
  void ForgetSpeaker() {
    if (adapted_) Adapt(SpeakerAdaptation::NoChange());
  }

  struct Hypothesis {
    std::string text;
    int wordFrames = 0;  // frames inside words, not silence or noise
    int frames = 0;
    int speechStart = 0, speechEnd = 0;  // from the first word's first frame to the last's end
    double acoustic = 0;  // acoustic log-likelihood of the best path (decoder units)
  };

  // How much slower the next utterance is heard (1: as it is), for a
  // decoder that can hear it slower.
  void SlowDown(double by) {
    if (open || !stretch_) return;
    slowed_ = by > 1.0;
    if (!slowed_ || by == stretchBy_) return;
    speex_resampler_set_rate(stretch_, kSampleRate, static_cast<spx_uint32_t>(kSampleRate * by));
    stretchBy_ = by;
  }
  bool Start() {
    if (!open) {
      open = ps_start_utt(ps) == 0;
      if (stretch_) speex_resampler_reset_mem(stretch_);
      marks_.clear();
      marksBroken_ = false;
      startFrame_ = static_cast<int>(fed_ / kFrameSamples);
      if (!ChannelSettled()) Mark();
    }
    return open;
  }
  // The microphone and the room colour every sound alike, and the decoder
  // takes that colour out as the mean of the cepstra it has heard. Until
  // it has heard this microphone a while, that mean is the model's own, and
  // a microphone unlike the model's spoils the first utterances.
  bool ChannelSettled() const { return channelFrames_ >= kSettledFrames; }
  // Takes the mean from the frames of the words the utterance has heard
  // (h: what the decoder made of it) and a quarter second around them, as
  // the model's own recordings had (not the model's mean, nor the noise of
  // a long lead-in): false when there were too few frames to tell.
  bool SettleChannel(const Hypothesis& h) {
    auto range = SettleRange(h);
    if (!range) return false;
    const Mark_ &from = marks_[range->first], &to = marks_[range->second];
    cmn_t& c = Channel();
    const auto n = static_cast<std::size_t>(c.veclen);
    channelSum_.resize(n, 0.0);
    channelFrames_ += to.count - from.count;
    for (std::size_t i = 0; i < n; ++i) {
      channelSum_[i] += to.sum[i] - from.sum[i];
      c.cmn_mean[i] = static_cast<mfcc_t>(channelSum_[i] / channelFrames_);
      c.sum[i] = c.cmn_mean[i] * static_cast<mfcc_t>(channelFrames_);
    }
    c.nframe = channelFrames_;
    return true;
  }
  // Hears from now on through another decoder's mean of the microphone's
  // sound, as far as it has learnt it.
  void TakeChannel(const Decoder& other) {
    cmn_t& c = Channel();
    const cmn_t& o = other.Channel();
    std::copy(o.cmn_mean, o.cmn_mean + o.veclen, c.cmn_mean);
    std::copy(o.sum, o.sum + o.veclen, c.sum);
    c.nframe = o.nframe;
    channelSum_ = other.channelSum_;
    channelFrames_ = other.channelFrames_;
  }
  void Process(const std::int16_t* s, std::size_t n) {
    if (!open) return;
    if (slowed_) {
      stretched_.resize(static_cast<std::size_t>(static_cast<double>(n) * stretchBy_) + 64);
      auto inLen = static_cast<spx_uint32_t>(n), outLen = static_cast<spx_uint32_t>(stretched_.size());
      speex_resampler_process_int(stretch_, 0, s, &inLen, stretched_.data(), &outLen);
      s = stretched_.data();
      n = outLen;
    }
    // A least step of noise on a quarter of the samples, so that digital
    // quiet has a level the features can take the log of. Each decoder has
    // its own generator: the library's is one for the whole process, which
    // the decoders (on their threads) would share, and the same sound would
    // not be heard the same way twice.
    dithered_.assign(s, s + n);
    for (auto& v : dithered_)
      if (v < 32767 && dither_() % 4 == 0) ++v;
    ps_process_raw(ps, dithered_.data(), n, FALSE, FALSE);
    fed_ += static_cast<long>(n);
    if (!ChannelSettled()) Mark();
  }
  bool InSpeech() { return open && ps_get_in_speech(ps); }
  Hypothesis End() {
    Hypothesis h;
    if (!open) return h;
    open = false;
    if (ps_end_utt(ps) < 0) return h;
    Read(h);
    return h;
  }
  // The best words so far, mid-utterance, with their frames and score.
  Hypothesis Current() {
    Hypothesis h;
    if (open) Read(h);
    return h;
  }
  // Whether the mean could be taken from these words (see SettleChannel).
  bool CanSettle(const Hypothesis& h) const { return SettleRange(h).has_value(); }
  // Whether the sound heard goes on past these words as far as the mean
  // takes in after them: taken now, it is the one the utterance's end gives.
  bool HeardPast(const Hypothesis& h) const {
    return !marks_.empty() && !h.text.empty() && marks_.back().frames >= h.speechEnd + kAroundFrames;
  }
  void Abort() {
    if (open) ps_end_utt(ps);
    open = false;
  }
  // The best words so far, mid-utterance.
  std::string Partial() {
    std::int32_t score = 0;
    const char* hyp = open ? ps_get_hyp(ps, &score) : nullptr;
    return hyp ? hyp : "";
  }

  // How sure a grammar's decoder is of the words of the utterance it ended
  // last: 0 when no other phrase came near, down to kLeastConfidence. Each
  // word of the best path is weighed against every path through its middle:
  // the log of the share of their likelihood that says that word there, the
  // least over the words. Other speech forced onto a catalogue's phrases
  // fits several of them about as badly, where a phrase said fits one; the
  // likelihoods are flattened (kPathScale) so that a share is not all or
  // nothing.
  double Confidence() {
    ps_lattice_t* dag = ps_get_lattice(ps);
    ps_latlink_t* best = dag ? ps_lattice_bestpath(dag, nullptr, 1.0, kPathScale) : nullptr;
    if (!best) return 0;
    ps_lattice_posterior(dag, nullptr, kPathScale);
    logmath_t* lmath = ps_get_logmath(ps);
    std::vector<ps_latlink_t*> links;
    for (ps_latnode_iter_t* n = ps_latnode_iter(dag); n; n = ps_latnode_iter_next(n))
      for (ps_latlink_iter_t* l = ps_latnode_exits(ps_latnode_iter_node(n)); l; l = ps_latlink_iter_next(l))
        links.push_back(ps_latlink_iter_link(l));
    double least = 0;
    for (ps_latlink_t* link = best; link; link = ps_latlink_pred(link)) {
      const char* word = ps_latlink_baseword(dag, link);
      if (!IsWord(word)) continue;
      int16 start = 0;
      const int end = ps_latlink_times(link, &start);
      const int middle = (start + end) / 2;
      double share = 0;
      for (ps_latlink_t* other : links) {
        int16 from = 0;
        const int to = ps_latlink_times(other, &from);
        const char* said = ps_latlink_baseword(dag, other);
        std::int32_t acoustic = 0;
        if (said && std::strcmp(said, word) == 0 && from <= middle && to >= middle)
          share += logmath_exp(lmath, ps_latlink_prob(dag, other, &acoustic));
      }
      least = std::min(least, std::log(std::max(share, 1e-30)));
    }
    return std::max(least, kLeastConfidence);
  }

 private:
  static bool IsWord(const char* word) {
    return word && word[0] != '<' && word[0] != '[' && std::strcmp(word, "(NULL)") != 0 &&
           std::strcmp(word, kNoiseWord) != 0;
  }
  void Read(Hypothesis& h) {
    std::int32_t score = 0;
    if (const char* hyp = ps_get_hyp(ps, &score)) h.text = hyp;
    h.frames = ps_get_n_frames(ps);
    for (ps_seg_t* seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
      const char* word = ps_seg_word(seg);
      int sf = 0, ef = 0;
      std::int32_t ascr = 0, lscr = 0, lback = 0;
      ps_seg_frames(seg, &sf, &ef);
      ps_seg_prob(seg, &ascr, &lscr, &lback);
      h.acoustic += ascr;
      if (IsWord(word)) {
        if (h.wordFrames == 0) h.speechStart = sf - startFrame_;
        h.speechEnd = ef + 1 - startFrame_;
        h.wordFrames += ef - sf + 1;
      }
    }
  }
  // The marks (indices) that bound the words of h and a quarter second
  // around them; none when there were too few frames to tell.
  std::optional<std::pair<std::size_t, std::size_t>> SettleRange(const Hypothesis& h) const {
    auto at = [&](int frame, bool after) {
      auto m = std::lower_bound(marks_.begin(), marks_.end(), frame,
                                [](const Mark_& k, int f) { return k.frames < f; });
      if (!after && (m == marks_.end() || m->frames > frame) && m != marks_.begin()) --m;
      return m;
    };
    if (marks_.empty() || marksBroken_) return std::nullopt;
    // A sound so unlike the model that no phrase's path survived: all of it.
    const bool none = h.text.empty();
    if (!none && h.speechEnd - h.speechStart < kFewestFrames) return std::nullopt;
    auto from = none ? marks_.begin() : at(std::max(0, h.speechStart - kAroundFrames), false);
    auto to = none ? marks_.end() - 1 : at(std::min(marks_.back().frames, h.speechEnd + kAroundFrames), true);
    if (to == marks_.end() || to->count - from->count < kFewestFrames) return std::nullopt;
    return std::pair{static_cast<std::size_t>(from - marks_.begin()), static_cast<std::size_t>(to - marks_.begin())};
  }

 public:
  // The models of speech outside the catalogue: English as a loop of the
  // model's phones following one another as its phone language model
  // counts them, Japanese as a loop of kana morae.
  bool SetFreeModels(const SphinxOptions& o) {
    SearchGraph english = EnglishPhoneLoop(o.modelDir + "/en-us-phone.lm.bin");
    SearchGraph japanese = MoraLoop(kMoraPrefix);
    for (const SearchGraph* g : {&english, &japanese})
      for (const auto& t : g->tokens) ps_add_word(ps, t.name.c_str(), t.pronunciations[0].c_str(), FALSE);
    return !english.empty && SetGraphSearch(ps, kFreeEnglish, english) &&
           SetGraphSearch(ps, kFreeJapanese, japanese);
  }

  // The phone bigrams of the phone language model as a loop; an empty
  // graph when the model cannot be read.
  SearchGraph EnglishPhoneLoop(const std::string& path) {
    logmath_t* lmath = ps_get_logmath(ps);
    ngram_model_t* lm = ngram_model_read(nullptr, path.c_str(), NGRAM_AUTO, lmath);
    if (!lm) return {};
    std::vector<std::string> phones;
    for (const char* p : kEnglishPhones)
      if (ngram_wid(lm, p) != ngram_unknown_wid(lm)) phones.emplace_back(p);
    auto follow = [&](const std::string& before, const std::string& phone) {
      std::int32_t used = 0;
      const std::string b = before.empty() ? "<s>" : before, w = phone.empty() ? "</s>" : phone;
      return logmath_exp(lmath, ngram_bg_score(lm, ngram_wid(lm, w.c_str()), ngram_wid(lm, b.c_str()), &used));
    };
    SearchGraph loop = PhoneLoop(kPhonePrefix, phones, follow);
    ngram_model_free(lm);
    return loop;
  }

  ps_decoder_t* ps = nullptr;
  bool open = false;

 private:
  cmn_t& Channel() const { return *ps_get_feat(ps)->cmn_struct; }
  // The running sum of the cepstra after each piece of sound, by frames of
  // sound since the utterance's start (the decoder numbers the words' frames
  // so, counting from its first sound), so the words' own frames can be summed.
  void Mark() {
    cmn_t& c = Channel();
    // The decoder rescales its sum after many frames: the marks no longer add up.
    if (!marks_.empty() && c.nframe < marks_.back().count) marksBroken_ = true;
    if (marksBroken_) return;
    const int frame = static_cast<int>(fed_ / kFrameSamples) - startFrame_;
    marks_.push_back({frame, c.nframe, std::vector<double>(c.sum, c.sum + c.veclen)});
  }
  struct Mark_ {
    int frames;  // of sound since the start
    int count;   // of cepstra in the sum
    std::vector<double> sum;
  };
  static constexpr long kFrameSamples = kSampleRate / 100;
  // The lattice's acoustic scores are multiplied by this for the shares of
  // Confidence (the decoder's own 1/20 leaves the best path nearly all of
  // it), and a share counts down to e^-5 at the least.
  static constexpr float kPathScale = 0.01f;
  static constexpr double kLeastConfidence = -5;
  long fed_ = 0;  // samples the decoder has heard since it was made
  std::minstd_rand dither_{1};
  std::vector<std::int16_t> dithered_;
  SpeexResamplerState* stretch_ = nullptr;  // a shorter voice's decoder: its sound played slower
  double stretchBy_ = 1.0;
  bool slowed_ = false;
  std::vector<std::int16_t> stretched_;
  fe_t* features_ = nullptr;  // a front end of the decoder's own, for Features
  bool adapted_ = false;      // the model moved towards a speaker
  int startFrame_ = 0;
  static_assert(std::is_floating_point_v<mfcc_t>, "the cepstral sums are read as floats");
  static constexpr int kSettledFrames = 150, kFewestFrames = 20, kAroundFrames = 25;
  std::vector<Mark_> marks_;
  bool marksBroken_ = false;
  // The words' frames heard so far and their cepstra's sum.
  int channelFrames_ = 0;
  std::vector<double> channelSum_;
};

// Decoders outlive a session, so unchecking and checking the box again does
// not load the models again.
struct DecoderPool {
  std::mutex mutex;
  std::vector<std::unique_ptr<Decoder>> idle[kDecoderKinds];
  std::unique_ptr<Decoder> Take(const SphinxOptions& o, DecoderKind kind) {
    {
      std::lock_guard lock(mutex);
      auto& list = idle[static_cast<int>(kind)];
      if (!list.empty()) {
        auto d = std::move(list.back());
        list.pop_back();
        return d;
      }
    }
    return Decoder::Create(o, kind);
  }
  void Give(std::unique_ptr<Decoder> d, DecoderKind kind) {
    if (!d) return;
    d->Abort();
    d->ForgetSpeaker();
    std::lock_guard lock(mutex);
    idle[static_cast<int>(kind)].push_back(std::move(d));
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
  std::string lastError;
  // The background load: whether it runs, and who waits for its end.
  bool loading = false;
  std::vector<std::function<void()>> whenReady;

  std::shared_ptr<const PhoneModels> phoneModels;
  bool phoneModelsTried = false;
  std::shared_ptr<const PhoneModels> GetPhoneModels() {
    std::lock_guard lock(mutex);
    if (!phoneModelsTried) {
      phoneModelsTried = true;
      auto m = std::make_shared<PhoneModels>();
      if (m->Load(options.modelDir + "/en-us")) phoneModels = m;
    }
    return phoneModels;
  }

  std::shared_ptr<const Lexicon> GetLexicon() {
    {
      std::lock_guard lock(mutex);
      if (lexicon) return lexicon;
    }
    // Read without the lock: the window asks whether the models are ready
    // meanwhile, and must not wait for the dictionary to be read.
    auto l = std::make_shared<Lexicon>();
    l->Load(options.modelDir + "/cmudict-en-us.dict");
    std::lock_guard lock(mutex);
    if (!lexicon) lexicon = l;
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
    shared_->pool.Give(std::move(grammarDecoder_), DecoderKind::Grammar);
    shared_->pool.Give(std::move(freeDecoder_), DecoderKind::Free);
    shared_->pool.Give(std::move(dictationDecoder_), DecoderKind::Dictation);
    for (Slower& r : slower_) shared_->pool.Give(std::move(r.decoder), r.kind);
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
    if (!dictationDecoder_) dictationDecoder_ = shared_->pool.Take(shared_->options, DecoderKind::Dictation);
    // Beside the grammar, dictation means other speech is to be told apart.
    if (!freeDecoder_) freeDecoder_ = shared_->pool.Take(shared_->options, DecoderKind::Free);
    return dictationDecoder_ && freeDecoder_ ? kOk : kFail;
  }
  HResult LoadCmdFromFile(const std::string& path) {
    auto compiled = std::make_shared<CompiledGrammar>();
    HResult r = CompileGrammarFile(path, *compiled);
    if (Failed(r)) return r;
    auto lexicon = shared_->GetLexicon();
    std::string prefix = "q" + std::to_string(gLoadCounter++) + "_";
    auto graph = std::make_shared<SearchGraph>(BuildSearchGraph(
        *compiled,
        [&](const std::string& lexical) { return Pronounce(lexical, *lexicon, EspeakPhones); },
        prefix));
    std::lock_guard lock(mutex_);
    AbortUtterance();
    for (Slower& r : slower_)
      if (!r.decoder && RungWanted(shared_->options, r.kind)) r.decoder = shared_->pool.Take(shared_->options, r.kind);
    grammarReady_ = false;
    for (int k = 0; k < kRungs; ++k) {
      Decoder* decoder = RungDecoder(k);
      if (!decoder) continue;
      ps_decoder_t* ps = decoder->ps;
      for (const auto& t : graph->tokens)
        for (std::size_t v = 0; v < t.pronunciations.size(); ++v) {
          std::string name = v == 0 ? t.name : t.name + "(" + std::to_string(v + 1) + ")";
          ps_add_word(ps, name.c_str(), t.pronunciations[v].c_str(), FALSE);
        }
      if (!graph->empty && !SetGraphSearch(ps, kCatalogueSearch, WithNoise(*graph, ps))) return kFail;
    }
    grammarReady_ = !graph->empty;
    grammar_ = compiled;
    graph_ = graph;
    japanese_ = IsJapanese(*compiled);
    lastChange_ = std::chrono::steady_clock::now();
    prefix_ = prefix;
    wake_.notify_all();
    return kOk;
  }
  // The catalogue's phrases with room noise around them: noise may come
  // before a phrase, after it, or alone (a fan starting, a door), and then
  // nothing was said. The noise is the model's own noise sound.
  SearchGraph WithNoise(const SearchGraph& graph, ps_decoder_t* ps) const {
    const double p = std::min(shared_->options.noisePath, 0.9);
    if (p <= 0) return graph;
    ps_add_word(ps, kNoiseWord, "+NSN+", FALSE);
    SearchGraph g = graph;
    g.tokens.push_back({kNoiseWord, -1, {"+NSN+"}});
    const int noise = static_cast<int>(g.tokens.size()) - 1;
    const int before = g.states++, after = g.states++, end = g.states++;
    g.arcs.push_back({g.start, before, noise, p});
    g.arcs.push_back({before, before, noise, 0.5});
    g.arcs.push_back({before, g.start, -1, 0.25});
    g.arcs.push_back({before, end, -1, 0.25});
    g.arcs.push_back({g.final, end, -1, 1 - p});
    g.arcs.push_back({g.final, after, noise, p});
    g.arcs.push_back({after, after, noise, 0.5});
    g.arcs.push_back({after, end, -1, 0.5});
    g.final = end;
    return g;
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

  bool Rejecting() const { return UsesGrammar() && UsesDictation() && freeDecoder_; }

  // The grammar's decoders, plain voice first (rung 0), then the shorter
  // voice and the shortest; null where there is none.
  static constexpr int kRungs = 3;
  using Rungs = std::array<Decoder::Hypothesis, kRungs>;
  using Heard = std::array<bool, kRungs>;
  Decoder* RungDecoder(int k) const { return k == 0 ? grammarDecoder_.get() : slower_[k - 1].decoder.get(); }
  double RungWarp(int k) const { return k == 0 ? 1.0 : WarpOf(shared_->options, slower_[k - 1].kind); }
  // The rung whose readings the session takes: each above the plain one
  // while it is ahead of the rung below it, and listening.
  int ChosenRung() const {
    int k = 0;
    while (UsesGrammar() && k + 1 < kRungs && slower_[k].decoder && slower_[k].listens && slower_[k].lead > 0) ++k;
    return k;
  }
  // Which rungs are in the utterance now.
  Heard RungsOpen(bool g) const {
    Heard open{};
    for (int k = 0; k < kRungs; ++k) open[k] = g && RungDecoder(k) && RungDecoder(k)->open;
    return open;
  }

  void AbortUtterance() {
    grammarDecoder_->Abort();
    for (Slower& r : slower_)
      if (r.decoder) r.decoder->Abort();
    if (freeDecoder_) freeDecoder_->Abort();
    if (dictationDecoder_) dictationDecoder_->Abort();
    utterance_.clear();
    carried_.clear();
    speechSeen_ = false;
    heardAgain_ = false;
    freeWaits_ = false;
    heldSamples_ = 0;
    utteranceSamples_ = 0;
    withheld_.clear();
    gate_.Forget();
  }

  // A catalogue is Japanese when most of its readings are written in kana.
  static bool IsJapanese(const CompiledGrammar& g) {
    std::size_t kana = 0;
    for (const auto& w : g.words)
      if (w.lexical.find("\xE3\x81") != std::string::npos || w.lexical.find("\xE3\x82") != std::string::npos ||
          w.lexical.find("\xE3\x83") != std::string::npos)
        ++kana;
    return kana * 2 > g.words.size();
  }

  // Whether the grammar heard words (not quiet or noise) in the utterance
  // so far, over 0.2 s of it at least: a short word it forces onto steady
  // noise is no talk. Without a grammar, any sound may be words.
  bool HeardWordsSoFar() {
    if (!UsesGrammar()) return true;
    const Decoder::Hypothesis h = grammarDecoder_->Current();
    std::istringstream heard(h.text);
    bool words = false;
    for (std::string word; heard >> word;) words = words || word != kNoiseWord;
    return words && h.wordFrames >= kTalkWordFrames;
  }

  // Whether what the grammar has heard so far is a whole phrase that no
  // longer phrase continues: then a short quiet ends the utterance.
  bool PhraseComplete() {
    if (!UsesGrammar() || !graph_) return false;
    return EndOfPhrase(*graph_, grammarDecoder_->Partial()) == PhraseEnd::Complete;
  }

  void Feed(const std::int16_t* s, std::size_t n) {
    double t0 = ThreadSeconds();
    // Beside the grammar, dictation only says what other speech was: it
    // hears the utterance afterwards, and only when it was other speech.
    bool g = UsesGrammar(), f = Rejecting(), d = UsesDictation() && !f;
    gate_.Hear(s, n);
    // Sound that has gone on a while without rising above a room that
    // makes sound of its own (other voices talking) is no utterance yet:
    // start afresh, so that what the room said before the words is not
    // part of them.
    if (speechSeen_ && !gate_.Opened() && gate_.RoomRaised() && utteranceSamples_ >= kRestartSamples)
      AbortUtterance();
    // Words that rise well above sound the grammar heard as words (voices
    // that started up just before them) are heard afresh from just before
    // the rise: a phrase said as a talking room starts up is not weighed
    // with what the room said first. Steady noise, which the decoders hear
    // as quiet, stays in the utterance.
    if (gate_.Rose()) {
      const bool talked = HeardWordsSoFar();
      if (talked && speechSeen_) {
        const std::size_t lead = std::min(utterance_.size(), kRiseLeadSamples);
        std::vector<std::int16_t> before(utterance_.end() - static_cast<long>(lead), utterance_.end());
        AbortUtterance();
        carried_ = std::move(before);
        if (shared_->options.trace) std::fprintf(stderr, "utterance: words rose above the room's talk, heard afresh\n");
      }
      if (talked) gate_.TakeRise();
      else gate_.KeepRise();
    }
    if (speechSeen_) utteranceSamples_ += static_cast<long>(n);
    const std::size_t given = n;
    // Once words said over other voices fall back to them, the decoders stop
    // hearing, so the voices' talk after the words is not weighed with them;
    // words that rise again are heard with the sound in between (a pause
    // inside a phrase, the weak words of a sentence). Steady noise and a
    // room's echo after the words are heard on: the decoders hear them as
    // quiet.
    const bool holding = !withheld_.empty();
    if (speechSeen_ && gate_.UnderTalk() &&
        (holding ? !gate_.RisingOverTalk() : gate_.QuietOverTalk() > kTrailFrames)) {
      withheld_.insert(withheld_.end(), s, s + n);
      if (withheld_.size() > kMaxUtterance)
        withheld_.erase(withheld_.begin(), withheld_.end() - static_cast<long>(kMaxUtterance));
      n = 0;
    } else if (holding) {
      withheld_.insert(withheld_.end(), s, s + n);
      released_.swap(withheld_);
      withheld_.clear();
      s = released_.data();
      n = released_.size();
    }
    // Kept for dictation afterwards, for hearing the utterance again while
    // the grammar's decoder has not yet learnt the microphone, and for its
    // last moments to begin the next one.
    if (utterance_.empty()) utterance_ = carried_;
    KeepUtteranceAudio(s, n);
    std::array<Decoder*, kRungs> rungs{};
    for (int k = 0; k < kRungs; ++k) {
      rungs[k] = g && (k == 0 || slower_[k - 1].listens) ? RungDecoder(k) : nullptr;
      if (rungs[k] && !rungs[k]->open) ps_set_search(rungs[k]->ps, kCatalogueSearch);
    }
    if (f && !freeDecoder_->open && !freeWaits_) {
      ps_set_search(freeDecoder_->ps, japanese_ ? kFreeJapanese : kFreeEnglish);
      // The grammar's score it is weighed against is the chosen voice's.
      freeRung_ = ChosenRung();
      freeDecoder_->SlowDown(RungWarp(freeRung_));
      AdaptFreeModel();
      // Before the microphone is learnt, the free model would hear the
      // words only to hear them all again through the grammar's mean once
      // that is learnt from them: it waits for that instead.
      freeWaits_ = !freeDecoder_->ChannelSettled() && !RungDecoder(freeRung_)->ChannelSettled();
    }
    std::array<Decoder*, kRungs + 2> hearing{};
    std::copy(rungs.begin(), rungs.end(), hearing.begin());
    hearing[kRungs] = f && !freeWaits_ ? freeDecoder_.get() : nullptr;
    hearing[kRungs + 1] = d ? dictationDecoder_.get() : nullptr;
    for (Decoder* dec : hearing) {
      if (!dec || n == 0) continue;
      const bool starting = !dec->open;
      if (dec->Start() && starting) dec->Process(carried_.data(), carried_.size());
      dec->Process(s, n);
    }
    carried_.clear();
    if (speechSeen_ && !heardAgain_ && gate_.Opened() && gate_.QuietFrames() >= kWordsEndedFrames)
      HearAgainEarly(g, f);
    // The decoders' voice detection says quiet after endSilenceFrames. A
    // whole phrase ends there; anything else is held a while longer, so a
    // pause inside a phrase does not cut it in two.
    // Once the words have risen above the room, their end is where they
    // fall back to it, even while the room talks on.
    const bool roomAgain = gate_.Opened() && gate_.QuietFrames() >= shared_->options.endSilenceFrames;
    if (Primary()->InSpeech() && !roomAgain) {
      speechSeen_ = true;
      heldSamples_ = 0;
    } else if (speechSeen_) {
      heldSamples_ += static_cast<long>(given);
      const long hold = (shared_->options.holdFrames - shared_->options.endSilenceFrames) * kSampleRate / 100;
      if (heldSamples_ >= hold || PhraseComplete()) {
        // An utterance that came to nothing (noise, taken for quiet once
        // the decoders knew it) hands its last moments on to the next: words
        // that start just as it ends keep their start, and none are heard twice.
        const std::size_t carry = std::min(utterance_.size(), kCarriedSamples);
        std::vector<std::int16_t> tail(utterance_.end() - static_cast<long>(carry), utterance_.end());
        if (!FinishUtterance()) carried_ = std::move(tail);
        std::lock_guard lock(shared_->mutex);
        shared_->stats.endedAt.push_back(shared_->stats.audioSamples + static_cast<long>(given));
      }
    }
    std::lock_guard lock(shared_->mutex);
    shared_->stats.audioSamples += static_cast<long>(given);
    shared_->stats.decodeSeconds += ThreadSeconds() - t0;
  }

  // The audio of the utterance so far, to be heard again afterwards:
  // before any speech only the last half second of it.
  void KeepUtteranceAudio(const std::int16_t* s, std::size_t n) {
    utterance_.insert(utterance_.end(), s, s + n);
    const std::size_t keep = speechSeen_ ? kMaxUtterance : kSampleRate / 2;
    if (utterance_.size() > keep) utterance_.erase(utterance_.begin(), utterance_.end() - static_cast<long>(keep));
  }

  // The utterance's audio heard from its start in a decoder it is not open in.
  static bool HearFromStart(Decoder& decoder, const std::vector<std::int16_t>& audio) {
    if (!decoder.Start()) return false;
    decoder.Process(audio.data(), audio.size());
    return true;
  }
  Decoder::Hypothesis Dictate(const std::vector<std::int16_t>& audio) {
    return dictationDecoder_ && HearFromStart(*dictationDecoder_, audio) ? dictationDecoder_->End()
                                                                          : Decoder::Hypothesis{};
  }

  // The decoders that are to hear the utterance again: those that heard it
  // while their mean of the microphone's sound was hardly the microphone's
  // yet, now that its words (h: what the grammar's decoders made of it)
  // give them the mean; they are stopped and take it.
  struct Again {
    std::array<Decoder*, kRungs> grammar{};
    Decoder* free = nullptr;
    bool Any() const {
      return free || std::any_of(grammar.begin(), grammar.end(), [](Decoder* d) { return d != nullptr; });
    }
  };
  Again SettleChannels(const Heard& heard, bool f, const Rungs& h) {
    auto settle = [](Decoder* decoder, const Decoder::Hypothesis& h) -> Decoder* {
      if (!decoder || decoder->ChannelSettled() || !decoder->CanSettle(h)) return nullptr;
      decoder->Abort();
      decoder->SettleChannel(h);
      return decoder;
    };
    Again a;
    for (int k = 0; k < kRungs; ++k) a.grammar[k] = settle(heard[k] ? RungDecoder(k) : nullptr, h[k]);
    // The free model's score is only a measure for the grammar's when both
    // heard the sound through the same mean: it takes the mean of the
    // grammar decoder it is weighed against (the one that heard the sound
    // as slowly), not one of its own from its own reading of the words (a
    // few morae, or none).
    Decoder* weighedAgainst = f && heard[freeRung_] ? RungDecoder(freeRung_) : nullptr;
    const bool weighedAgain = a.grammar[freeRung_] != nullptr;
    if (weighedAgainst && (weighedAgain || (!freeDecoder_->ChannelSettled() && weighedAgainst->ChannelSettled()))) {
      freeDecoder_->Abort();
      freeDecoder_->TakeChannel(*weighedAgainst);
      a.free = freeDecoder_.get();
    } else if (f && freeWaits_) {
      a.free = freeDecoder_.get();  // no mean to take: it hears with its own
    }
    freeWaits_ = false;
    return a;
  }

  // Those decoders hear the utterance's audio from its start side by side,
  // so the answer waits for one more pass, not several. With `end` each
  // ends the utterance and its words replace what it made of it before;
  // otherwise they listen on, the utterance not being over.
  void HearAgainSettled(const Again& a, const std::vector<std::int16_t>& audio, bool end, Rungs& h,
                        Decoder::Hypothesis& hf) {
    if (!a.Any()) return;
    auto hear = [&](Decoder* decoder, Decoder::Hypothesis& into) {
      if (HearFromStart(*decoder, audio) && end) into = decoder->End();
    };
    std::vector<std::thread> beside;
    std::array<double, kRungs> besideSeconds{};  // the free model's, then the slower voices'
    auto hearBeside = [&](Decoder* decoder, Decoder::Hypothesis& into, double& seconds) {
      beside.emplace_back([&, decoder] {
        const double t0 = ThreadSeconds();
        hear(decoder, into);
        seconds = ThreadSeconds() - t0;
      });
    };
    if (a.free) hearBeside(a.free, hf, besideSeconds[0]);
    for (int k = 1; k < kRungs; ++k)
      if (a.grammar[k]) hearBeside(a.grammar[k], h[k], besideSeconds[k]);
    if (a.grammar[0]) hear(a.grammar[0], h[0]);
    for (auto& t : beside) t.join();
    if (!beside.empty()) {
      std::lock_guard lock(shared_->mutex);
      for (double seconds : besideSeconds) shared_->stats.decodeSeconds += seconds;
    }
  }

  // Once the words have ended, the decoders that had not learnt the
  // microphone hear the utterance again while the quiet after it is still
  // being waited for, so that the first words' answer does not wait for
  // that pass at the end. Only when the sound heard already goes on past
  // the words as far as the mean takes in: then the mean is the one the
  // end would give.
  void HearAgainEarly(bool g, bool f) {
    const Heard heard = RungsOpen(g);
    f = f && (freeDecoder_->open || freeWaits_);
    bool learning = f && !freeDecoder_->ChannelSettled();
    for (int k = 0; k < kRungs; ++k) learning = learning || (heard[k] && !RungDecoder(k)->ChannelSettled());
    if (!learning) return;
    // A decoder still learning must have words to take the mean from;
    // else the end decides, with all the utterance's words.
    Rungs h;
    for (int k = 0; k < kRungs; ++k) {
      if (!heard[k]) continue;
      Decoder* decoder = RungDecoder(k);
      h[k] = decoder->Current();
      if (!decoder->ChannelSettled() && !(decoder->HeardPast(h[k]) && decoder->CanSettle(h[k]))) return;
    }
    heardAgain_ = true;
    if (shared_->options.trace)
      std::fprintf(stderr, "utterance: heard again %.2f s into it, after %d frames of quiet\n",
                   static_cast<double>(utterance_.size()) / kSampleRate, gate_.QuietFrames());
    Rungs unused;
    Decoder::Hypothesis unusedFree;
    HearAgainSettled(SettleChannels(heard, f, h), utterance_, false, unused, unusedFree);
  }

  // Ends the utterance in every decoder and queues what it came to: false
  // when it came to nothing.
  bool FinishUtterance() {
    const bool g = UsesGrammar() && grammarDecoder_->open;
    const Heard heard = RungsOpen(g);
    bool f = Rejecting() && (freeDecoder_->open || freeWaits_);
    bool d = UsesDictation() && dictationDecoder_->open;
    bool spoken = speechSeen_, heardAgain = heardAgain_;
    const bool underTalk = gate_.UnderTalk();  // before Forget clears it
    speechSeen_ = false;
    heardAgain_ = false;
    heldSamples_ = 0;
    utteranceSamples_ = 0;
    withheld_.clear();
    gate_.Forget();
    std::vector<std::int16_t> audio;
    audio.swap(utterance_);
    Rungs h;
    for (int k = 0; k < kRungs; ++k)
      if (heard[k]) h[k] = RungDecoder(k)->End();
    Decoder::Hypothesis hf = f ? freeDecoder_->End() : Decoder::Hypothesis{};
    Decoder::Hypothesis hd = d ? dictationDecoder_->End() : Decoder::Hypothesis{};
    if (!spoken) {
      freeWaits_ = false;
      return false;
    }
    if (!heardAgain) HearAgainSettled(SettleChannels(heard, f, h), audio, true, h, hf);
    std::string text;
    // The reading of the voice the session has scored better so far; this
    // utterance's scores count for the next, when two rungs side by side
    // both heard a phrase in it (noise alone says nothing of the voice).
    std::array<std::string, kRungs> shown;
    Heard phrase{};
    std::array<double, kRungs> lead{};  // how much better per frame than the rung below
    for (int k = 0; k < kRungs; ++k) {
      if (heard[k]) shown[k] = DisplayOf(h[k].text, *grammar_, prefix_);
      phrase[k] = heard[k] && h[k].frames > 0 && !shown[k].empty();
      if (k > 0 && phrase[k] && phrase[k - 1])
        lead[k] = h[k].acoustic / h[k].frames - h[k - 1].acoustic / h[k - 1].frames;
    }
    // Before any phrase has told the voice (the first words of a session,
    // a recording heard on its own), a Japanese phrase decides alone, and
    // a slower voice only when it scores clearly better than the one below:
    // one utterance's scores are chancy, and most men's voices are the plain
    // one's. English phrases keep the plain reading: there one phrase's
    // scores chose worse.
    int chosen = 0;
    if (voiceHeard_) {
      chosen = ChosenRung();
      while (chosen > 0 && !heard[chosen]) --chosen;
    } else if (japanese_) {
      while (chosen + 1 < kRungs && phrase[chosen] && phrase[chosen + 1] && lead[chosen + 1] > kFirstPhraseLead)
        ++chosen;
    }
    // Noise alone: nothing was said.
    const bool noiseAlone = g && shown[chosen].empty() && h[chosen].text.find(kNoiseWord) != std::string::npos;
    // The grammar's reading, unless the free model of other speech explains
    // the sound clearly better: their acoustic scores per frame of the
    // utterance, so the measure does not grow with its length. Both heard
    // the sound at one speed, the chosen voice's (a free model that heard it
    // otherwise is weighed against the rung it heard it as). Beside the
    // mora loop, the less sure the grammar is of its phrase, and the further
    // its words are from the speaker's pace, the further ahead it must be.
    const int weighedRung = heard[freeRung_] ? freeRung_ : chosen;
    const Decoder::Hypothesis& weighed = h[weighedRung];
    const double confidence = f && japanese_ && !weighed.text.empty() ? RungDecoder(weighedRung)->Confidence() : 0;
    const double heardMargin =
        (weighed.frames > 0 ? (weighed.acoustic - hf.acoustic) / weighed.frames : 0) + kDoubtWeight * confidence;
    const std::size_t morae = f && japanese_ ? MoraeOf(weighed.text, *grammar_, prefix_) : 0;
    const double wordFrames = weighed.wordFrames / RungWarp(weighedRung);  // as the sound was, not slowed
    const double margin = heardMargin - pace_.Cost(wordFrames, morae);
    const double threshold = japanese_ ? shared_->options.rejectJapanese : shared_->options.rejectEnglish;
    // Words said over other voices: the grammar's phrase must also explain
    // the voices under it, which the free model takes as speech of its own.
    // Heard as the shortest voice, slowed furthest, other speech fits the
    // catalogue's phrases more easily, so the line there is higher.
    const double line = threshold - (underTalk ? kUnderTalkAllowance : 0) +
                        (weighedRung == kRungs - 1 ? kShortestLine : 0);
    const bool outOfGrammar = f && !noiseAlone && (shown[chosen].empty() || margin < line);
    // Taken clearly on its sound alone: the voice and the pace learn from it,
    // so a new speaker's pace is learnt however far it is from the last one's.
    const bool clearly = (noiseAlone || !shown[chosen].empty()) && heardMargin >= threshold + kClearlyTaken;
    if (f && clearly) pace_.Learn(wordFrames, morae);
    // Taken as a phrase: what it says of the speaker is learnt once the
    // answer is on its way. Every phrase taken, not only those taken
    // clearly: a voice far from the model is rarely taken clearly until the
    // model has moved towards it.
    const bool learn = !shown[chosen].empty() && !outOfGrammar;
    // Speech turned away far below the line is no command of this speaker's:
    // a man's talk forced onto the catalogue's phrases scores better heard
    // slower, as a child's phrases do, and would carry the session to a
    // child's voice (and all its decoders) while a television talks.
    const bool farBelow = f && margin < threshold - kFarBelowLine;
    // Its scores count for the shortest voice when it was taken clearly, or
    // taken at all and not over other voices: a voice far from the model
    // beside UNDEFINE (a fast child in noise) is seldom taken clearly, and
    // would never climb to the voice that hears it right.
    const bool alone = learn && !underTalk;
    LearnVoice(h[0], heard, phrase, lead, !f || clearly || alone, !farBelow);
    if (noiseAlone) {
      if (shared_->options.trace) std::fprintf(stderr, "utterance: noise alone over %d frames\n", h[chosen].frames);
      return false;
    }
    if (f) {
      if (outOfGrammar) hd = Dictate(audio);
      text = outOfGrammar ? hd.text : shown[chosen];
      if (shared_->options.trace)
        std::fprintf(stderr, "utterance: grammar \"%s\" free \"%s\" margin %.1f over %d frames (confidence %.2f), "
                             "dictation \"%s\", voice %d of %d, %.0f frames over %zu morae (the speaker's %.1f a mora)\n",
                     shown[chosen].c_str(), hf.text.c_str(), margin, weighed.frames, confidence,
                     hd.text.c_str(), chosen, kRungs, wordFrames, morae, pace_.FramesPerMora());
      std::lock_guard lock(shared_->mutex);
      shared_->stats.weighed.push_back({shared_->stats.audioSamples, shown[chosen], weighed.acoustic - hf.acoustic,
                                        weighed.frames, hf.wordFrames, weighed.wordFrames, hf.acoustic,
                                        weighedRung, confidence, margin});
    } else {
      text = g ? shown[chosen] : hd.text;
    }
    {
      std::lock_guard lock(shared_->mutex);
      ++shared_->stats.utterances;
    }
    if (!text.empty()) queue->PushRecognition(std::make_shared<TextResult>(text));
    if (learn) LearnSpeaker(chosen, h[chosen].text, audio);
    // The other voices that heard a phrase learn the speaker too, each from
    // its own reading: moved towards the speaker alike, their scores still
    // tell which fits the voice. The chosen one alone moved gains some 4
    // per frame and keeps its lead (a young child held at the shorter
    // voice, a man in reverb at the shortest). Not from a phrase said over
    // other voices: babble forced onto a phrase, or under it, would move
    // them towards the babble. The slower voices learn from every phrase
    // taken, as without UNDEFINE, so that a voice far from the model can
    // climb to the one that hears it right; the faster ones only from
    // phrases taken clearly (from every one, a talking room that was not
    // told from quiet cost a phrase).
    if (alone)
      for (int k = 0; k < kRungs; ++k)
        if (k != chosen && phrase[k] && (k > chosen || !f || clearly)) LearnSpeaker(k, h[k].text, audio);
    return !text.empty();
  }

  // A phrase heard on rung k: its sound tells how the speaker
  // differs from the model. Once enough more of it is gathered, the rung's
  // decoder hears with the model moved towards the speaker (and the free
  // model too whenever it hears at that rung, so their scores still compare).
  void LearnSpeaker(int k, const std::string& hypothesis, const std::vector<std::int16_t>& audio) {
    Decoder* decoder = RungDecoder(k);
    auto models = shared_->GetPhoneModels();
    if (!decoder || !graph_ || !models) return;
    auto& adaptation = adaptation_[static_cast<std::size_t>(k)];
    if (!adaptation) adaptation = std::make_unique<SpeakerAdaptation>(*models, kAdaptMemory);
    // The ways of saying the hypothesis: each word's, one after another.
    std::vector<std::string> variants{""};
    std::istringstream in(hypothesis);
    for (std::string word; in >> word;) {
      auto t = std::find_if(graph_->tokens.begin(), graph_->tokens.end(),
                            [&](const SearchGraph::Token& token) { return token.name == word; });
      if (t == graph_->tokens.end()) continue;  // silence or noise
      std::vector<std::string> longer;
      for (const auto& v : variants)
        for (const auto& p : t->pronunciations)
          if (longer.size() < kMostVariants) longer.push_back(v.empty() ? p : v + " " + p);
      variants.swap(longer);
    }
    if (!adaptation->Add(decoder->Features(audio), variants)) return;
    double& at = adaptedFrames_[static_cast<std::size_t>(k)];
    if (adaptation->Added() < at + kAdaptEvery) return;
    at = adaptation->Added();
    std::string transform = adaptation->Transform(kAdaptPrior);
    if (!decoder->Adapt(transform)) return;
    transforms_[static_cast<std::size_t>(k)] = std::move(transform);
    if (shared_->options.trace)
      std::fprintf(stderr, "utterance: voice %d moved towards the speaker, %.0f frames heard\n", k, adaptation->Frames());
  }
  // The free model hears with the very transform of the rung it is weighed
  // against, not a newer one, so their scores still compare.
  void AdaptFreeModel() {
    const std::string& wanted = transforms_[static_cast<std::size_t>(freeRung_)];
    if (wanted == freeTransform_) return;
    if (freeDecoder_->Adapt(wanted.empty() ? SpeakerAdaptation::NoChange() : wanted)) freeTransform_ = wanted;
  }

  // After an utterance: when two rungs side by side both heard a phrase in
  // it, its scores count for the next ones. Once the rung below is clearly
  // ahead, a slower voice hears only now and then, enough to notice another
  // speaker; on every phrase again while it scores better, and after one
  // that the plain voice scored clearly worse than its recent phrases (a
  // child after a parent), so it learns the new voice from its first words.
  // The shortest voice listens only while the shorter one is ahead of the
  // plain one (a voice shorter than a woman's is a child's). It learns only
  // from phrases taken clearly, or not over other voices (`taken`), and
  // each must score better than the shorter voice by a margin: other
  // speech, babble and reverb forced onto the catalogue's phrases score
  // better the more they are slowed, and once there, other speech is
  // turned away less. The shorter voice learns from all but speech turned
  // away far below the line (`near`), so that a child whose phrases the
  // plain voice turns away still reaches it.
  void LearnVoice(const Decoder::Hypothesis& plain, const Heard& heard, const Heard& phrase,
                  const std::array<double, kRungs>& lead, bool taken, bool near) {
    const double perFrame = phrase[0] ? plain.acoustic / plain.frames : 0;
    const bool fell = phrase[0] && plainPhrases_ > 0 && perFrame < plainMean_ - kPlainFall;
    if (phrase[0]) plainMean_ = plainPhrases_++ > 0 ? plainMean_ + (perFrame - plainMean_) / kPlainRecent : perFrame;
    for (int k = 1; k < kRungs; ++k) {
      Slower& r = slower_[k - 1];
      if (!r.decoder) continue;
      if (phrase[k] && phrase[k - 1] && (k == 1 ? near : taken)) {
        r.lead = std::clamp(r.lead + lead[k] - (k > 1 ? kShortestCost : 0), -kLeadBound, kLeadBound);
        if (k == 1) voiceHeard_ = true;
      }
      r.sinceHeard = heard[k] ? 0 : r.sinceHeard + 1;
      // A new voice wakes the shorter voice; the shortest follows once
      // that one is ahead.
      const bool woken = k == 1 && fell;
      const bool belowAhead = k == 1 || slower_[k - 2].lead > 0;
      const bool due = r.sinceHeard + 1 >= kShorterHearsEvery;
      r.listens = belowAhead && (r.lead > -kShorterPausedLead || (lead[k] > 0 && near) || woken || due);
    }
    if (shared_->options.trace)
      std::fprintf(stderr,
                   "voice: shorter one %s, scored %.1f better, ahead by %.1f; shortest one %s, scored %.1f better "
                   "than it, ahead by %.1f; plain one %.1f per frame%s\n",
                   heard[1] ? "heard" : "paused", lead[1], slower_[0].lead, heard[2] ? "heard" : "paused", lead[2],
                   slower_[1].lead, perFrame, fell ? ", clearly worse than of late" : "");
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
        carried_.clear();  // the next recording is another room
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
      if (!denoiser_) {
        Feed(buffer.data(), static_cast<std::size_t>(n));
        continue;
      }
      const auto& clean = denoiser_->Run(buffer.data(), static_cast<std::size_t>(n));
      if (!clean.empty()) Feed(clean.data(), clean.size());
    }
  }

  std::shared_ptr<PocketSphinxEngine::Shared> shared_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread worker_;
  std::shared_ptr<AudioInput> input_;
  std::unique_ptr<Decoder> grammarDecoder_, freeDecoder_, dictationDecoder_;
  // The grammar heard as the shorter voice and as the shortest: the rungs
  // above the plain voice's decoder.
  struct Slower {
    std::unique_ptr<Decoder> decoder;
    DecoderKind kind;
    // How much better per frame it has scored than the rung below, summed
    // over the session's phrases: above 0, its readings count (when the
    // rung below is ahead too).
    double lead = 0;
    bool listens = true;
    int sinceHeard = 0;  // utterances since it last heard one
  };
  // The shortest voice waits, like later on, until the shorter one is
  // ahead: on the session's first words every decoder hears them again
  // once the microphone is learnt, and a third grammar there (the slowest
  // to hear) kept the first answer some 150 ms past the others.
  std::array<Slower, kRungs - 1> slower_{
      {{nullptr, DecoderKind::ShorterGrammar}, {nullptr, DecoderKind::ShortestGrammar, -kShortestBehind, false}}};
  int freeRung_ = 0;  // the rung whose speed the free model heard the utterance at
  SpeakingPace pace_;
  // What each rung has learnt of the speaker, the frames it had heard when
  // its model last moved, and the transform it hears with (empty: none);
  // the one the free model hears with.
  std::array<std::unique_ptr<SpeakerAdaptation>, kRungs> adaptation_;
  std::array<double, kRungs> adaptedFrames_{};
  std::array<std::string, kRungs> transforms_;
  std::string freeTransform_;
  // The model moves after each second phrase or so, drawn towards no change
  // as if three phrases had said so, and remembers some thirty phrases'
  // worth (a child after a parent is followed within some ten); a
  // hypothesis's ways of saying it are tried up to this many.
  static constexpr double kAdaptEvery = 150, kAdaptPrior = 300, kAdaptMemory = 3000;
  static constexpr std::size_t kMostVariants = 32;
  // The lead is held within this bound, some five phrases' worth (a phrase
  // mostly moves it by 5 to 10), so a new speaker (a child after a parent)
  // takes over within some ten phrases however long the session.
  static constexpr double kLeadBound = 40;
  // Whether both voices have heard a phrase, so the lead tells the voice;
  // and how much better per frame the slower voice must score a phrase to
  // be read before then (the cautious end of the range that was best over
  // the bench's Japanese development voices and rooms, each phrase taken as
  // the first).
  bool voiceHeard_ = false;
  static constexpr double kFirstPhraseLead = 2.5;
  // How much better per frame the shortest voice must score a phrase than
  // the shorter one for it to count in its favour: over the bench's
  // development voices, before either moved towards the speaker, women and
  // reverb scored it 0 to 1 better than the shorter voice (yet were heard
  // worse), children 2 to 5; once both have, a woman's sad voice some 2.5,
  // a younger child 5 to 14.
  static constexpr double kShortestCost = 1.5;
  // The shortest voice starts this far behind, so that no one phrase (a
  // television switched on, heard as words) carries the session there.
  static constexpr double kShortestBehind = 1.5;
  // How much higher the rejection line is heard as the shortest voice:
  // over the bench's Japanese development voices, 2 turned away as much
  // other speech there as the shorter voice does (a woman's sad voice
  // carried there: 80 to 96%), for a phrase in a hundred.
  static constexpr double kShortestLine = 2;
  // How far above the rejection line a phrase's margin must be for it to
  // count as clearly taken: the catalogue's phrases mostly score 6 to 9
  // above it, other speech taken by chance just above it.
  static constexpr double kClearlyTaken = 5;
  // How far below the rejection line speech says nothing of the voice: a
  // child's phrases that the plain voice turns away score at most some 4
  // below it, a man's other talk mostly 10 to 40.
  static constexpr double kFarBelowLine = 5;
  // How much lower the rejection line is for words said over other voices
  // (the utterance was heard afresh where they rose above them): over the
  // bench's babble, other speech said over it scored at least 4 below the
  // line (most of it 10 to 40), the phrases it turned away 0 to 13 below
  // (both languages' development voices).
  static constexpr double kUnderTalkAllowance = 3;
  // How much further ahead per frame a Japanese phrase must be for each
  // step its confidence falls (by a factor of e). Over the bench's Japanese
  // voices and rooms, 1 to 3 turned away some 4% more of other speech for
  // as many phrases kept, on the part tuned on and on the part not. Beside
  // the English phone loop, which turns away most other speech already, it
  // only cost phrases.
  static constexpr double kDoubtWeight = 2;
  // How far the rung below must be ahead for a slower voice to pause, and
  // how often it hears while paused (every this many utterances).
  static constexpr double kShorterPausedLead = 20;
  static constexpr int kShorterHearsEvery = 4;
  // The plain voice's score per frame over its recent phrases (about the
  // last kPlainRecent), and how far below it a phrase scores when another
  // voice speaks.
  double plainMean_ = 0;
  long plainPhrases_ = 0;
  static constexpr double kPlainRecent = 8;
  static constexpr double kPlainFall = 6;
  std::unique_ptr<Denoiser> denoiser_ =
      shared_->options.noiseSuppressDb < 0 ? std::make_unique<Denoiser>(shared_->options.noiseSuppressDb) : nullptr;
  std::shared_ptr<const CompiledGrammar> grammar_;
  std::shared_ptr<const SearchGraph> graph_;
  bool japanese_ = false;
  long heldSamples_ = 0;  // quiet after the voice detection's end of speech
  long utteranceSamples_ = 0;  // fed to the decoders since they heard speech
  static constexpr long kRestartSamples = 3 * kSampleRate / 10;
  LevelGate gate_;
  std::vector<std::int16_t> utterance_, carried_;
  static constexpr std::size_t kCarriedSamples = kSampleRate / 5;
  // Sound after words fell back to the voices under them, not yet heard by
  // the decoders.
  std::vector<std::int16_t> withheld_, released_;
  // How much of the sound before words that rose above other voices is
  // heard with them, and how long after they fell back to the voices the
  // decoders still hear (frames).
  static constexpr std::size_t kRiseLeadSamples = kSampleRate / 10;
  static constexpr int kTrailFrames = 8, kTalkWordFrames = 20;
  static constexpr std::size_t kMaxUtterance = 30 * kSampleRate;
  std::string prefix_;
  bool stop_ = false, listening_ = false, rulesActive_ = false, dictationActive_ = false;
  bool grammarReady_ = false, speechSeen_ = false;
  // Whether the decoders learning the microphone heard this utterance
  // again already, before its end; and the quiet after loud sound (in
  // frames) from which the words may have ended.
  bool heardAgain_ = false;
  // Whether the free model waits to hear this utterance until the grammar's
  // decoder has learnt the microphone from it.
  bool freeWaits_ = false;
  static constexpr int kWordsEndedFrames = 10;
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
PocketSphinxEngine::~PocketSphinxEngine() {
  CancelWhenReady();
  if (preload_.joinable()) preload_.join();
}

void PocketSphinxEngine::Preload() {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->loading || preload_.joinable()) return;
    shared_->loading = true;
  }
  preload_ = std::thread([shared = shared_] {
    shared->GetLexicon();
    for (DecoderKind kind : {DecoderKind::Grammar, DecoderKind::Free, DecoderKind::Dictation})
      shared->pool.Give(Decoder::Create(shared->options, kind), kind);
    for (DecoderKind kind : {DecoderKind::ShorterGrammar, DecoderKind::ShortestGrammar})
      if (RungWanted(shared->options, kind)) shared->pool.Give(Decoder::Create(shared->options, kind), kind);
    std::lock_guard lock(shared->mutex);
    shared->loading = false;
    // Under the lock, so a cancel that returns has no call still running.
    for (auto& ready : shared->whenReady) ready();
    shared->whenReady.clear();
  });
}

bool PocketSphinxEngine::Ready() const {
  std::lock_guard lock(shared_->mutex);
  return !shared_->loading;
}

void PocketSphinxEngine::WhenReady(std::function<void()> ready) {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->loading) {
      shared_->whenReady.push_back(std::move(ready));
      return;
    }
  }
  ready();
}

void PocketSphinxEngine::CancelWhenReady() {
  std::lock_guard lock(shared_->mutex);
  shared_->whenReady.clear();
}

HResult PocketSphinxEngine::Initialize() {
  std::lock_guard lock(shared_->mutex);
  shared_->lastError.clear();
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
  auto decoder = shared_->pool.Take(shared_->options, DecoderKind::Grammar);
  if (!decoder) {
    std::lock_guard lock(shared_->mutex);
    shared_->lastError = "no usable acoustic model in " + shared_->options.modelDir;
    return kFail;
  }
  out = std::make_shared<SphinxRecognizerFront>(
      std::make_shared<SphinxRecognizer>(shared_, std::move(decoder)));
  return kOk;
}

HResult PocketSphinxEngine::GetDefaultAudioInputToken(std::shared_ptr<AudioToken>& out) {
  auto token = std::make_shared<DefaultAudioToken>(shared_->options.audioFiles, shared_->options.audioOptions);
  token->onError = [shared = shared_](const std::string& error) {
    std::lock_guard lock(shared->mutex);
    shared->lastError = error;
  };
  out = token;
  return kOk;
}

std::string PocketSphinxEngine::LastError() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->lastError;
}

SphinxStats PocketSphinxEngine::Stats() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->stats;
}

}  // namespace quorvel::speech
