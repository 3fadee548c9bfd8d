#pragma once
// The haptic performer and the trackpad actuator.
#include <string>

namespace tessa {

class Haptics {
 public:
  virtual ~Haptics() = default;
  virtual void perform(const std::string& pattern) = 0;
  virtual bool actuate(int actuationID, float intensity) = 0;
};

}  // namespace tessa
