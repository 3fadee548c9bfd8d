#pragma once
// Keyboard input sources (layouts), the selected-source-changed notification,
// secure event input, and key translation through a layout.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/observable.h"

namespace tessa {

struct InputSourceInfo {
  std::string id;  // e.g. "com.apple.keylayout.ABC"
  std::string localizedName;
  std::string category = "TISCategoryKeyboardInputSource";
  std::vector<std::string> languages;  // first is the primary language ("en", "th")
  bool selectCapable = true;
  bool enabled = true;
  bool isKeyboardLayout = true;
};

// One layout's key table. Translation carries dead-key state from key to key.
class KeyLayout {
 public:
  virtual ~KeyLayout() = default;
  // The text a key gives with `modifierFlags` (shift, option, caps lock bits),
  // updating `deadKeyState`; empty for non-printing keys and dead keys.
  virtual std::string translate(uint16_t keyCode, uint64_t modifierFlags, uint32_t& deadKeyState) const = 0;
};

class InputSources {
 public:
  virtual ~InputSources() = default;
  // The enabled sources, or none when the list cannot be read.
  virtual std::optional<std::vector<InputSourceInfo>> enabledSources() const = 0;
  virtual std::optional<InputSourceInfo> currentKeyboardSource() const = 0;
  // 0 on success, a platform error code otherwise.
  virtual int32_t select(const std::string& id) = 0;
  // The layout of a source; null when it has none.
  virtual std::shared_ptr<const KeyLayout> layoutFor(const std::string& id) const = 0;
  // The selected-input-source-changed notification (distributed); the
  // callback runs on the main queue.
  virtual Subscription observeSelectedSourceChanged(std::function<void()> callback) = 0;
  // The keyboard-layout list changed (enabled sources added or removed).
  virtual Subscription observeEnabledSourcesChanged(std::function<void()> callback) = 0;
  virtual bool isSecureEventInputEnabled() const = 0;
};

}  // namespace tessa
