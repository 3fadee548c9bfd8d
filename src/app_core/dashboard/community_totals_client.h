#pragma once
// The public community totals from the maker's service: one GET, a 2xx
// answer's JSON read into a CommunityTotals, and only the newest of
// overlapping requests handed on. Nothing is handed on once the client is
// gone, so a page rebuilt while a request ran is never written by it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app_core/dashboard/community_share_state.h"

namespace tessa {

class HttpClient;

class CommunityTotalsClient {
 public:
  struct Reading {
    enum class Outcome {
      ignored,  // not JSON, not an object, or totals missing: keep what is known
      hidden,   // the service says not to show totals ("visible": false)
      totals
    };
    Outcome outcome = Outcome::ignored;
    std::optional<CommunityTotals> totals;
  };
  using Apply = std::function<void(const Reading&)>;
  using Console = std::function<void(const std::string&)>;

  // Reads a successful answer's body.
  static Reading read(std::string_view body);

  // `console` gets one line per failed request. `http` must outlive the client.
  CommunityTotalsClient(HttpClient* http, Console console, std::string url);
  ~CommunityTotalsClient();

  CommunityTotalsClient(const CommunityTotalsClient&) = delete;
  CommunityTotalsClient& operator=(const CommunityTotalsClient&) = delete;

  // Starts a request; when it answers and no later fetch was started since,
  // `apply` gets what it read. Failures change nothing.
  void fetch(Apply apply);
  uint64_t requestsStarted() const;
  // Requests that have ended, answered or failed, while the client lived.
  uint64_t requestsEnded() const;

 private:
  struct Shared;
  HttpClient* http_;
  std::string url_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace tessa
