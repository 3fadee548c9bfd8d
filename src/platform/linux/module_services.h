#pragma once
// Services whose libraries are loaded when first used rather than at start:
// the HTTP client (libcurl with its TLS, Kerberos, LDAP and SSH back ends)
// and text recognition (Tesseract, Leptonica and the image libraries).
// Together they are over a third of the program's libraries, and loading and
// binding them took the largest part of the start-up, long before any of
// them is needed (most runs send nothing for a while and read no image).
//
// Each lives in a module of its own (libtessavinor-http.so,
// libtessavinor-ocr.so) beside the program, in the build tree, or in the
// installed module folder. A module that cannot be loaded makes its service
// answer each request with why.
#include <memory>
#include <mutex>
#include <string>

#include "base/task_runner.h"
#include "platform/http_client.h"
#include "platform/text_recognizer.h"

namespace tessa {

// The module `fileName` opened from the first folder that has it, or null
// with the reason in `why`.
void* openServiceModule(const std::string& fileName, std::string* why);

class ModuleHttpClient final : public HttpClient {
 public:
  explicit ModuleHttpClient(TaskRunner& completionRunner) : completionRunner_(completionRunner) {}
  void send(HttpRequest request, std::function<void(HttpResponse)> completion) override;

 private:
  TaskRunner& completionRunner_;
  std::once_flag loaded_;
  std::unique_ptr<HttpClient> client_;
  std::string why_;
};

class ModuleTextRecognizer final : public TextRecognizer {
 public:
  explicit ModuleTextRecognizer(TaskRunner& completionRunner) : completionRunner_(completionRunner) {}
  void recognize(std::string image, std::function<void(TextRecognition)> completion) override;

 private:
  TaskRunner& completionRunner_;
  std::once_flag loaded_;
  std::unique_ptr<TextRecognizer> recognizer_;
  std::string why_;
};

}  // namespace tessa
