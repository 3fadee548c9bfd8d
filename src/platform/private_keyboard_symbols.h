#pragma once
// The platform's private keyboard switches, where it has them.
#include <functional>
#include <string>

namespace tessa {

// Optional private switches for keyboard behaviour; empty functions mean
// the platform has none.
struct PrivateKeyboardSymbols {
  std::function<void(int hotKey, bool enabled)> setSymbolicHotKeyEnabled;
  std::function<void(const std::string& property, bool value)> setTextInputGlobalProperty;
};

}  // namespace tessa
