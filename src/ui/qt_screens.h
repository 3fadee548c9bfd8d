#pragma once
// The displays as Qt knows them, in window-system coordinates, primary first.
#include "platform/screens.h"

namespace tessa {

class QtScreens final : public Screens {
 public:
  std::vector<ScreenInfo> all() const override;
  std::optional<ScreenInfo> main() const override;
};

}  // namespace tessa
