#pragma once
// Simulated text recognition: the text "found" in an image is whatever was
// set for those exact bytes (nothing otherwise), answered on the main queue
// after a latency. It can also play a machine without language data.
#include <map>
#include <string>
#include <vector>

#include "platform/sim/sim_context.h"
#include "platform/text_recognizer.h"

namespace tessa {

class SimTextRecognizer final : public TextRecognizer {
 public:
  explicit SimTextRecognizer(const SimContext& ctx) : ctx_(ctx) {}
  void recognize(std::string image, std::function<void(TextRecognition)> completion) override;

  void setText(const std::string& image, std::string text) { texts_[image] = std::move(text); }
  // Every request is answered "unavailable" with `note` while set.
  void setUnavailable(std::string note) { unavailableNote_ = std::move(note); }
  void setLatency(double seconds) { latency_ = seconds; }
  int requestCount() const { return requests_; }

 private:
  const SimContext& ctx_;
  std::map<std::string, std::string> texts_;
  std::string unavailableNote_;
  double latency_ = 0.5;
  int requests_ = 0;
};

}  // namespace tessa
