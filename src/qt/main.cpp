// Quorvel: the desktop program. Works in the folder of the catalogue files
// (the current one, the one given, or the user's data folder); reads and
// writes Quorvel.ini beside its executable or in the user's configuration.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>

#include <filesystem>
#include <iostream>

#include "app/converter_state.h"
#include "app/data_folder.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/sjis.h"

#include "main_window_host.h"
#include "translations.h"
#include "robot/flashair.h"
#include "speech/engine/pocketsphinx_engine.h"

// With QUORVEL_STARTUP_REPORT set, prints when the window was shown and when
// the recogniser's check box came on, in ms from the start, then quits (the
// start-up benchmark).
void ReportStartUp(const QElapsedTimer& sinceStart, quorvel::qt::MainWindowHost& window) {
  QTimer::singleShot(0, &window.window(), [&sinceStart] {
    std::cout << "shown " << sinceStart.elapsed() << " ms" << std::endl;
  });
  auto* poll = new QTimer(&window.window());
  QObject::connect(poll, &QTimer::timeout, &window.window(), [&sinceStart, &window, poll] {
    if (!window.window().GetCheck(1037) && sinceStart.elapsed() < 20000) return;
    std::cout << "recogniser " << (window.window().GetCheck(1037) ? "on" : "off") << " "
              << sinceStart.elapsed() << " ms" << std::endl;
    poll->stop();
    window.window().reject();
  });
  poll->start(5);
}

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvel");
  QApplication::setDesktopFileName("org.quorvel.Quorvel");
  quorvel::qt::InstallQtTranslations(app);
  QCommandLineParser parser;
  parser.setApplicationDescription("Makes a Temmo robot speak, run programs and act on arithmetic.");
  parser.addHelpOption();
  QCommandLineOption card("card", "FlashAir card as HOST[:PORT] (default flashair:80).", "HOST[:PORT]");
  parser.addOption(card);
  QCommandLineOption data("data", "Folder of the catalogue files (default: the current folder, else the "
                          "user's data folder).", "DIR");
  parser.addOption(data);
  QCommandLineOption audioFile("audio-file", "Hear a WAV file (PCM or floating point) in place of the microphone.",
                               "WAV");
  parser.addOption(audioFile);
  parser.process(app);
  quorvel::FlashAirTarget target;
  if (parser.isSet(card) && !quorvel::ParseCardTarget(parser.value(card).toStdString(), target)) {
    std::cerr << "Quorvel: --card expects HOST or HOST:PORT\n";
    return 2;
  }
  // The catalogues: given, configured, here, or the user's own data folder.
  const std::string exe = QCoreApplication::applicationFilePath().toStdString();
  std::string exeInternal;
  const std::string ini = quorvel::MakeIniPath(quorvel::platform::ToInternalPath(exe, exeInternal) ? exeInternal : "");
  const std::string folder = quorvel::ChooseDataFolder(
      parser.value(data).toStdString(),
      quorvel::sjis::ToUtf8(quorvel::profile::GetString("DATA", "DATA_DIR", "", quorvel::platform::ToNativePath(ini))),
      quorvel::InstalledDemoFolder(exe));
  std::error_code ec;
  if (!folder.empty()) std::filesystem::current_path(folder, ec);
  if (ec) {
    std::cerr << "Quorvel: cannot work in " << folder << ": " << ec.message() << "\n";
    return 2;
  }
  quorvel::speech::SphinxOptions speech;
  if (parser.isSet(audioFile)) {
    std::string error;
    speech.audioFiles.emplace_back();
    if (!quorvel::speech::LoadWav(parser.value(audioFile).toStdString(), speech.audioFiles.back(), error)) {
      std::cerr << "Quorvel: " << error << "\n";
      return 2;
    }
    speech.audioOptions.realTime = true;  // heard as it would be spoken
  }
  quorvel::StateOptions options;
  auto engine = std::make_shared<quorvel::speech::PocketSphinxEngine>(std::move(speech));
  engine->Preload();  // the window does not wait for the models
  options.speechEngine = engine;
  quorvel::qt::MainWindowHost window(options, parser.isSet(card) ? &target : nullptr);
  if (qEnvironmentVariableIsSet("QUORVEL_STARTUP_REPORT")) ReportStartUp(sinceStart, window);
  return window.Run();
}
