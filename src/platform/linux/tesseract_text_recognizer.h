#pragma once
// Text recognition with Tesseract, Thai and English together. One worker
// thread owns the engine (loaded on the first request, so that a session
// that never copies an image never pays for it) and works through the
// requests in order; each completion is posted to the runner the recognizer
// was made with, the main queue in the application.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/task_runner.h"
#include "platform/text_recognizer.h"

namespace tessa {

struct TesseractOptions {
  // Where the language data lies; empty means Tesseract's own default
  // (TESSDATA_PREFIX, else the installed folder).
  std::string dataPath;
  std::string languages = "tha+eng";
  // Larger images are refused rather than tying the worker up for minutes.
  int64_t maxPixels = 40'000'000;
  // Requests waiting beyond this many are refused: a burst of copied
  // screenshots must not queue up work for the rest of the session.
  size_t maxQueued = 4;
  // One image's recognition gives up after this long.
  int timeoutMilliseconds = 60'000;
};

class TesseractTextRecognizer final : public TextRecognizer {
 public:
  explicit TesseractTextRecognizer(TaskRunner& completionRunner, TesseractOptions options = {});
  // Stops the worker; an image being read is abandoned, and it and every
  // waiting request complete as failed ("cancelled").
  ~TesseractTextRecognizer() override;
  TesseractTextRecognizer(const TesseractTextRecognizer&) = delete;
  TesseractTextRecognizer& operator=(const TesseractTextRecognizer&) = delete;

  void recognize(std::string image, std::function<void(TextRecognition)> completion) override;

 private:
  struct Request {
    std::string image;
    std::function<void(TextRecognition)> completion;
  };
  struct Engine;
  void run();
  TextRecognition read(const std::string& image);
  void complete(std::function<void(TextRecognition)> completion, TextRecognition result);

  TaskRunner& completionRunner_;
  TesseractOptions options_;
  std::unique_ptr<Engine> engine_;  // the worker's alone
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Request> queue_;
  std::atomic<bool> stopping_{false};
  std::thread worker_;
};

}  // namespace tessa
