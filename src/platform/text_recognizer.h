#pragma once
// Text recognition in images (what the clipboard history searches an image
// by). The work runs off the main thread; the completion is called on the
// runner the recognizer was made with, the main queue in the application.
#include <functional>
#include <string>

namespace tessa {

struct TextRecognition {
  enum class Outcome {
    recognized,   // `text` is what was found, possibly nothing
    unavailable,  // no recognition can run here (no language data); asking again is pointless
    failed,       // this image could not be read (not an image, too large)
  };
  Outcome outcome = Outcome::failed;
  std::string text;
  // Why it did not work, or what was missing although it did (a language
  // pack); for the log. Never carries the image's contents.
  std::string note;
};

class TextRecognizer {
 public:
  virtual ~TextRecognizer() = default;
  // `image` is an encoded image (PNG, JPEG, …), copied by the call.
  virtual void recognize(std::string image, std::function<void(TextRecognition)> completion) = 0;
};

}  // namespace tessa
