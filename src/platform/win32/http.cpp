// The FlashAir exchanges through WinINet. Each call opens its own internet
// handle named "Quorvel" with the system's proxy settings and closes it when
// the exchange ends. Errors come back as the system's texts.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "platform/http.h"

namespace quorvel::platform {
namespace {

struct InternetCloser {
  void operator()(HINTERNET h) const { InternetCloseHandle(h); }
};
// A WinINet handle, closed when it goes out of scope.
using Internet = std::unique_ptr<void, InternetCloser>;

// The system's text for a WinINet error, which lives in wininet.dll's table.
std::string ErrorText(DWORD error) {
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           GetModuleHandleA("wininet.dll"), error, 0, text, sizeof text, nullptr);
  if (n == 0) return "error " + std::to_string(error);
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= ' ') --n;  // the line end it ends in
  return std::string(text, n);
}

HttpReply Failure(DWORD error = GetLastError()) {
  HttpReply reply;
  reply.error = ErrorText(error);
  return reply;
}

// The same time-outs as the Linux build: a card that is not there, and one
// that accepts and never answers.
Internet Open(const HttpLimits& limits) {
  Internet session(InternetOpenA("Quorvel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return session;
  DWORD connect = static_cast<DWORD>(limits.connectTimeoutMs);
  DWORD total = static_cast<DWORD>(limits.totalTimeoutMs);
  InternetSetOptionA(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionA(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &total, sizeof total);
  InternetSetOptionA(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &total, sizeof total);
  return session;
}

long StatusOf(HINTERNET request) {
  DWORD status = 0, size = sizeof status;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    return 0;
  return static_cast<long>(status);
}

// Never from the cache: an old "SUCCESS" would say a card is there that is gone.
constexpr DWORD kFresh = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// Runs an exchange on a thread of its own and waits at most the whole
// exchange's time for it: the system's time-outs bound each step, not the
// exchange, and some WinINet implementations do not apply them at all. An
// exchange that overruns finishes on its own and closes its own handles.
template <typename Exchange>
HttpReply WithinTime(const HttpLimits& limits, Exchange exchange) {
  auto promise = std::make_shared<std::promise<HttpReply>>();
  std::future<HttpReply> reply = promise->get_future();
  std::thread([promise, exchange = std::move(exchange)] { promise->set_value(exchange()); }).detach();
  const auto limit = std::chrono::milliseconds(limits.connectTimeoutMs + limits.totalTimeoutMs);
  if (reply.wait_for(limit) == std::future_status::ready) return reply.get();
  return Failure(ERROR_INTERNET_TIMEOUT);
}

HttpReply Get(const std::string& url, std::size_t maxBody, const HttpLimits& limits) {
  Internet session = Open(limits);
  if (!session) return Failure();
  Internet request(InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0, kFresh, 0));
  if (!request) return Failure();
  HttpReply reply;
  reply.status = StatusOf(request.get());
  // A connection closed before any status line is no reply.
  if (reply.status == 0) return Failure(ERROR_HTTP_INVALID_SERVER_RESPONSE);
  std::string body(maxBody, '\0');
  std::size_t got = 0;
  while (got < maxBody) {
    DWORD n = 0;
    if (!InternetReadFile(request.get(), body.data() + got, static_cast<DWORD>(maxBody - got), &n))
      return Failure();
    if (n == 0) break;
    got += n;
  }
  body.resize(got);
  reply.ok = true;
  reply.body = std::move(body);
  return reply;
}

HttpReply Post10(const std::string& url, const std::string& header, const std::string& body,
                 const HttpLimits& limits) {
  char host[256] = {}, path[2048] = {};
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return Failure();

  Internet session = Open(limits);
  if (!session) return Failure();
  Internet connection(InternetConnectA(session.get(), host, parts.nPort, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return Failure();
  Internet request(HttpOpenRequestA(connection.get(), "POST", path, "HTTP/1.0", nullptr, nullptr,
                                    INTERNET_FLAG_KEEP_CONNECTION, 0));
  if (!request) return Failure();
  if (!HttpSendRequestA(request.get(), header.c_str(), static_cast<DWORD>(header.size()),
                        const_cast<char*>(body.data()), static_cast<DWORD>(body.size())))
    return Failure();
  HttpReply reply;
  reply.status = StatusOf(request.get());
  // A connection closed without a reply leaves the upload unconfirmed.
  if (reply.status == 0) return Failure(ERROR_HTTP_INVALID_SERVER_RESPONSE);
  char chunk[256];
  DWORD n = 0;
  do {
    if (!InternetReadFile(request.get(), chunk, sizeof chunk, &n)) return Failure();
  } while (n == sizeof chunk);
  reply.ok = true;
  return reply;
}

}  // namespace

HttpReply HttpGet(const std::string& url, std::size_t maxBody, const HttpLimits& limits) {
  return WithinTime(limits, [=] { return Get(url, maxBody, limits); });
}

HttpReply HttpPost10(const std::string& url, const std::string& header, const std::string& body,
                     const HttpLimits& limits) {
  return WithinTime(limits, [=] { return Post10(url, header, body, limits); });
}

}  // namespace quorvel::platform
