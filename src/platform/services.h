#pragma once
// Keychain, HTTP and the spell checker.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessa {

enum class KeychainStatus { success, itemNotFound, duplicateItem, interactionNotAllowed, otherError };

struct KeychainResult {
  KeychainStatus status = KeychainStatus::otherError;
  std::vector<uint8_t> data;
  int32_t code = 0;  // the platform's status code, for log lines
};

// Generic-password items keyed by (service, account). `query` carries extra
// attributes such as the no-authentication-UI flag.
class Keychain {
 public:
  using Attributes = std::map<std::string, std::string>;
  virtual ~Keychain() = default;
  virtual KeychainResult copy(const std::string& service, const std::string& account, const Attributes& query = {}) = 0;
  virtual KeychainResult add(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                             const Attributes& query = {}) = 0;
  virtual KeychainResult update(const std::string& service, const std::string& account,
                                const std::vector<uint8_t>& data, const Attributes& query = {}) = 0;
  virtual KeychainResult remove(const std::string& service, const std::string& account,
                                const Attributes& query = {}) = 0;
};

struct HttpRequest {
  std::string method = "GET";
  std::string url;
  std::map<std::string, std::string> headers;
  std::string body;
  double timeoutSeconds = 15;
  uint64_t maxResponseBytes = 1 << 20;
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

struct SpellRange {
  int64_t location = -1;  // -1: nothing misspelled
  int64_t length = 0;
};

class SpellChecker {
 public:
  virtual ~SpellChecker() = default;
  virtual std::vector<std::string> availableLanguages() = 0;
  // The first misspelled range of `text` from `start` in `language`.
  virtual SpellRange checkSpelling(const std::string& text, int64_t start, const std::string& language) = 0;
  virtual bool isCorrect(const std::string& word, const std::string& language) = 0;
};

}  // namespace tessa
