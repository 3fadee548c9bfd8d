#pragma once
// The tray item's views taken from a whole test engine, for the tests that
// drive the engine and look at the tray.
#include <memory>

#include "app_core/status_item_controller.h"
#include "engine/keyboard_engine.h"

namespace tessa::test {

inline StatusItemState statusItemStateOf(KeyboardEngine& engine) {
  return StatusItemState::of(engine.settings(), engine.status(), engine.accessibility(), engine.platform());
}

inline std::shared_ptr<StatusItemController> statusItemControllerOf(KeyboardEngine& engine, StatusItemView& view,
                                                                    StatusMenuActions& shell) {
  return StatusItemController::create(engine.settings(), engine.status(), engine.accessibility(), engine.controls(),
                                      engine.context(), view, shell);
}

}  // namespace tessa::test
