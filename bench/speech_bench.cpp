// The recogniser measured on spoken catalogues: espeak-ng speaks the 50
// phrases of a Japanese and an English catalogue at two rates with a little
// noise, plus phrases in neither. Prints in-grammar accuracy (without and
// with UNDEFINE), out-of-grammar rejection, decoding speed against real
// time, and the time from the end of an utterance to the command file.
//   quorvel-speech-bench [--reject ENTRY:PHONE:MORA ...] [--quick] [--verbose] [--coverage SHARE]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
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
};

bool gVerbose = false;
double gCoverage = -1;

struct Run {
  std::vector<std::vector<std::string>> heard;
  speech::SphinxStats stats;
  std::vector<double> latencyMs;
};

std::int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch()).count();
}
std::int64_t RealNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch()).count();
}

void Put(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

using Reject = speech::FreeSounds;

Run Hear(const std::string& catalogue, const std::vector<Utterance>& utterances, Reject reject,
         bool realTime) {
  auto dir = std::filesystem::temp_directory_path() / ("quorvel-speech-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "card/ADDON");
  Put(dir / "Ninshiki.xml", catalogue);
  Put(dir / "Quorvel.ini", "[REMOTE]\r\nREMOTE_DIR=card/\r\n");
  Put(dir / "card/ADDON/REMOTE.LOG", "");

  std::vector<std::int64_t> speechEndRealNs(utterances.size(), 0);
  speech::SphinxOptions options;
  options.freeSounds = reject;
  if (gCoverage >= 0) options.coverage = gCoverage;
  options.trace = std::getenv("QUORVEL_SPEECH_TRACE") != nullptr;
  for (const auto& u : utterances) options.audioFiles.push_back(u.audio);
  options.audioOptions.realTime = realTime;
  options.audioOptions.onFileStart = [&](std::size_t file, std::int64_t heardNs) {
    speechEndRealNs[file] = heardNs + (RealNs() - SteadyNs()) +
        static_cast<std::int64_t>(speech::kLeadInSamples + utterances[file].audio.size()) * 1000000000LL /
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

struct Language {
  const char* name;
  const char* voice;
  const std::vector<corpus::Phrase>* phrases;
  const std::vector<std::string>* others;
};

struct Score {
  int right = 0, total = 0, rejected = 0, others = 0, silent = 0;
};


Score Judge(const Run& run, const std::vector<Utterance>& utterances, const std::vector<corpus::Phrase>& phrases) {
  Score s;
  for (std::size_t i = 0; i < utterances.size(); ++i) {
    const auto& heard = run.heard[i];
    if (!utterances[i].expected.empty()) {
      ++s.total;
      if (heard.size() == 1 && heard[0] == utterances[i].expected) ++s.right;
      else if (gVerbose)
        std::printf("    missed %s: heard %s\n", utterances[i].expected.c_str(),
                    heard.empty() ? "nothing" : heard[0].c_str());
      continue;
    }
    ++s.others;
    if (heard.empty()) {
      ++s.silent;
      continue;
    }
    bool named = false;
    for (const auto& h : heard)
      for (const auto& p : phrases) named = named || h == p.name;
    if (!named) ++s.rejected;
  }
  return s;
}

double Percent(int a, int b) { return b ? 100.0 * a / b : 0; }

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  using namespace quorvel;
  if (!corpus::ToolsAvailable()) {
    std::fprintf(stderr, "espeak-ng and sox are needed (make deps)\n");
    return 1;
  }
  std::vector<Reject> rejects;
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--reject") && i + 1 < argc) {
      Reject r{};
      if (std::sscanf(argv[++i], "%lf:%lf:%lf", &r.entry, &r.phone, &r.mora) == 3) rejects.push_back(r);
    }
    else if (!std::strcmp(argv[i], "--quick")) quick = true;
    else if (!std::strcmp(argv[i], "--verbose")) gVerbose = true;
    else if (!std::strcmp(argv[i], "--coverage") && i + 1 < argc) gCoverage = std::atof(argv[++i]);
  }
  if (rejects.empty())
    rejects.push_back(speech::SphinxOptions{}.freeSounds);
  const int rates[] = {140, 190};
  const Language languages[] = {{"Japanese", "ja", &corpus::kJapanese, &corpus::kOtherJapanese},
                                {"English", "en-us", &corpus::kEnglish, &corpus::kOtherEnglish}};
  std::vector<double> latencies;
  const char* only = std::getenv("QUORVEL_BENCH_LANGUAGE");  // "Japanese" or "English"
  for (const Language& lang : languages) {
    if (only && std::strcmp(only, lang.name) != 0) continue;
    std::vector<Utterance> inGrammar, all;
    std::size_t step = quick ? 5 : 1;
    for (int rate : rates) {
      for (std::size_t i = 0; i < lang.phrases->size(); i += step) {
        const auto& p = (*lang.phrases)[i];
        inGrammar.push_back({corpus::Speak(p.reading, lang.voice, rate, 30), p.name});
      }
    }
    all = inGrammar;
    for (int rate : rates)
      for (std::size_t i = 0; i < lang.others->size(); i += step)
        all.push_back({corpus::Speak((*lang.others)[i], lang.voice, rate, 30), ""});
    double audioSeconds = 0;
    for (const auto& u : all) audioSeconds += static_cast<double>(u.audio.size()) / speech::kSampleRate;
    std::printf("%s: %zu in-grammar and %zu other utterances, %.0f s of speech, rates %d and %d wpm, noise 30 dB below speech\n",
                lang.name, inGrammar.size(), all.size() - inGrammar.size(), audioSeconds, rates[0], rates[1]);

    if (std::getenv("QUORVEL_BENCH_ONLY_PLAIN")) {
      Run plain = Hear(corpus::CatalogueOf(*lang.phrases, 100, 0), inGrammar, rejects[0], false);
      Judge(plain, inGrammar, *lang.phrases);
      continue;
    }
    Run plain = Hear(corpus::CatalogueOf(*lang.phrases, 100, 0), inGrammar, rejects[0], false);
    Score p = Judge(plain, inGrammar, *lang.phrases);
    double rt = static_cast<double>(plain.stats.audioSamples) / speech::kSampleRate / plain.stats.decodeSeconds;
    std::printf("  grammar only:        %d/%d right (%.1f%%), decoding %.1fx faster than real time\n", p.right,
                p.total, Percent(p.right, p.total), rt);
    for (Reject reject : rejects) {
      Run withUndefine = Hear(corpus::CatalogueOf(*lang.phrases, 100, 999), all, reject, false);
      Score u = Judge(withUndefine, all, *lang.phrases);
      double rt2 = static_cast<double>(withUndefine.stats.audioSamples) / speech::kSampleRate /
                   withUndefine.stats.decodeSeconds;
      std::printf("  with UNDEFINE (free sounds %g:%g:%g): %d/%d right (%.1f%%), %d/%d others rejected (%.1f%%, %d unheard), "
                  "decoding %.1fx faster than real time\n",
                  reject.entry, reject.phone, reject.mora, u.right, u.total, Percent(u.right, u.total), u.rejected, u.others,
                  Percent(u.rejected, u.others), u.silent, rt2);
    }
    std::vector<Utterance> timed(inGrammar.begin(), inGrammar.begin() + std::min<std::size_t>(8, inGrammar.size()));
    Run live = Hear(corpus::CatalogueOf(*lang.phrases, 100, 999), timed, rejects[0], true);
    latencies.insert(latencies.end(), live.latencyMs.begin(), live.latencyMs.end());
  }
  if (!latencies.empty()) {
    std::sort(latencies.begin(), latencies.end());
    double sum = 0;
    for (double l : latencies) sum += l;
    std::printf("end of speech to command file (real-time audio, %zu utterances): median %.0f ms, mean %.0f ms, max %.0f ms\n",
                latencies.size(), latencies[latencies.size() / 2], sum / latencies.size(), latencies.back());
  }
  return 0;
}
