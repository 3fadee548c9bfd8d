#include "platform/sim/sim_text_recognizer.h"

namespace tessa {

void SimTextRecognizer::recognize(std::string image, std::function<void(TextRecognition)> completion) {
  ++requests_;
  TextRecognition result;
  if (!unavailableNote_.empty()) {
    result.outcome = TextRecognition::Outcome::unavailable;
    result.note = unavailableNote_;
  } else {
    result.outcome = TextRecognition::Outcome::recognized;
    if (auto it = texts_.find(image); it != texts_.end()) result.text = it->second;
  }
  ctx_.post(latency_, [completion = std::move(completion), result = std::move(result)] {
    if (completion) completion(result);
  });
}

}  // namespace tessa
