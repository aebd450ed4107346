// quorvel-card: the robot's side of Quorvel for demos and tests. "serve"
// answers like a FlashAir card's upload interface; "watch" prints each new
// command that arrives in a card folder's ADDON/REMOTE.LOG.
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "card_server.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  quorvel::platform::UseUtf8Console();
  CLI::App app{"quorvel-card: a stand-in for the robot's card"};
  app.require_subcommand(1);

  quorvel::card::ServeOptions serve;
  auto* s = app.add_subcommand("serve", "answer FlashAir uploads into CARD/ADDON");
  s->add_option("--dir", serve.dir, "card folder")->required();
  s->add_option("--bind", serve.bind, "IPv4 address to listen on (default 127.0.0.1)");
  s->add_option("--port", serve.port, "port; 0 picks a free one and prints it")
      ->check(CLI::Range(0, 65535));
  s->add_option("--prepare-reply", serve.prepareReply, "reply to the prepare GET (default SUCCESS)");
  s->add_option("--upload-status", serve.uploadStatus, "status of the upload reply (default 200)")
      ->check(CLI::Range(100, 599));
  s->add_option("--delay-ms", serve.delayMs, "wait before every reply")->check(CLI::NonNegativeNumber);
  s->add_flag("--no-answer", serve.noAnswer, "read requests and never answer");
  s->add_flag("--drop-uploads", serve.dropUploads, "answer prepares, close uploads unanswered");
  s->add_flag("--close-early", serve.closeEarly, "close each connection after its request line");

  std::string watchDir;
  int intervalMs = 100;
  auto* w = app.add_subcommand("watch", "print each new command in CARD/ADDON/REMOTE.LOG");
  w->add_option("--dir", watchDir, "card folder")->required();
  w->add_option("--interval-ms", intervalMs, "polling interval (default 100)")
      ->check(CLI::Range(10, 60000));

  try {
    std::vector<std::string> args = quorvel::platform::Utf8Arguments(argc, argv);
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(a.data());
    app.parse(static_cast<int>(argp.size()), argp.data());
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }
  if (*s) return quorvel::card::Serve(serve);
  return quorvel::card::Watch(watchDir, intervalMs);
}
