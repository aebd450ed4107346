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
#include "catalogue/grammar_writer.h"
#include "cli/arguments.h"
#include "cli/recognize.h"
#include "cli/stderr_host.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/sjis.h"
#include "app/controls.h"
#include "app/main_list.h"
#include "platform/files.h"
#include "robot/command_record.h"
#include "robot/flashair.h"
#include "robot/record_decode.h"
#include "robot/sending.h"
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
  if (!ToInternal(a.file, path, "file")) return 1;
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
    if (!ToInternal(a.scanFolder, folder, "folder")) return 1;
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

int RunDecode(const std::string& file) {
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes)) {
    std::cerr << "cannot read " << file << "\n";
    return 1;
  }
  std::string line = DescribeRecord(bytes);
  std::cout << line << "\n";
  return line.rfind("invalid", 0) == 0 ? 1 : 0;
}

struct SendArgs {
  std::string ini;
  std::string card;
  std::string text;
};

int RunSend(const SendArgs& a) {
  StateOptions options;
  if (!a.ini.empty() && !ToInternal(a.ini, options.iniPath, "INI file")) return 1;
  auto text = Sjis(a.text);
  if (!text) return 1;
  StderrHost host;
  ConverterState state(options);
  if (!a.card.empty()) ParseCardTarget(a.card, state.flashAir);
  state.mainWindow = &host;
  state.connectType = state.ReadIniInt("REMOTE", "CONNECT_TYPE", 1);
  // The catalogue gives durations and program paths; a number is sent without one.
  LoadCatalogue(state, state.dataSet);
  if (state.dataSet == kProgramDataSet) ScanProgramFolder(state);
  host.SetControlText(ctl::kSendEdit, *text);
  switch (SendSelection(state, true)) {
    case SendResult::Sent: return 0;
    case SendResult::Failed: return 1;
    case SendResult::Nothing: break;
  }
  std::cerr << "nothing was sent (REMOTE/CONNECT_TYPE " << state.connectType
            << ", data set " << state.dataSet << ")\n";
  return 1;
}

struct RegisterArgs {
  int dataSet = -1;  // -1: the INI's
  std::string ini;
  std::string name;
  std::string reading;
};

// The window's registration with NAME selected and READING typed, Yes
// answered: the first entry of that name gets the reading, and the whole
// catalogue is written back.
int RunRegister(const RegisterArgs& a) {
  StateOptions options;
  if (!a.ini.empty() && !ToInternal(a.ini, options.iniPath, "INI file")) return 1;
  auto name = Sjis(a.name);
  auto reading = name ? Sjis(a.reading) : std::nullopt;
  if (!name || !reading) return 1;
  StderrHost host;
  host.answerYes = true;
  ConverterState state(options);
  state.mainWindow = &host;
  if (a.dataSet >= 0) state.dataSet = a.dataSet;
  if (!LoadCatalogue(state, state.dataSet)) return 1;
  if (state.dataSet == kProgramDataSet) ScanProgramFolder(state);
  if (FindItemByName(state, *name) < 0) {
    std::cerr << "no entry named " << a.name << " in data set " << state.dataSet << "\n";
    return 1;
  }
  host.ListReset(ctl::kList);
  host.ListAdd(ctl::kList, *name);
  host.ListSelect(ctl::kList, 0);
  host.SetControlText(ctl::kReadingEdit, *reading);
  host.messages.clear();
  RegisterWord(state);
  // Only the question may have been asked; any other message is a failure.
  for (const auto& m : host.messages)
    if (m.buttons == ui::Buttons::Ok) return 1;
  return 0;
}

void PrintRecord(const RemoteCommand& r) { std::cout << FormatRecordHex(r) << "\n"; }

}  // namespace

int Main(int argc, char** argv) {
  platform::UseUtf8Console();
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

  std::string decodeFile;
  auto* decode = app.add_subcommand("decode", "print what a REMOTE.LOG file asks the robot to do");
  decode->add_option("FILE", decodeFile, "command file")->required();

  SendArgs send;
  auto* sendCmd = app.add_subcommand(
      "send", "send TEXT as Direct Send does with typed text (arithmetic, program name, voice number)");
  sendCmd->add_option("--ini", send.ini, "INI file (default: Quorvel.ini beside the executable)");
  sendCmd->add_option("--card", send.card, "FlashAir card as HOST[:PORT] (default flashair:80)")
      ->check([](const std::string& v) {
        FlashAirTarget t;
        return ParseCardTarget(v, t) ? std::string() : std::string("expected HOST or HOST:PORT");
      });
  sendCmd->add_option("TEXT", send.text, "what to send")->required();

  RecognizeArgs reco;
  auto* recognize = app.add_subcommand(
      "recognize", "recognise WAV files as the window would hear them, one line per recognition");
  recognize->add_option("--dataset", reco.dataSet, "data set 0 to 5 (default: the INI's)")
      ->check(CLI::Range(0, 5));
  recognize->add_option("--catalogue", reco.catalogue, "catalogue file in place of the data set's");
  recognize->add_option("--dictionary", reco.dictionary, "user dictionary (data set 5)");
  recognize->add_flag("--general", reco.general, "general mode: dictation only");
  recognize->add_flag("--act", reco.act, "let each recognition make the robot act");
  recognize->add_option("--ini", reco.ini, "INI file (default: Quorvel.ini beside the executable)");
  recognize->add_option("WAV", reco.wavs, "WAV files (PCM or floating point)")->required();

  RegisterArgs reg;
  auto* registerCmd = app.add_subcommand(
      "register", "register READING for the first entry named NAME, as the window's 登録 does");
  registerCmd->add_option("--dataset", reg.dataSet, "data set 0 to 5 (default: the INI's)")
      ->check(CLI::Range(0, 5));
  registerCmd->add_option("--ini", reg.ini, "INI file (default: Quorvel.ini beside the executable)");
  registerCmd->add_option("NAME", reg.name, "the entry's name")->required();
  registerCmd->add_option("READING", reg.reading, "the reading to register")->required();

  try {
    std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(a.data());
    app.parse(static_cast<int>(argp.size()), argp.data());
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
  if (*decode) return RunDecode(decodeFile);
  if (*sendCmd) return RunSend(send);
  if (*recognize) return RunRecognize(reco);
  if (*registerCmd) return RunRegister(reg);
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
