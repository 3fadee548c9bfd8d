#pragma once
// HTTPS requests off the main thread.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tessa {

struct HttpRequest {
  std::string method = "GET";
  std::string url;
  std::map<std::string, std::string> headers;
  std::string body;
  // Idle time-out: the request fails when nothing arrives for this long.
  double timeoutSeconds = 15;
  // The whole request, however steadily its answer trickles in; 0 for the
  // default, which grows with the largest answer allowed (a vocabulary pack
  // may be tens of megabytes on a slow line).
  double deadlineSeconds = 0;
  uint64_t maxResponseBytes = 1 << 20;
  // Two minutes, plus a second for each 64 KiB the answer may hold.
  double overallDeadlineSeconds() const {
    if (deadlineSeconds > 0) return deadlineSeconds;
    return 120.0 + static_cast<double>(maxResponseBytes) / (64 * 1024);
  }
  bool followRedirects = true;
  // Redirects and the first request are allowed only to these schemes.
  std::vector<std::string> allowedSchemes{"https", "http"};
};

struct HttpResponse {
  int status = 0;  // 0 when no response
  std::map<std::string, std::string> headers;
  std::string body;
  std::string error;  // transport error, or "response too large"
  bool ok() const { return error.empty() && status != 0; }
};

// Requests run off the main thread; the completion is called on the runner
// the client was made with (the main queue).
class HttpClient {
 public:
  virtual ~HttpClient() = default;
  virtual void send(HttpRequest request, std::function<void(HttpResponse)> completion) = 0;
};

}  // namespace tessa
