// The recogniser measured on spoken catalogues: espeak-ng, Open JTalk and
// flite speak the 50 phrases of a Japanese and an English catalogue, and 25
// sentences in neither, under many conditions (voices, rates, pitches, rooms,
// microphones, lines, noise). Conditions come in two parts that share no
// perturbation and no voice but Open JTalk's one: the development part, on
// which the recogniser's settings are tuned, and the test part, which is
// only reported. Each condition is heard in a fresh process (decoder state
// carries over between files).
// Prints per condition: in-grammar accuracy without and with UNDEFINE, other
// speech rejected; then totals per part, decoding speed and the time from
// the end of speech to the command file.
// `quorvel-speech-bench --help` prints its options.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "hearing.h"
#include "speech/engine/pocketsphinx_engine.h"
#include "speech_corpus.h"

namespace quorvel {
namespace {

struct Utterance {
  std::vector<std::int16_t> audio;
  std::string expected;  // UTF-8 entry name; empty: said outside the catalogue
  std::size_t trail = 0;  // samples of the room's noise after the words
};

// Samples a file is heard as: the lead-in of quiet, its audio, the quiet after.
long HeardSamples(const Utterance& u) {
  return static_cast<long>(speech::kLeadInSamples + u.audio.size() + speech::kTrailerSamples);
}

struct Settings {
  double rejectJa = speech::SphinxOptions{}.rejectJapanese;
  double rejectEn = speech::SphinxOptions{}.rejectEnglish;
  bool quick = false;
  bool eachAlone = false;  // every file in a session of its own
  int denoise = speech::SphinxOptions{}.noiseSuppressDb;
  double noisePath = speech::SphinxOptions{}.noisePath;
  double vad = speech::SphinxOptions{}.vadThreshold;
  double warp = speech::SphinxOptions{}.frequencyWarp;
  double shorterWarp = speech::SphinxOptions{}.shorterVoiceWarp;
  double shortestWarp = speech::SphinxOptions{}.shortestVoiceWarp;
  std::vector<std::string> decoderArgs;  // passed on to every decoder
  std::string weighedFile;  // where children append every weighed utterance
  std::string cache = "/tmp/quorvel-corpus-cache";
};
Settings gSettings;

std::int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch()).count();
}
std::int64_t RealNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch()).count();
}

struct Run {
  std::vector<std::vector<std::string>> heard;
  speech::SphinxStats stats;
  std::vector<double> latencyMs;
};

Run HearTogether(const std::string& catalogue, const std::vector<Utterance>& utterances, bool realTime) {
  auto dir = std::filesystem::temp_directory_path() / ("quorvel-speech-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "card/ADDON");
  std::ofstream(dir / "Ninshiki.xml", std::ios::binary) << catalogue;
  std::ofstream(dir / "Quorvel.ini", std::ios::binary) << "[REMOTE]\r\nREMOTE_DIR=card/\r\n";
  std::ofstream(dir / "card/ADDON/REMOTE.LOG", std::ios::binary) << "";

  std::vector<std::int64_t> speechEndRealNs(utterances.size(), 0);
  speech::SphinxOptions options;
  options.rejectJapanese = gSettings.rejectJa;
  options.rejectEnglish = gSettings.rejectEn;
  options.decoderArgs = gSettings.decoderArgs;
  options.noiseSuppressDb = gSettings.denoise;
  options.noisePath = gSettings.noisePath;
  options.vadThreshold = gSettings.vad;
  options.frequencyWarp = gSettings.warp;
  options.shorterVoiceWarp = gSettings.shorterWarp;
  options.shortestVoiceWarp = gSettings.shortestWarp;
  options.trace = std::getenv("QUORVEL_SPEECH_TRACE") != nullptr;
  for (const auto& u : utterances) options.audioFiles.push_back(u.audio);
  options.audioOptions.realTime = realTime;
  options.audioOptions.onFileStart = [&](std::size_t file, std::int64_t heardNs) {
    speechEndRealNs[file] = heardNs + (RealNs() - SteadyNs()) +
        static_cast<std::int64_t>(speech::kLeadInSamples + utterances[file].audio.size() - utterances[file].trail) *
            1000000000LL /
            speech::kSampleRate;
  };
  corpus::Hearing hearing = corpus::HearInFolder(dir.string(), std::move(options), realTime);
  if (!hearing.started) {
    std::fprintf(stderr, "the recogniser did not start\n");
    std::exit(1);
  }
  Run run;
  run.stats = hearing.stats;
  for (std::size_t i = 0; i < hearing.files.size(); ++i) {
    run.heard.push_back(hearing.files[i].texts);
    std::int64_t written = hearing.files[i].commandWrittenNs;
    if (realTime && written > speechEndRealNs[i] - 2000000000LL)
      run.latencyMs.push_back(static_cast<double>(written - speechEndRealNs[i]) / 1e6);
  }
  std::filesystem::remove_all(dir);
  return run;
}

// The utterances heard one session after another, or (--each-alone) each
// in a session of its own, as `quorvel-cli recognize` with one file and the
// first words said after the program starts are heard: nothing learnt of
// the voice or the microphone before.
Run Hear(const std::string& catalogue, const std::vector<Utterance>& utterances, bool realTime) {
  if (!gSettings.eachAlone || realTime) return HearTogether(catalogue, utterances, realTime);
  Run all;
  long before = 0;  // samples heard in the sessions before, so each weighed utterance keeps its file
  for (const auto& u : utterances) {
    Run one = HearTogether(catalogue, {u}, false);
    all.heard.push_back(one.heard.empty() ? std::vector<std::string>{} : one.heard[0]);
    for (auto w : one.stats.weighed) {
      w.atSample += before;
      all.stats.weighed.push_back(w);
    }
    all.stats.audioSamples += one.stats.audioSamples;
    all.stats.decodeSeconds += one.stats.decodeSeconds;
    before += HeardSamples(u);
  }
  return all;
}

struct Language {
  const char* code;  // "ja" or "en"
  const std::vector<corpus::Phrase>* phrases;
  const std::vector<std::string>* others;
};
const Language kLanguages[] = {{"ja", &corpus::kJapanese, &corpus::kOtherJapanese},
                               {"en", &corpus::kEnglish, &corpus::kOtherEnglish}};

// One condition's figures, as a child prints them for the parent.
struct Figures {
  int plainRight = 0, inGrammar = 0, undefRight = 0, rejected = 0, others = 0, split = 0;
  double audioSeconds = 0, decodeSeconds = 0;
};

bool Names(const std::vector<corpus::Phrase>& phrases, const std::string& text) {
  for (const auto& p : phrases)
    if (p.name == text) return true;
  return false;
}

// Right: exactly one recognition, the expected one. Rejected: nothing heard
// names an entry. A file with more than one recognition was split.
void Judge(const Run& run, const std::vector<Utterance>& utterances, const std::vector<corpus::Phrase>& phrases,
           int& right, int& rejected, int& split) {
  for (std::size_t i = 0; i < utterances.size() && i < run.heard.size(); ++i) {
    const auto& heard = run.heard[i];
    if (heard.size() > 1) ++split;
    if (std::getenv("QUORVEL_BENCH_MISSES") && !(heard.size() == 1 && heard[0] == utterances[i].expected)) {
      std::string all;
      for (const auto& h : heard) all += "[" + h + "]";
      std::fprintf(stderr, "miss: expected [%s] heard %s\n", utterances[i].expected.c_str(), all.c_str());
    }
    if (!utterances[i].expected.empty()) {
      right += heard.size() == 1 && heard[0] == utterances[i].expected;
      continue;
    }
    bool named = false;
    for (const auto& h : heard) named = named || Names(phrases, h);
    rejected += !named;
  }
}

// The utterances weighed against the free model, each with its file: for
// tuning the thresholds on the development part. The fourth column says
// whether the grammar heard the right phrase (in-grammar speech) or nothing
// (other speech, which is then rejected whatever the margin), the fifth is
// the margin set against the threshold; the last are the free model's own
// score (how well anything the model knows fits), the voice both heard the
// sound as (0 plain, higher ones slower) and the grammar's confidence.
void AppendWeighed(const Run& run, const std::vector<Utterance>& utterances, const std::string& lang,
                   const std::string& condition) {
  if (gSettings.weighedFile.empty()) return;
  std::ofstream out(gSettings.weighedFile, std::ios::app);
  std::vector<long> ends;
  long at = 0;
  for (const auto& u : utterances)
    ends.push_back(at += HeardSamples(u));
  for (const auto& w : run.stats.weighed) {
    std::size_t file = static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), w.atSample) - ends.begin());
    if (file >= utterances.size()) continue;
    const std::string& expected = utterances[file].expected;
    out << lang << '\t' << condition << '\t' << (expected.empty() ? "other" : "in") << '\t'
        << (expected.empty() ? w.grammar.empty() : w.grammar == expected) << '\t' << w.margin << '\t' << w.difference << '\t'
        << w.frames << '\t' << w.speechFrames << '\t' << w.wordFrames << '\t' << w.grammar << '\t' << w.free << '\t' << w.rung << '\t' << w.confidence << '\n';
  }
}

Figures RunCondition(const Language& lang, const corpus::Condition& c) {
  std::vector<Utterance> inGrammar, all;
  const std::size_t step = gSettings.quick ? 5 : 1;
  for (std::size_t i = 0; i < lang.phrases->size(); i += step) {
    const auto& p = (*lang.phrases)[i];
    inGrammar.push_back({corpus::Speak(p.reading, c, gSettings.cache), p.name});
  }
  all = inGrammar;
  for (std::size_t i = 0; i < lang.others->size(); i += step)
    all.push_back({corpus::Speak((*lang.others)[i], c, gSettings.cache), ""});
  for (const auto& u : all)
    if (u.audio.empty()) {
      std::fprintf(stderr, "espeak-ng or sox failed for %s\n", c.name.c_str());
      std::exit(1);
    }
  Figures f;
  f.inGrammar = static_cast<int>(inGrammar.size());
  f.others = static_cast<int>(all.size() - inGrammar.size());
  int unused = 0;
  Run plain = Hear(corpus::CatalogueOf(*lang.phrases, 100, 0), inGrammar, false);
  Judge(plain, inGrammar, *lang.phrases, f.plainRight, unused, f.split);
  Run undef = Hear(corpus::CatalogueOf(*lang.phrases, 100, 999), all, false);
  Judge(undef, all, *lang.phrases, f.undefRight, f.rejected, f.split);
  AppendWeighed(undef, all, lang.code, c.name);
  f.audioSeconds = static_cast<double>(undef.stats.audioSamples) / speech::kSampleRate;
  f.decodeSeconds = undef.stats.decodeSeconds;
  return f;
}

double Percent(int a, int b) { return b ? 100.0 * a / b : 0; }

// Runs this program for one condition and reads its figures back.
struct Child {
  FILE* pipe;
  std::string lang, part, name;
};

std::string Self() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : "quorvel-speech-bench";
}

bool ReadFigures(FILE* pipe, Figures& f) {
  char line[512];
  bool ok = false;
  while (std::fgets(line, sizeof line, pipe))
    ok = std::sscanf(line, "FIGURES %d %d %d %d %d %d %lf %lf", &f.plainRight, &f.inGrammar, &f.undefRight,
                     &f.rejected, &f.others, &f.split, &f.audioSeconds, &f.decodeSeconds) == 8 || ok;
  return pclose(pipe) == 0 && ok;
}

void PrintRow(const char* label, const Figures& f) {
  std::printf("  %-34s %5.1f%% %5.1f%% %5.1f%% %6d %6.1fx\n", label, Percent(f.plainRight, f.inGrammar),
              Percent(f.undefRight, f.inGrammar), Percent(f.rejected, f.others), f.split,
              f.decodeSeconds > 0 ? f.audioSeconds / f.decodeSeconds : 0);
}

void Add(Figures& to, const Figures& f) {
  to.plainRight += f.plainRight;
  to.inGrammar += f.inGrammar;
  to.undefRight += f.undefRight;
  to.rejected += f.rejected;
  to.others += f.others;
  to.split += f.split;
  to.audioSeconds += f.audioSeconds;
  to.decodeSeconds += f.decodeSeconds;
}

// The time from the end of speech to the command file, with audio at
// speaking speed, on development voices.
void MeasureLatency() {
  std::vector<double> latencies;
  for (const Language& lang : kLanguages) {
    corpus::Condition c = corpus::Conditions(lang.code, true)[0];
    std::vector<Utterance> timed;
    for (std::size_t i = 0; i < lang.phrases->size() && timed.size() < 10; i += 5)
      timed.push_back({corpus::Speak((*lang.phrases)[i].reading, c, gSettings.cache), (*lang.phrases)[i].name,
                       static_cast<std::size_t>(c.trailSeconds * speech::kSampleRate)});
    Run live = Hear(corpus::CatalogueOf(*lang.phrases, 100, 999), timed, true);
    latencies.insert(latencies.end(), live.latencyMs.begin(), live.latencyMs.end());
  }
  if (latencies.empty()) return;
  std::sort(latencies.begin(), latencies.end());
  std::printf("end of speech to command file (audio at speaking speed, %zu utterances): median %.0f ms, "
              "95th percentile %.0f ms, max %.0f ms\n",
              latencies.size(), latencies[latencies.size() / 2],
              latencies[std::min(latencies.size() - 1, latencies.size() * 95 / 100)], latencies.back());
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  using namespace quorvel;
  if (!corpus::ToolsAvailable()) {
    std::fprintf(stderr, "espeak-ng, Open JTalk, flite and sox are needed (make deps)\n");
    return 1;
  }
  std::string onlyPart, onlyLanguage, childLang, childPart;
  int childIndex = -1, jobs = 2;
  bool latency = true;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--part") onlyPart = next();
    else if (a == "--language") onlyLanguage = next();
    else if (a == "--jobs") jobs = std::max(1, std::atoi(next().c_str()));
    else if (a == "--reject-ja") gSettings.rejectJa = std::atof(next().c_str());
    else if (a == "--reject-en") gSettings.rejectEn = std::atof(next().c_str());
    else if (a == "--weighed") gSettings.weighedFile = next();
    else if (a == "--quick") gSettings.quick = true;
    else if (a == "--each-alone") gSettings.eachAlone = true;
    else if (a == "--denoise") gSettings.denoise = std::atoi(next().c_str());
    else if (a == "--noise-path") gSettings.noisePath = std::atof(next().c_str());
    else if (a == "--vad") gSettings.vad = std::atof(next().c_str());
    else if (a == "--warp") gSettings.warp = std::atof(next().c_str());
    else if (a == "--shorter-warp") gSettings.shorterWarp = std::atof(next().c_str());
    else if (a == "--shortest-warp") gSettings.shortestWarp = std::atof(next().c_str());
    else if (a == "--decoder") {
      std::istringstream words(next());
      for (std::string w; words >> w;) gSettings.decoderArgs.push_back(w);
    }
    else if (a == "--no-latency") latency = false;
    else if (a == "--child") {
      childLang = next();
      childPart = next();
      childIndex = std::atoi(next().c_str());
    } else {
      // A mistyped option would otherwise start a quarter hour's run.
      std::fprintf(a == "--help" ? stdout : stderr,
                   "usage: quorvel-speech-bench [--part dev|test] [--language ja|en] [--jobs N]\n"
                   "         [--reject-ja X] [--reject-en X] [--weighed FILE] [--quick] [--each-alone]\n"
                   "         [--denoise DB] [--noise-path P] [--vad T]\n"
                   "         [--warp W] [--shorter-warp W] [--shortest-warp W]\n"
                   "         [--decoder \"-name value ...\"] [--no-latency]\n");
      return a == "--help" ? 0 : 2;
    }
  }
  if (const char* cache = std::getenv("QUORVEL_CORPUS_CACHE")) gSettings.cache = cache;

  if (childIndex >= 0) {
    for (const Language& lang : kLanguages) {
      if (childLang != lang.code) continue;
      auto conditions = corpus::Conditions(lang.code, childPart == "dev");
      if (childIndex >= static_cast<int>(conditions.size())) return 2;
      Figures f = RunCondition(lang, conditions[static_cast<std::size_t>(childIndex)]);
      std::printf("FIGURES %d %d %d %d %d %d %f %f\n", f.plainRight, f.inGrammar, f.undefRight, f.rejected,
                  f.others, f.split, f.audioSeconds, f.decodeSeconds);
      return 0;
    }
    return 2;
  }

  // Every condition in a fresh process, jobs at a time, in a fixed order.
  struct Task {
    std::string lang, part, name;
    int index;
  };
  std::vector<Task> tasks;
  std::vector<std::string> leftOut;
  for (const Language& lang : kLanguages)
    for (const char* part : {"dev", "test"}) {
      if ((!onlyLanguage.empty() && onlyLanguage != lang.code) || (!onlyPart.empty() && onlyPart != part)) continue;
      auto conditions = corpus::Conditions(lang.code, std::string(part) == "dev");
      for (std::size_t i = 0; i < conditions.size(); ++i) {
        if (corpus::VoiceInstalled(conditions[i]))
          tasks.push_back({lang.code, part, conditions[i].name, static_cast<int>(i)});
        else
          leftOut.push_back(std::string(lang.code) + " " + part + " " + conditions[i].name);
      }
    }
  std::vector<Figures> results(tasks.size());
  std::vector<bool> ok(tasks.size(), false);
  const std::string self = Self();
  for (std::size_t start = 0; start < tasks.size(); start += static_cast<std::size_t>(jobs)) {
    std::vector<FILE*> pipes;
    for (std::size_t k = start; k < std::min(tasks.size(), start + static_cast<std::size_t>(jobs)); ++k) {
      std::ostringstream cmd;
      cmd << "'" << self << "' --child " << tasks[k].lang << " " << tasks[k].part << " " << tasks[k].index
          << " --reject-ja " << gSettings.rejectJa << " --reject-en " << gSettings.rejectEn
          << " --denoise " << gSettings.denoise << " --noise-path " << gSettings.noisePath << " --vad " << gSettings.vad
          << " --warp " << gSettings.warp << " --shorter-warp " << gSettings.shorterWarp
          << " --shortest-warp " << gSettings.shortestWarp
          << (gSettings.quick ? " --quick" : "") << (gSettings.eachAlone ? " --each-alone" : "")
          << (gSettings.weighedFile.empty() ? "" : " --weighed '" + gSettings.weighedFile + "'");
      if (!gSettings.decoderArgs.empty()) {
        std::string joined;
        for (const auto& w : gSettings.decoderArgs) joined += (joined.empty() ? "" : " ") + w;
        cmd << " --decoder '" << joined << "'";
      }
      pipes.push_back(popen(cmd.str().c_str(), "r"));
    }
    for (std::size_t k = 0; k < pipes.size(); ++k)
      ok[start + k] = pipes[k] && ReadFigures(pipes[k], results[start + k]);
  }

  std::printf("rejection thresholds: Japanese %g, English %g (per frame)\n", gSettings.rejectJa, gSettings.rejectEn);
  std::printf("  %-34s %6s %6s %6s %6s %7s\n", "condition", "plain", "UNDEF", "reject", "split", "speed");
  std::string current;
  Figures total;
  auto flush = [&] {
    if (current.empty()) return;
    PrintRow(("all of " + current).c_str(), total);
    total = Figures{};
  };
  for (std::size_t k = 0; k < tasks.size(); ++k) {
    std::string group = tasks[k].lang + " " + tasks[k].part;
    if (group != current) {
      flush();
      current = group;
      std::printf("%s (%s)\n", tasks[k].lang == "ja" ? "Japanese" : "English",
                  tasks[k].part == "dev" ? "development: tuned on" : "test: not tuned on");
    }
    if (!ok[k]) {
      std::printf("  %-34s failed\n", tasks[k].name.c_str());
      continue;
    }
    PrintRow(tasks[k].name.c_str(), results[k]);
    Add(total, results[k]);
  }
  flush();
  for (const auto& name : leftOut) std::printf("left out, its voice is not installed: %s\n", name.c_str());
  std::printf("plain: in-grammar right without UNDEFINE; UNDEF: in-grammar right with UNDEFINE; reject: other "
              "speech rejected with UNDEFINE; split: files heard as more than one recognition; speed: decoding "
              "with rejection against real time, one core\n");
  if (latency) MeasureLatency();
  return 0;
}
