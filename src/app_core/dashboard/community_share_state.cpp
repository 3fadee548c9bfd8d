#include "app_core/dashboard/community_share_state.h"

#include "base/user_defaults.h"

namespace tessa {

CommunityShareState communityShareState(bool isSharing, const std::optional<CommunityTotals>& publicStats,
                                        bool wasEverSharing) {
  using Kind = CommunityShareState::Kind;
  if (isSharing) return publicStats ? CommunityShareState::live(*publicStats) : CommunityShareState::of(Kind::pending);
  return CommunityShareState::of(wasEverSharing ? Kind::optOut : Kind::preview);
}

CommunityShareState communityShareState(bool isSharing, const std::optional<CommunityTotals>& publicStats,
                                        const UserDefaults& defaults) {
  return communityShareState(isSharing, publicStats, defaults.boolForKey(kWasEverSharingKey));
}

void markEverShared(UserDefaults& defaults, bool isSharing, const std::function<void()>& refresh) {
  if (!isSharing) return;
  defaults.setBool(kWasEverSharingKey, true);
  if (refresh) refresh();
}

}  // namespace tessa
