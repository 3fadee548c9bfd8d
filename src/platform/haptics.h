#pragma once
// The haptic performer and the trackpad actuator.
#include <string>

namespace tessa {

class Haptics {
 public:
  virtual ~Haptics() = default;
  virtual void perform(const std::string& pattern) = 0;
  virtual bool actuate(int actuationID, float intensity) = 0;
  // Whether this computer has anything that can be felt; without it the
  // haptic settings are shown but cannot be changed.
  virtual bool hasActuator() const { return true; }
};

}  // namespace tessa
