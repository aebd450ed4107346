// The HTTP client that stands in for the platform's internet layer, on
// libcurl. Each call is one whole exchange with handles of its own. The
// client names itself "Quorvel". Errors come back as curl's texts.
#pragma once
#include <string>

namespace quorvel::platform {

struct HttpLimits {
  long connectTimeoutMs = 5000;  // a card that is not there
  long totalTimeoutMs = 10000;   // a card that accepts and never answers
};

struct HttpReply {
  bool ok = false;
  long status = 0;
  std::string body;
  std::string error;  // curl's text when !ok
};

// GET of url; keeps at most maxBody bytes of the body and stops reading there.
HttpReply HttpGet(const std::string& url, std::size_t maxBody, const HttpLimits& limits);

// HTTP/1.0 POST of body to url with one extra header line (no line end),
// no Accept header; the reply body is read and dropped.
HttpReply HttpPost10(const std::string& url, const std::string& header, const std::string& body,
                     const HttpLimits& limits);

}  // namespace quorvel::platform
