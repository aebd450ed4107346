// Quorvel: the desktop program. Started in the folder that holds the
// catalogue files; reads and writes Quorvel.ini beside its executable.
#include <QApplication>
#include <QCommandLineParser>

#include <iostream>

#include "main_window_host.h"
#include "robot/flashair.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvel");
  QApplication::setDesktopFileName("quorvel");
  QCommandLineParser parser;
  parser.setApplicationDescription("Makes a Temmo robot speak, run programs and act on arithmetic.");
  parser.addHelpOption();
  QCommandLineOption card("card", "FlashAir card as HOST[:PORT] (default flashair:80).", "HOST[:PORT]");
  parser.addOption(card);
  parser.process(app);
  quorvel::FlashAirTarget target;
  if (parser.isSet(card) && !quorvel::ParseCardTarget(parser.value(card).toStdString(), target)) {
    std::cerr << "Quorvel: --card expects HOST or HOST:PORT\n";
    return 2;
  }
  quorvel::qt::MainWindowHost window({}, parser.isSet(card) ? &target : nullptr);
  return window.Run();
}
