#pragma once
// The about page without any toolkit: its texts, the feedback mail link, the
// download page, the update button and the automatic-update switch, and the
// problem-report sheet it opens. The community statistics box it also shows
// is the usage page's, handed in by whoever builds the page.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_context.h"
#include "engine/engine_settings.h"
#include "hud/unified_menu_state.h"

namespace tessa {

class NotificationCenter;

class AboutModel : public std::enable_shared_from_this<AboutModel> {
 public:
  static constexpr const char* kAppName = "Tessavinor";
  static constexpr const char* kSupportAddress = "support@tessavinor.app";

  // What the page needs of the application delegate's update machinery.
  class Updater {
   public:
    virtual ~Updater() = default;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool on) = 0;
    virtual void checkForUpdates() = 0;
  };
  // The updater now, or null when there is none (no application delegate,
  // or it is gone); asked at each use. An empty lookup means none.
  using UpdaterLookup = std::function<Updater*()>;

  struct Feature {
    const char* symbol;
    HudColor color;
    const char* titleKey;
    const char* descriptionKey;
  };
  static const std::vector<Feature>& features();

  // The texts follow `settings`; the links open through the context's workspace.
  static std::shared_ptr<AboutModel> create(EngineSettings settings, EngineContext context,
                                            UpdaterLookup updater = {});

  // A text of the page's table in the engine's language.
  std::string text(const std::string& key) const;
  // Where the engine announces a change of language.
  NotificationCenter& notifications() const;
  // "Version " and the application's version.
  static std::string versionLine();
  // The credits heading: Thai for "th", English otherwise.
  std::string creditsHeading() const;
  // The dictionary credits, one markdown line each.
  static const std::vector<std::string>& creditLines();

  // The feedback mail: "mailto:" + address + "?subject=" + the subject with
  // every byte outside the unreserved characters percent-encoded.
  static std::string feedbackSubject(const std::string& version, const std::string& operatingSystem);
  static std::string feedbackMailURL(const std::string& version, const std::string& operatingSystem);
  static std::string percentEncoded(std::string_view text);

  void openDownloadPage();
  void sendFeedbackMail();
  // Asks the delegate for an update check; without one, opens the download page.
  void checkForUpdates();

  // The page appeared: the switch shows the delegate's setting (off without one).
  void appear();
  bool isAutoUpdateEnabled() const { return isAutoUpdateEnabled_; }
  // The user flipped the switch: the delegate hears of it on the next turn of
  // the main queue. Where the delegate cannot keep the setting (no updater on
  // this system), the switch goes back to what it holds and the log says so.
  void userSetAutoUpdate(bool on);
  void setAutoUpdate(bool on);

  bool isShowingProblemReport() const { return isShowingProblemReport_; }
  void showProblemReport();
  void problemReportClosed();

  std::function<void()> onChange;

 private:
  AboutModel(EngineSettings settings, EngineContext context, UpdaterLookup updater);
  void changed();

  EngineSettings settings_;
  EngineContext context_;
  UpdaterLookup updater_;
  bool isAutoUpdateEnabled_ = false;
  bool isShowingProblemReport_ = false;
};

}  // namespace tessa
