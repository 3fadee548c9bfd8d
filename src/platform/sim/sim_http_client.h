#pragma once
// A simulated network: answers requests from canned responses (by exact URL)
// or a handler, after a configurable latency, on the main queue. With neither,
// the machine is offline.
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/http_client.h"
#include "platform/sim/sim_context.h"

namespace tessa {

class SimHttpClient final : public HttpClient {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;
  static constexpr const char* kOfflineError = "The Internet connection appears to be offline.";

  explicit SimHttpClient(const SimContext& ctx);
  void send(HttpRequest request, std::function<void(HttpResponse)> completion) override;

  void setResponse(const std::string& url, HttpResponse response);
  void setHandler(Handler handler);
  void setLatency(double seconds) { latency_ = seconds; }
  std::vector<HttpRequest> requests() const;

 private:
  const SimContext& ctx_;
  mutable std::mutex mutex_;
  std::map<std::string, HttpResponse> responses_;
  Handler handler_;
  double latency_ = 0.05;
  std::vector<HttpRequest> requests_;
};

}  // namespace tessa
