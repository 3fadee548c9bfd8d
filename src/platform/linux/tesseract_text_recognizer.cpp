#include "platform/linux/tesseract_text_recognizer.h"

#include <dlfcn.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <algorithm>
#include <vector>

namespace tessa {

namespace {

std::vector<std::string> splitLanguages(const std::string& languages) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= languages.size()) {
    size_t plus = languages.find('+', start);
    if (plus == std::string::npos) plus = languages.size();
    if (plus > start) out.push_back(languages.substr(start, plus - start));
    start = plus + 1;
  }
  return out;
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : separator) + p;
  return out;
}

bool cancelWhenStopping(void* stopping, int /*words*/) { return static_cast<std::atomic<bool>*>(stopping)->load(); }

TextRecognition failure(TextRecognition::Outcome outcome, std::string note) {
  TextRecognition r;
  r.outcome = outcome;
  r.note = std::move(note);
  return r;
}

}  // namespace

struct TesseractTextRecognizer::Engine {
  tesseract::TessBaseAPI api;
  bool ready = false;
  std::string unavailable;  // why no engine could be loaded
  std::string missing;      // the languages that could not be loaded beside the others
};

TesseractTextRecognizer::TesseractTextRecognizer(TaskRunner& completionRunner, TesseractOptions options)
    : completionRunner_(completionRunner), options_(std::move(options)) {
  worker_ = std::thread([this] { run(); });
}

TesseractTextRecognizer::~TesseractTextRecognizer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  for (auto& request : queue_)
    complete(std::move(request.completion), failure(TextRecognition::Outcome::failed, "cancelled"));
}

void TesseractTextRecognizer::recognize(std::string image, std::function<void(TextRecognition)> completion) {
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() < options_.maxQueued && !stopping_) {
      queue_.push_back(Request{std::move(image), std::move(completion)});
      wake_.notify_one();
      return;
    }
  }
  complete(std::move(completion), failure(TextRecognition::Outcome::failed, "too many images are waiting"));
}

void TesseractTextRecognizer::complete(std::function<void(TextRecognition)> completion, TextRecognition result) {
  if (!completion) return;
  completionRunner_.post([completion = std::move(completion), result = std::move(result)] { completion(result); });
}

void TesseractTextRecognizer::run() {
  // Leptonica and Tesseract would otherwise talk to the program's stderr
  // about every odd image.
  setMsgSeverity(L_SEVERITY_NONE);
  // Tesseract spreads its work over every core through OpenMP when it was
  // built with it; reading a copied image in the background takes this one
  // thread, so that typing never competes with it. (Looked up rather than
  // linked: a build without OpenMP has no such function.)
  using SetThreads = void (*)(int);
  if (auto setThreads = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"))) setThreads(1);
  for (;;) {
    Request request;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      request = std::move(queue_.front());
      queue_.pop_front();
    }
    TextRecognition result = read(request.image);
    if (stopping_) result = failure(TextRecognition::Outcome::failed, "cancelled");
    complete(std::move(request.completion), std::move(result));
  }
}

TextRecognition TesseractTextRecognizer::read(const std::string& image) {
  // What is not an image, or too large a one, is refused before the
  // language data is loaded for it.
  l_int32 format = 0, width = 0, height = 0, bps = 0, spp = 0, cmap = 0;
  const auto* bytes = reinterpret_cast<const l_uint8*>(image.data());
  if (image.empty() || pixReadHeaderMem(bytes, image.size(), &format, &width, &height, &bps, &spp, &cmap) != 0)
    return failure(TextRecognition::Outcome::failed, "the image could not be decoded");
  if (width <= 0 || height <= 0 || int64_t(width) * int64_t(height) > options_.maxPixels)
    return failure(TextRecognition::Outcome::failed, "the image is too large to read");
  if (!engine_) {
    engine_ = std::make_unique<Engine>();
    const char* dataPath = options_.dataPath.empty() ? nullptr : options_.dataPath.c_str();
    auto wanted = splitLanguages(options_.languages);
    // All languages together first; when that fails, whichever one loads
    // alone, so that a missing Thai pack still leaves English (and the
    // reverse).
    std::vector<std::string> attempts{options_.languages};
    if (wanted.size() > 1) attempts.insert(attempts.end(), wanted.begin(), wanted.end());
    for (const auto& attempt : attempts) {
      engine_->api.SetVariable("debug_file", "/dev/null");
      if (engine_->api.Init(dataPath, attempt.c_str(), tesseract::OEM_LSTM_ONLY) == 0) {
        engine_->ready = true;
        break;
      }
      engine_->api.End();
    }
    if (!engine_->ready) {
      engine_->unavailable = "no language data for " + joined(wanted, ", ") + " could be loaded";
    } else {
      engine_->api.SetVariable("debug_file", "/dev/null");
      // Thai writes no spaces between words; those it has are kept as they are.
      engine_->api.SetVariable("preserve_interword_spaces", "1");
      std::vector<std::string> loaded;
      engine_->api.GetLoadedLanguagesAsVector(&loaded);
      std::vector<std::string> missing;
      for (const auto& language : wanted)
        if (std::find(loaded.begin(), loaded.end(), language) == loaded.end()) missing.push_back(language);
      if (!missing.empty())
        engine_->missing = "the language data for " + joined(missing, ", ") + " is missing; text is recognised in " +
                           joined(loaded, ", ") + " only";
    }
  }
  if (!engine_->ready) return failure(TextRecognition::Outcome::unavailable, engine_->unavailable);

  Pix* pix = pixReadMem(bytes, image.size());
  if (!pix) return failure(TextRecognition::Outcome::failed, "the image could not be decoded");
  engine_->api.SetImage(pix);
  // Screenshots carry no resolution; a guess keeps Tesseract from warning.
  if (pixGetXRes(pix) <= 0) engine_->api.SetSourceResolution(96);
  tesseract::ETEXT_DESC monitor;
  monitor.cancel = &cancelWhenStopping;
  monitor.cancel_this = &stopping_;
  monitor.set_deadline_msecs(options_.timeoutMilliseconds);
  TextRecognition result;
  if (engine_->api.Recognize(&monitor) != 0) {
    result = failure(TextRecognition::Outcome::failed, "the text could not be recognised");
  } else {
    char* text = engine_->api.GetUTF8Text();
    result.outcome = TextRecognition::Outcome::recognized;
    if (text) result.text = text;
    delete[] text;
    result.note = engine_->missing;
  }
  engine_->api.Clear();
  pixDestroy(&pix);
  return result;
}

}  // namespace tessa
