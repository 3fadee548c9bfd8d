#pragma once
// A KeyLayout backed by libxkbcommon and the system's xkeyboard-config data.
// Our key codes are the platform's virtual key codes; they are mapped to evdev
// codes here, and dead keys are combined through the locale's compose table.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/input_sources.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_compose_table;

namespace tessa {

class XkbKeyLayout final : public KeyLayout {
 public:
  // The compiled layout, shared between callers; null when xkeyboard-config
  // has no such layout or variant. Safe to call from any thread.
  static std::shared_ptr<const XkbKeyLayout> create(const std::string& layout, const std::string& variant = "");
  // One group of a keymap compiled elsewhere (the X server's own, read through
  // xkbcommon-x11), so keys type what the server types. Takes a reference to
  // `keymap`; null when the keymap has no such group.
  static std::shared_ptr<const XkbKeyLayout> fromKeymap(xkb_keymap* keymap, uint32_t group, const std::string& layout,
                                                        const std::string& variant = "");

  ~XkbKeyLayout() override;
  XkbKeyLayout(const XkbKeyLayout&) = delete;
  XkbKeyLayout& operator=(const XkbKeyLayout&) = delete;

  // Shift, caps lock and option (the third level) are honoured. A dead key
  // answers empty and leaves its keysym in `deadKeyState` (up to four pending
  // dead keys); the next key combines with them through the compose table, or,
  // when they do not combine, types their spacing forms followed by its own text.
  std::string translate(uint16_t keyCode, uint64_t modifierFlags, uint32_t& deadKeyState) const override;

  const std::string& layout() const { return layout_; }
  const std::string& variant() const { return variant_; }
  // xkeyboard-config's description of the layout ("Lao", "Vietnamese").
  const std::string& description() const { return description_; }

  // The evdev code of a virtual key code; none for keys we do not map.
  static std::optional<uint32_t> evdevCodeForKeyCode(uint16_t keyCode);

 private:
  XkbKeyLayout() = default;
  std::string composeKeysyms(const uint32_t* syms, size_t count, int& status) const;

  void prepare();

  std::string layout_, variant_, description_;
  uint32_t group_ = 0;
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_compose_table* compose_ = nullptr;
  uint32_t shiftIndex_ = 0, capsIndex_ = 0, level3Index_ = 0;
};

// The language code of an xkeyboard-config layout name ("us" -> "en",
// "th" -> "th", "la" -> "lo"); names that are not in the table are returned as
// they stand.
std::string xkbLayoutLanguage(const std::string& layout);

}  // namespace tessa
