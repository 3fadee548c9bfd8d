#include "platform/sim/table_key_layout.h"

#include "platform/events.h"
#include "platform/keyboard_tables.h"

namespace tessa {

TableKeyLayout::TableKeyLayout(bool thai) : thai_(thai) {
  if (thai_)
    for (const auto& [en, th] : englishToThaiPairs()) toThai_.emplace(std::string(en), std::string(th));
}

std::shared_ptr<const TableKeyLayout> TableKeyLayout::us() {
  static const std::shared_ptr<const TableKeyLayout> layout(new TableKeyLayout(false));
  return layout;
}

std::shared_ptr<const TableKeyLayout> TableKeyLayout::thai() {
  static const std::shared_ptr<const TableKeyLayout> layout(new TableKeyLayout(true));
  return layout;
}

std::string TableKeyLayout::translate(uint16_t keyCode, uint64_t modifierFlags, uint32_t& deadKeyState) const {
  deadKeyState = 0;
  const UsKey* key = usKeyForCode(keyCode);
  if (!key) return {};
  bool shift = (modifierFlags & flags::shift) != 0;
  std::string_view us = shift ? key->shifted : key->plain;
  if (!thai_) {
    bool letter = key->plain.size() == 1 && key->plain[0] >= 'a' && key->plain[0] <= 'z';
    if (letter && (modifierFlags & flags::capsLock)) us = key->shifted;
    return std::string(us);
  }
  if (auto it = toThai_.find(us); it != toThai_.end()) return it->second;
  return std::string(us);  // the space bar
}

}  // namespace tessa
