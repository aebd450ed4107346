// quorvel-card's side of the FlashAir upload interface: a small HTTP server on
// one socket, one connection at a time, that accepts exactly the requests
// Quorvel sends and stores uploaded files under CARD/ADDON. Not part of the
// program; a stand-in for the card in demos and tests.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::card {

struct Upload {
  std::string name;  // as sent, e.g. "ADDON\\REMOTE.LOG"
  std::string data;
};

// Parses an upload body laid out exactly as Quorvel builds it; nothing on any
// other layout, so a byte out of place is a rejection.
std::optional<Upload> ParseUploadBody(std::string_view body);

// The file name under ADDON for an uploaded name: the part after its last
// backslash; nothing when that is empty or could leave the folder.
std::optional<std::string> StoredName(const std::string& uploadName);

struct ServeOptions {
  std::string dir;
  std::string bind = "127.0.0.1";
  int port = 0;
  std::string prepareReply = "SUCCESS";
  int uploadStatus = 200;
  int delayMs = 0;          // before every reply
  bool noAnswer = false;    // read requests, never answer
  bool closeEarly = false;  // close a connection right after reading the request line
  bool dropUploads = false; // answer prepares, close uploads without a reply
};

// Serves until the process is ended. Prints "port N" once listening, then one
// line per request ("GET ...", "POST NAME LENGTH", "REJECT why"). Returns a
// non-zero exit code when it cannot listen.
int Serve(const ServeOptions& options);

// Prints one decoded line per new command written to CARD/ADDON/REMOTE.LOG,
// polling every intervalMs, until the process is ended.
int Watch(const std::string& dir, int intervalMs);

}  // namespace quorvel::card
