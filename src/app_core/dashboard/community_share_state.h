#pragma once
// What the community statistics box shows, and the rule that picks it from
// the sharing setting, the public totals known so far and whether this user
// ever shared from the usage or about page.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tessa {

class UserDefaults;

// The public totals as the box shows them: hours with one decimal, the
// number of users sharing, and the community's corrections in plain digits.
struct CommunityTotals {
  std::string hours;
  int64_t users = 0;
  std::string sessions;
  bool operator==(const CommunityTotals&) const = default;
};

struct CommunityShareState {
  enum class Kind {
    live,     // sharing, totals known
    preview,  // not sharing, never shared
    pending,  // sharing, no totals yet
    optOut    // not sharing after having shared
  };
  Kind kind = Kind::preview;
  std::optional<CommunityTotals> totals;  // only for live

  static CommunityShareState live(CommunityTotals totals) { return {Kind::live, std::move(totals)}; }
  static CommunityShareState of(Kind kind) { return {kind, std::nullopt}; }
  bool operator==(const CommunityShareState&) const = default;
};

// Recorded whenever sharing is switched on while the usage or about page is
// shown; never cleared. It tells a user who stopped sharing from one who
// never started.
inline constexpr const char* kWasEverSharingKey = "wasEverSharing";

CommunityShareState communityShareState(bool isSharing, const std::optional<CommunityTotals>& publicStats,
                                        bool wasEverSharing);
CommunityShareState communityShareState(bool isSharing, const std::optional<CommunityTotals>& publicStats,
                                        const UserDefaults& defaults);

// The pages' reaction to a change of the sharing setting: switched on, it
// records "wasEverSharing" and then runs `refresh`; switched off, nothing.
void markEverShared(UserDefaults& defaults, bool isSharing, const std::function<void()>& refresh);

}  // namespace tessa
