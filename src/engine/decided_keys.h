#pragma once
// The keys the key handler acts on while it holds nothing else: the pause
// chord, the Control+Shift (or Fn+Shift) hot keys and the chosen switcher
// key. One table, read by the handler's stages to know such a key and handed
// to the event system, which holds exactly these keys outside a hold (on X11
// every other key goes straight to the focused window): a key a stage acts on
// that the event system does not hold would reach the window before the
// stage could swallow it.
#include <cstdint>
#include <optional>
#include <span>

#include "engine/value_types.h"
#include "platform/events.h"

namespace tessa {

enum class DecidedRole { pause, addWord, applyCorrection, undoRedo, convert, switcher };

struct DecidedKeyEntry {
  DecidedKey key;
  DecidedRole role;
};

std::span<const DecidedKeyEntry> decidedKeyTable(SwitcherKey switcher);
// What a key pressed with `modifierFlags` does; none for a key no stage acts on.
std::optional<DecidedRole> decidedRoleOf(SwitcherKey switcher, uint16_t keyCode, uint64_t modifierFlags);
// A hot key whose action edits the focused text: the keys typed from its
// press on wait until the edit is over.
bool editsText(DecidedRole role);

}  // namespace tessa
