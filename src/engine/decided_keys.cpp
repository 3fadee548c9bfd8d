#include "engine/decided_keys.h"

#include <array>

namespace tessa {

namespace {

constexpr uint64_t kShift = flags::shift, kControl = flags::control, kOption = flags::option,
                   kCommand = flags::command, kFn = flags::fn;

// [design] The pause chord works whatever else is on; the hot keys are
// Control+Shift or Fn+Shift with A, O, Z or X, further modifiers allowed.
constexpr std::array<DecidedKeyEntry, 9> kCommon{{
    {{keycode::p, kControl | kOption | kCommand, 0}, DecidedRole::pause},
    {{keycode::a, kControl | kShift, 0}, DecidedRole::addWord},
    {{keycode::a, kFn | kShift, 0}, DecidedRole::addWord},
    {{keycode::o, kControl | kShift, 0}, DecidedRole::applyCorrection},
    {{keycode::o, kFn | kShift, 0}, DecidedRole::applyCorrection},
    {{keycode::z, kControl | kShift, 0}, DecidedRole::undoRedo},
    {{keycode::z, kFn | kShift, 0}, DecidedRole::undoRedo},
    {{keycode::x, kControl | kShift, 0}, DecidedRole::convert},
    {{keycode::x, kFn | kShift, 0}, DecidedRole::convert},
}};

template <size_t N>
constexpr std::array<DecidedKeyEntry, kCommon.size() + N> withCommon(const std::array<DecidedKeyEntry, N>& own) {
  std::array<DecidedKeyEntry, kCommon.size() + N> all{};
  for (size_t i = 0; i < kCommon.size(); ++i) all[i] = kCommon[i];
  for (size_t i = 0; i < N; ++i) all[kCommon.size() + i] = own[i];
  return all;
}

constexpr DecidedKeyEntry switcherEntry(uint16_t keyCode, uint64_t required, uint64_t refused) {
  return {{keyCode, required, refused}, DecidedRole::switcher};
}

// [design] Each switcher key with the modifiers it is pressed with: Caps Lock
// (as F19 once remapped) alone, grave with no modifier, Space with its one
// modifier and neither of the other two.
constexpr auto kCapsLock =
    withCommon(std::array{switcherEntry(keycode::f19, 0, 0), switcherEntry(keycode::capsLock, 0, 0)});
constexpr auto kGrave =
    withCommon(std::array{switcherEntry(keycode::grave, 0, kShift | kControl | kOption | kCommand)});
constexpr auto kOptionSpace = withCommon(std::array{switcherEntry(keycode::space, kOption, kControl | kCommand)});
constexpr auto kControlSpace = withCommon(std::array{switcherEntry(keycode::space, kControl, kOption | kCommand)});
constexpr auto kCommandSpace = withCommon(std::array{switcherEntry(keycode::space, kCommand, kOption | kControl)});

}  // namespace

std::span<const DecidedKeyEntry> decidedKeyTable(SwitcherKey switcher) {
  switch (switcher) {
    case SwitcherKey::capslock: return kCapsLock;
    case SwitcherKey::grave: return kGrave;
    case SwitcherKey::optionSpace: return kOptionSpace;
    case SwitcherKey::controlSpace: return kControlSpace;
    case SwitcherKey::commandSpace: return kCommandSpace;
  }
  return kCommon;
}

std::optional<DecidedRole> decidedRoleOf(SwitcherKey switcher, uint16_t keyCode, uint64_t modifierFlags) {
  for (const auto& entry : decidedKeyTable(switcher))
    if (entry.key.matches(keyCode, modifierFlags)) return entry.role;
  return std::nullopt;
}

bool editsText(DecidedRole role) {
  return role == DecidedRole::convert || role == DecidedRole::undoRedo || role == DecidedRole::applyCorrection;
}

}  // namespace tessa
