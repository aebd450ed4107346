// quorvel-cli: the program's core without a window, for scripts and checks.
// Arguments and output are UTF-8; the core works in Shift_JIS.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/converter_state.h"
#include "catalogue/catalogue.h"
#include "cli/stderr_host.h"
#include "platform/paths.h"
#include "platform/sjis.h"
#include "robot/command_record.h"
#include "speech/arithmetic.h"

namespace quorvel::cli {
namespace {

constexpr int kUsageError = 2;

using Json = nlohmann::ordered_json;

Json TextOrNull(const std::optional<std::string>& text) {
  return text ? Json(sjis::ToUtf8(*text)) : Json(nullptr);
}

// One line, with ", " and ": " between the parts, as people write JSON.
std::string Dump(const Json& j) {
  if (j.is_object() || j.is_array()) {
    const bool object = j.is_object();
    std::string out(1, object ? '{' : '[');
    bool first = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
      if (!first) out += ", ";
      first = false;
      if (object) out += Json(it.key()).dump() + ": ";
      out += Dump(*it);
    }
    return out + (object ? '}' : ']');
  }
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void PrintJson(const Json& j) { std::cout << Dump(j) << "\n"; }

struct CatalogueArgs {
  int dataSet = 0;
  std::string scanFolder;
  long long capacity = kDefaultCapacity;
  std::string file;
};

int RunCatalogue(const CatalogueArgs& a) {
  StderrHost host;
  ConverterState state;
  state.mainWindow = &host;
  state.dataSet = a.dataSet;
  state.items.assign(static_cast<std::size_t>(ClampCapacity(a.capacity)), VoiceItem{});
  std::string path;
  if (!platform::ToInternalPath(a.file, path)) {
    std::cerr << "the file name cannot be written in Shift_JIS: " << a.file << "\n";
    return 1;
  }
  bool ok;
  if (a.dataSet == kDictionaryDataSet) {
    state.dictionaryPath = path;
    ok = LoadCatalogue(state, a.dataSet);
  } else {
    ok = LoadCatalogueFile(state, a.dataSet, path);
  }
  if (!ok) return 1;
  if (!a.scanFolder.empty()) {
    std::string folder;
    if (!platform::ToInternalPath(a.scanFolder, folder)) {
      std::cerr << "the folder name cannot be written in Shift_JIS: " << a.scanFolder << "\n";
      return 1;
    }
    ScanProgramFolderAt(state, folder);
  }
  Json items = Json::array();
  for (int i = 0; i < state.itemCount; ++i) {
    const VoiceItem& v = state.items[static_cast<std::size_t>(i)];
    items.push_back({{"name", TextOrNull(v.name)},
                     {"reading", TextOrNull(v.reading)},
                     {"programPath", TextOrNull(v.programPath)},
                     {"voiceId", v.voiceId},
                     {"duration", v.duration},
                     {"flags", v.flags}});
  }
  PrintJson({{"undefinedIndex", state.undefinedIndex}, {"items", items}});
  return 0;
}

int RunParse(const std::string& text) {
  ArithmeticExpr expr;
  bool found = ParseArithmetic(sjis::FromUtf8Lossy(text), expr);
  PrintJson({{"op", expr.op}, {"left", expr.left}, {"right", expr.right}});
  return found ? 0 : 1;
}

void PrintRecord(const RemoteCommand& r) { std::cout << FormatRecordHex(r) << "\n"; }

}  // namespace

int Main(int argc, char** argv) {
  CLI::App app{"Quorvel without a window: catalogues, arithmetic and command records"};
  app.require_subcommand(1);

  CatalogueArgs cat;
  auto* catalogue = app.add_subcommand("catalogue", "load a catalogue file and print its entries as JSON");
  catalogue->add_option("--dataset", cat.dataSet, "data set 0 to 5 (5: FILE is the user dictionary)")
      ->check(CLI::Range(0, 5));
  catalogue->add_option("--scan", cat.scanFolder, "program folder to scan (data set 4)");
  catalogue->add_option("--capacity", cat.capacity, "capacity of the item table");
  catalogue->add_option("FILE", cat.file, "catalogue file")->required();

  std::string parseText;
  auto* parse = app.add_subcommand("parse", "parse an arithmetic text");
  parse->add_option("TEXT", parseText, "text such as 3+4")->required();

  auto* record = app.add_subcommand("record", "print a 16-byte command record in hex");
  record->require_subcommand(1);
  long long voiceId = 0, duration = 0, volume = 50, interval = 1000;
  int recordDataSet = 0;
  auto* voice = record->add_subcommand("voice", "play-voice record");
  voice->add_option("ID", voiceId, "voice number")->required();
  voice->add_option("--duration", duration, "playing time in seconds");
  voice->add_option("--volume", volume, "playback volume");
  voice->add_option("--dataset", recordDataSet, "current data set")->check(CLI::Range(0, 5));
  voice->add_option("--interval", interval, "REMOTE_INTERVAL");
  std::string arithmeticText;
  auto* arithmetic = record->add_subcommand("arithmetic", "arithmetic record");
  arithmetic->add_option("TEXT", arithmeticText, "text such as 3+4")->required();
  auto* run = record->add_subcommand("run", "run-program record");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsageError;
  }

  if (*catalogue) return RunCatalogue(cat);
  if (*parse) return RunParse(parseText);
  if (*voice) {
    PrintRecord(MakeVoiceCommand(static_cast<std::int16_t>(voiceId),
                                 static_cast<std::int16_t>(duration),
                                 static_cast<std::int16_t>(volume), recordDataSet,
                                 static_cast<std::int32_t>(interval)));
    return 0;
  }
  if (*arithmetic) {
    ArithmeticExpr expr;
    if (!ParseArithmetic(sjis::FromUtf8Lossy(arithmeticText), expr)) {
      std::cerr << "no operator in the text\n";
      return 1;
    }
    PrintRecord(MakeArithmeticCommand(expr));
    return 0;
  }
  if (*run) {
    PrintRecord(MakeRunProgramCommand());
    return 0;
  }
  return kUsageError;
}

}  // namespace quorvel::cli

int main(int argc, char** argv) { return quorvel::cli::Main(argc, argv); }
