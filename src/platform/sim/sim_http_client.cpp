#include "platform/sim/sim_http_client.h"

namespace tessa {

SimHttpClient::SimHttpClient(const SimContext& ctx) : ctx_(ctx) {}

void SimHttpClient::send(HttpRequest request, std::function<void(HttpResponse)> completion) {
  HttpResponse response;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (auto it = responses_.find(request.url); it != responses_.end()) {
      response = it->second;
    } else if (handler_) {
      response = handler_(request);
    } else {
      response.error = kOfflineError;
    }
  }
  if (response.ok() && response.body.size() > request.maxResponseBytes) {
    response = HttpResponse{};
    response.error = "response too large";
  }
  ctx_.post(latency_, [completion = std::move(completion), response = std::move(response)] {
    if (completion) completion(response);
  });
}

void SimHttpClient::setResponse(const std::string& url, HttpResponse response) {
  std::lock_guard lock(mutex_);
  responses_[url] = std::move(response);
}

void SimHttpClient::setHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<HttpRequest> SimHttpClient::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace tessa
