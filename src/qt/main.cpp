// Quorvel: the desktop program. Started in the folder that holds the
// catalogue files; reads and writes Quorvel.ini beside its executable.
#include <QApplication>
#include <QCommandLineParser>

#include <iostream>

#include "main_window_host.h"
#include "translations.h"
#include "robot/flashair.h"
#include "speech/engine/pocketsphinx_engine.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvel");
  QApplication::setDesktopFileName("org.quorvel.Quorvel");
  quorvel::qt::InstallQtTranslations(app);
  QCommandLineParser parser;
  parser.setApplicationDescription("Makes a Temmo robot speak, run programs and act on arithmetic.");
  parser.addHelpOption();
  QCommandLineOption card("card", "FlashAir card as HOST[:PORT] (default flashair:80).", "HOST[:PORT]");
  parser.addOption(card);
  QCommandLineOption audioFile("audio-file", "Hear a 16-bit PCM WAV file in place of the microphone.", "WAV");
  parser.addOption(audioFile);
  parser.process(app);
  quorvel::FlashAirTarget target;
  if (parser.isSet(card) && !quorvel::ParseCardTarget(parser.value(card).toStdString(), target)) {
    std::cerr << "Quorvel: --card expects HOST or HOST:PORT\n";
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
  options.speechEngine = std::make_shared<quorvel::speech::PocketSphinxEngine>(std::move(speech));
  quorvel::qt::MainWindowHost window(options, parser.isSet(card) ? &target : nullptr);
  return window.Run();
}
