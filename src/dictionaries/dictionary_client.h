#pragma once
// Sends one word, with the text around it and a reason, to the maker's
// dictionary service as a suggestion for its word lists. Send-only: success
// is a plain HTTP 200 and the answer's body is not read. Main thread.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/http_client.h"

namespace tessa {

// A failure handed back to the caller.
struct ClientError {
  std::string domain;
  int64_t code = 0;
  std::string localizedDescription;
};

class DictionaryClient {
 public:
  using Completion = std::function<void(std::optional<ClientError>)>;

  // The full address suggestions are posted to; fixed for the client's life.
  DictionaryClient(std::string suggestEndpoint, HttpClient& http);

  const std::string& suggestEndpoint() const { return suggestEndpoint_; }

  // Posts {"word","lang","context","reason"} as JSON. `completion` runs on
  // the main queue with none on success, else the transport's error or a
  // "DictionaryClient" error whose code is the HTTP status.
  void suggest(const std::string& word, const std::string& context, const std::string& reason,
               Completion completion) const;

  // "th" or "lo" by the first Thai or Lao code point, else "en".
  static std::string detectLanguage(std::string_view text);

  // Idle time-out of the request (60 s); tests shorten it.
  double requestTimeout = 60.0;

  static constexpr const char* errorDomain = "DictionaryClient";
  static constexpr const char* transportErrorDomain = "HttpClient";
  static constexpr const char* encodingErrorDomain = "JSONEncoding";

 private:
  std::string suggestEndpoint_;
  HttpClient& http_;
};

}  // namespace tessa
