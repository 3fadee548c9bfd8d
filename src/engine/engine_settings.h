#pragma once
// The engine's persisted settings as the windows and their models see them:
// the settings cells themselves (read, write, and the same announcement every
// write of the engine makes), the store they persist in and the localised
// text that follows the language and wording level. A page that needs only
// these takes an EngineSettings instead of the whole KeyboardEngine, so it
// neither sees the engine's run-time state nor rebuilds with its header.
// The engine hands one out (`KeyboardEngine::settings()`); it refers to the
// engine's own cells, so it lives no longer than the engine.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/observable.h"
#include "engine/value_types.h"

namespace tessa {

class NotificationCenter;
class UserDefaults;

struct EngineSettings {
  Published<std::string>& appLanguage;
  Published<CopywritingLevel>& appCopywritingLevel;
  Published<AppMode>& appMode;
  Published<SwitcherKey>& switcherKey;
  Published<bool>& isHapticFeedbackEnabled;
  Published<bool>& isSmartCorrectionEnabled;
  Published<bool>& useContrastiveFrequencyCheck;
  Published<bool>& isFatigueNotificationEnabled;
  Published<bool>& isShareUsageTimeEnabled;
  Published<bool>& hasSeenShareInvitation;
  Published<bool>& hasCompletedOnboarding;
  Published<bool>& hasSeenMilestoneNudge;
  Published<int64_t>& remindLaterCorrectionsThreshold;
  Published<bool>& hasShownUndoBoundaryHint;
  Published<std::vector<std::string>>& excludedBundleIDs;
  Published<std::vector<UserProfile>>& profiles;
  Published<std::string>& activeProfileName;

  // The defaults the cells persist in, for the few keys a page writes itself.
  UserDefaults& defaults;
  // Where the engine announces a change of language (`appLanguageChanged`).
  NotificationCenter& notifications;
  // The text of a key in the chosen language and wording level.
  std::function<std::string(const std::string& key)> localized;
  // Called before every write of any engine cell (settings, counters and
  // run-time state alike: the cells share one owner), on the writing thread;
  // read the new value once the write is done.
  std::function<Subscription(std::function<void()>)> subscribeWillChange;
};

}  // namespace tessa
