#include "card_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "platform/files.h"
#include "robot/flashair.h"
#include "robot/record_decode.h"

namespace quorvel::card {
namespace {

// The few places where Winsock and BSD sockets differ.
#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
constexpr int kSendFlags = 0;
void CloseSocket(Socket s) { ::closesocket(s); }
bool StartSockets() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
Socket Accept(Socket s) { return ::accept(s, nullptr, nullptr); }
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client gone mid-reply is no signal
void CloseSocket(Socket s) { ::close(s); }
bool StartSockets() { return true; }
Socket Accept(Socket s) { return ::accept4(s, nullptr, nullptr, SOCK_CLOEXEC); }
#endif

constexpr std::string_view kPrepareTarget = "/upload.cgi?WRITEPROTECT=OFF&UPDIR=/ADDON";
constexpr std::string_view kDispositionStart =
    "Content-Disposition: form-data; name=\"upload.cgi\";filename=\"";

bool Consume(std::string_view& s, std::string_view prefix) {
  if (s.substr(0, prefix.size()) != prefix) return false;
  s.remove_prefix(prefix.size());
  return true;
}

struct Request {
  std::string method, target, version;
  std::string contentType;
  std::size_t contentLength = 0;
  std::string body;
};

void SendAll(Socket fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, kSendFlags);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void Reply(Socket fd, int status, const std::string& body) {
  const char* reason = status == 200 ? "OK" : status == 400 ? "Bad Request" : "Status";
  SendAll(fd, "HTTP/1.1 " + std::to_string(status) + " " + reason +
                  "\r\nContent-Type: text/plain\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

void Log(const std::string& line) {
  std::cout << line << std::endl;  // flushed: tests read it line by line
}

// Reads the request head and a body of Content-Length bytes. False on a
// connection that ends early or a head that is not HTTP.
bool ReadRequest(Socket fd, Request& r, bool stopAfterRequestLine) {
  std::string buf;
  char chunk[4096];
  std::size_t headEnd;
  while ((headEnd = buf.find("\r\n\r\n")) == std::string::npos ||
         (stopAfterRequestLine && buf.find("\r\n") == std::string::npos)) {
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0 || buf.size() > (1u << 16)) return false;
    buf.append(chunk, static_cast<std::size_t>(n));
  }
  if (stopAfterRequestLine) return false;
  std::string_view head(buf.data(), headEnd);
  std::size_t eol = head.find("\r\n");
  std::string_view line = head.substr(0, eol);
  std::size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
  if (sp1 == std::string_view::npos || sp1 == sp2) return false;
  r.method = line.substr(0, sp1);
  r.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  r.version = line.substr(sp2 + 1);
  std::string_view rest = eol == std::string_view::npos ? "" : head.substr(eol + 2);
  while (!rest.empty()) {
    std::size_t e = rest.find("\r\n");
    std::string_view h = rest.substr(0, e);
    rest = e == std::string_view::npos ? "" : rest.substr(e + 2);
    std::size_t colon = h.find(':');
    if (colon == std::string_view::npos) continue;
    std::string key(h.substr(0, colon));
    for (auto& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string_view value = h.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    if (key == "content-type") r.contentType = value;
    if (key == "content-length") r.contentLength = std::stoul(std::string(value));
  }
  if (r.contentLength > (64u << 20)) return false;
  r.body = buf.substr(headEnd + 4);
  while (r.body.size() < r.contentLength) {
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    r.body.append(chunk, static_cast<std::size_t>(n));
  }
  r.body.resize(r.contentLength);
  return true;
}

void Handle(Socket fd, const ServeOptions& o) {
  Request r;
  bool whole = false;
  try {
    whole = ReadRequest(fd, r, o.closeEarly);
  } catch (const std::exception&) {
    whole = false;
  }
  if (!whole) {
    Log(o.closeEarly ? "CLOSED early" : "REJECT unreadable request");
    return;
  }
  if (o.noAnswer) {
    Log("SILENT " + r.method + " " + r.target);
    char c;
    while (::recv(fd, &c, 1, 0) > 0) {
    }
    return;
  }
  if (o.dropUploads && r.method == "POST") {
    Log("DROPPED POST " + r.target);
    return;
  }
  if (o.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(o.delayMs));
  if (r.method == "GET" && r.target == kPrepareTarget) {
    Log("GET " + r.target);
    Reply(fd, 200, o.prepareReply);
    return;
  }
  std::string why;
  std::optional<Upload> up;
  if (r.method != "POST" || r.target != "/upload.cgi") why = "not an upload: " + r.method + " " + r.target;
  else if (r.version != "HTTP/1.0") why = "version " + r.version;
  else if (r.contentType != UploadHeader().substr(std::string_view("Content-Type: ").size()))
    why = "content type " + r.contentType;
  else if (!(up = ParseUploadBody(r.body))) why = "body layout";
  std::optional<std::string> name;
  if (why.empty() && !(name = StoredName(up->name))) why = "file name " + up->name;
  if (why.empty()) {
    const auto addon = std::filesystem::path(o.dir) / "ADDON";
    std::error_code ec;
    std::filesystem::create_directories(addon, ec);
    // Whole file or none: the watcher must never see half a record.
    const auto tmp = addon / (*name + ".part");
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out.write(up->data.data(), static_cast<std::streamsize>(up->data.size()));
      if (!out) why = "cannot store " + *name;
    }
    if (why.empty()) std::filesystem::rename(tmp, addon / *name, ec);
    if (ec) why = "cannot store " + *name;
  }
  if (!why.empty()) {
    Log("REJECT " + why);
    Reply(fd, 400, "Bad Request");
    return;
  }
  Log("POST " + up->name + " " + std::to_string(up->data.size()));
  Reply(fd, o.uploadStatus, "<html><body>Success</body></html>");
}

}  // namespace

std::optional<Upload> ParseUploadBody(std::string_view body) {
  const std::string boundaryLine = std::string("--") + kUploadBoundary + "\r\n";
  const std::string closing = std::string("\r\n--") + kUploadBoundary + "--\r\n";
  std::string_view s = body;
  if (!Consume(s, boundaryLine) || !Consume(s, kDispositionStart)) return std::nullopt;
  std::size_t quote = s.find("\"\r\n");
  if (quote == std::string_view::npos) return std::nullopt;
  Upload up{std::string(s.substr(0, quote)), {}};
  if (up.name.find('"') != std::string::npos) return std::nullopt;
  s.remove_prefix(quote + 3);
  if (!Consume(s, boundaryLine) || !Consume(s, "\r\n")) return std::nullopt;
  if (s.size() < closing.size() || s.substr(s.size() - closing.size()) != closing)
    return std::nullopt;
  up.data = std::string(s.substr(0, s.size() - closing.size()));
  return up;
}

std::optional<std::string> StoredName(const std::string& uploadName) {
  std::size_t sep = uploadName.rfind('\\');
  std::string name = sep == std::string::npos ? uploadName : uploadName.substr(sep + 1);
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos)
    return std::nullopt;
  return name;
}

int Serve(const ServeOptions& o) {
  if (!StartSockets()) {
    std::cerr << "quorvel-card: no sockets\n";
    return 1;
  }
  Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(o.port));
  if (::inet_pton(AF_INET, o.bind.c_str(), &addr.sin_addr) != 1) {
    std::cerr << "quorvel-card: not an IPv4 address: " << o.bind << "\n";
    return 2;
  }
  if (s == kNoSocket || ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(s, 16) != 0) {
    std::perror("quorvel-card: listen");
    return 1;
  }
  socklen_t len = sizeof addr;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  Log("port " + std::to_string(ntohs(addr.sin_port)));
  for (;;) {
    Socket c = Accept(s);
    if (c == kNoSocket) continue;
    Handle(c, o);
    CloseSocket(c);
  }
}

namespace {
// What tells one version of the command file from the next.
struct Stamp {
  std::filesystem::file_time_type written{};
  std::uintmax_t size = 0;
  bool operator==(const Stamp&) const = default;
};

bool StampOf(const std::string& file, Stamp& stamp) {
  std::error_code ec;
  stamp.written = std::filesystem::last_write_time(file, ec);
  if (ec) return false;
  stamp.size = std::filesystem::file_size(file, ec);
  return !ec;
}
}  // namespace

int Watch(const std::string& dir, int intervalMs) {
  const std::string file = (std::filesystem::path(dir) / "ADDON" / "REMOTE.LOG").string();
  Stamp last;
  bool first = true;
  for (;;) {
    Stamp before, after;
    std::string bytes;
    if (!StampOf(file, before)) {
      first = false;  // no file yet: the first one to appear is new
    } else if (first || !(before == last)) {
      // Only a file that stayed the same while it was read, and is not empty
      // (a writer between truncating and writing), is a command.
      if (platform::ReadWholeFile(file, bytes) && StampOf(file, after) && before == after && (first || !bytes.empty())) {
        // The first look only notes what is there: it is no new command.
        if (!first) Log(DescribeRecord(bytes));
        first = false;
        last = after;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
  }
}

}  // namespace quorvel::card
