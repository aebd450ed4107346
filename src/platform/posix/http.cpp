#include "platform/http.h"

#include <curl/curl.h>

#include <memory>

namespace quorvel::platform {
namespace {

struct Sink {
  std::string* body;
  std::size_t max;
  bool full = false;
};

std::size_t Collect(char* data, std::size_t size, std::size_t n, void* user) {
  auto* sink = static_cast<Sink*>(user);
  std::size_t bytes = size * n;
  if (!sink->body) return bytes;  // read and dropped
  std::size_t room = sink->max - sink->body->size();
  sink->body->append(data, bytes < room ? bytes : room);
  if (sink->body->size() >= sink->max) {
    sink->full = true;
    return bytes == room ? bytes : 0;  // stop reading: the buffer is full
  }
  return bytes;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

bool GlobalInit() {
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

HttpReply Perform(CURL* c, Sink& sink, char* errbuf) {
  HttpReply reply;
  CURLcode rc = curl_easy_perform(c);
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
  if (rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && sink.full)) {
    reply.ok = true;
  } else {
    reply.error = errbuf[0] ? errbuf : curl_easy_strerror(rc);
  }
  return reply;
}

void Common(CURL* c, const std::string& url, const HttpLimits& limits, Sink& sink, char* errbuf) {
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Quorvel");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
}

HttpReply NoClient() {
  HttpReply r;
  r.error = "HTTP client could not be initialised";
  return r;
}

}  // namespace

HttpReply HttpGet(const std::string& url, std::size_t maxBody, const HttpLimits& limits) {
  if (!GlobalInit()) return NoClient();
  std::unique_ptr<CURL, CurlDeleter> c(curl_easy_init());
  if (!c) return NoClient();
  std::string body;
  Sink sink{&body, maxBody};
  char errbuf[CURL_ERROR_SIZE] = {};
  Common(c.get(), url, limits, sink, errbuf);
  HttpReply reply = Perform(c.get(), sink, errbuf);
  reply.body = std::move(body);
  return reply;
}

HttpReply HttpPost10(const std::string& url, const std::string& header, const std::string& body,
                     const HttpLimits& limits) {
  if (!GlobalInit()) return NoClient();
  std::unique_ptr<CURL, CurlDeleter> c(curl_easy_init());
  if (!c) return NoClient();
  Sink sink{nullptr, 0};
  char errbuf[CURL_ERROR_SIZE] = {};
  Common(c.get(), url, limits, sink, errbuf);
  curl_slist* raw = curl_slist_append(nullptr, header.c_str());
  raw = curl_slist_append(raw, "Accept:");
  raw = curl_slist_append(raw, "Expect:");
  std::unique_ptr<curl_slist, ListDeleter> headers(raw);
  curl_easy_setopt(c.get(), CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(c.get(), CURLOPT_POST, 1L);
  curl_easy_setopt(c.get(), CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(c.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(c.get(), CURLOPT_HTTPHEADER, headers.get());
  return Perform(c.get(), sink, errbuf);
}

}  // namespace quorvel::platform
