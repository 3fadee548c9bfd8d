#include "dictionaries/dictionary_client.h"

#include <nlohmann/json.hpp>

#include "base/unicode.h"
#include "dictionaries/dictionary_texts.h"

namespace tessa {

namespace {
// The service answers with a short acknowledgement; anything longer is not
// read into memory.
constexpr uint64_t kMaxAnswerBytes = 64 * 1024;
}  // namespace

DictionaryClient::DictionaryClient(std::string suggestEndpoint, HttpClient& http)
    : suggestEndpoint_(std::move(suggestEndpoint)), http_(http) {}

std::string DictionaryClient::detectLanguage(std::string_view text) {
  for (char32_t c : codePoints(text)) {
    if (c >= 0x0E00 && c <= 0x0E7F) return "th";
    if (c >= 0x0E80 && c <= 0x0EFF) return "lo";
  }
  return "en";
}

void DictionaryClient::suggest(const std::string& word, const std::string& context, const std::string& reason,
                               Completion completion) const {
  HttpRequest request;
  request.method = "POST";
  request.url = suggestEndpoint_;
  request.headers["Content-Type"] = "application/json";
  request.timeoutSeconds = requestTimeout;
  request.maxResponseBytes = kMaxAnswerBytes;

  nlohmann::json body = nlohmann::json::object();
  body["word"] = std::string(trimWhitespace(word, true));
  body["lang"] = detectLanguage(word);  // from the untrimmed word
  body["context"] = context;
  body["reason"] = reason;
  try {
    request.body = body.dump();
  } catch (const nlohmann::json::exception& e) {
    // Text that is not valid UTF-8 cannot be serialised; nothing is sent.
    if (completion) completion(ClientError{encodingErrorDomain, e.id, e.what()});
    return;
  }

  http_.send(std::move(request), [completion = std::move(completion)](HttpResponse response) {
    if (!completion) return;
    if (!response.error.empty() || response.status == 0) {
      completion(ClientError{transportErrorDomain, -1, response.error.empty() ? "no response" : response.error});
      return;
    }
    if (response.status != 200) {
      completion(ClientError{errorDomain, response.status,
                             dictionary_texts::kSuggestionFailedPrefix + std::to_string(response.status) +
                                 dictionary_texts::kSuggestionFailedSuffix});
      return;
    }
    completion(std::nullopt);
  });
}

}  // namespace tessa
