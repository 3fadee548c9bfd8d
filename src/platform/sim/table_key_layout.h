#pragma once
// The simulated desktop's built-in layouts: the US (ABC) key table, and the
// Thai Kedmanee layout described by the English-to-Thai pairs over it.
#include <map>
#include <memory>
#include <string>

#include "platform/input_sources.h"

namespace tessa {

class TableKeyLayout final : public KeyLayout {
 public:
  static std::shared_ptr<const TableKeyLayout> us();
  static std::shared_ptr<const TableKeyLayout> thai();

  // Shift picks the shifted column; Caps Lock upper-cases US letters (with or
  // without Shift, as the platform does) and leaves Thai alone. Option and the
  // other modifiers do not change the text. No key of these tables is dead.
  std::string translate(uint16_t keyCode, uint64_t modifierFlags, uint32_t& deadKeyState) const override;

 private:
  explicit TableKeyLayout(bool thai);
  bool thai_;
  std::map<std::string, std::string, std::less<>> toThai_;
};

}  // namespace tessa
