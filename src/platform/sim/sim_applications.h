#pragma once
// Simulated applications: the workspace (running applications, the frontmost
// one, sleep/wake/lock events, URL opening) and the Accessibility stand-in
// that reads the frontmost application's focused text field.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/events.h"
#include "platform/sim/sim_context.h"
#include "platform/sim/sim_text_field.h"
#include "platform/workspace.h"

namespace tessa {

// How an application answers Accessibility.
enum class SimAXMode {
  readable,     // answers everything
  dormant,      // reports no focused element (noValue)
  unavailable,  // every request fails (failure)
  timesOut,     // every request runs out of time (cannotComplete)
};

struct SimApplication {
  RunningApplication info;
  bool hasFocusedField = true;
  SimTextField field;
  SimAXMode axMode = SimAXMode::readable;
  uint64_t elementId = 0;  // the field's element, stable for the field's life
  double launchedAt = 0;   // the clock's wall time when it was launched
  TextSharing sharing = TextSharing::unknown;
  // Every key and modifier event that reached the application while it was
  // frontmost, as it saw it.
  std::vector<Event> received;
};

class SimWorkspace final : public Workspace {
 public:
  explicit SimWorkspace(const SimContext& ctx);

  std::optional<RunningApplication> frontmostApplication() const override;
  std::vector<RunningApplication> runningApplications() const override;
  std::optional<double> launchTime(int64_t pid) const override;
  TextSharing textSharing(int64_t pid) const override;
  Subscription observe(std::function<void(WorkspaceEvent, const std::optional<RunningApplication>&)> cb) override;
  bool openURL(const std::string& url) override;
  bool activateApplication(const RunningApplication& app) override { return activate(app.bundleID); }
  std::string operatingSystemVersion() const override { return osVersion_; }
  std::string bundleIdentifier() const override { return ownBundleID_; }

  // Launches (or finds) an application; it is not activated. A pid of 0
  // picks the next free one.
  SimApplication& launch(const std::string& bundleID, const std::string& name, int64_t pid = 0);
  // Makes it frontmost (its field gets the focus); false when not running.
  bool activate(const std::string& bundleID);
  // Quits it; when it was frontmost, the previously active one comes forward.
  bool terminate(const std::string& bundleID);
  SimApplication* app(const std::string& bundleID);
  const SimApplication* app(const std::string& bundleID) const;
  SimApplication* appByPid(int64_t pid);
  SimApplication* appByElement(uint64_t elementId);
  SimApplication* frontmost();
  const SimApplication* frontmost() const;

  // Tells the observers (on the main queue).
  void postEvent(WorkspaceEvent event, const std::optional<RunningApplication>& app = std::nullopt);

  void setOperatingSystemVersion(std::string v) { osVersion_ = std::move(v); }
  void setOwnBundleIdentifier(std::string id) { ownBundleID_ = std::move(id); }
  void setOpenURLSucceeds(bool ok) { openURLSucceeds_ = ok; }
  const std::vector<std::string>& openedURLs() const { return openedURLs_; }

 private:
  const SimContext& ctx_;
  std::vector<std::unique_ptr<SimApplication>> apps_;
  std::vector<int64_t> activationOrder_;  // most recent last
  int64_t nextPid_ = 501;
  uint64_t nextElement_ = 0x1000;
  SimObservers<WorkspaceEvent, std::optional<RunningApplication>> observers_;
  std::vector<std::string> openedURLs_;
  std::string osVersion_ = "14.5.0";  // major.minor.patch
  std::string ownBundleID_ = "com.Ovrelan.Tessavinor";
  bool openURLSucceeds_ = true;
};

class SimAccessibility final : public Accessibility {
 public:
  SimAccessibility(const SimContext& ctx, SimWorkspace& workspace);

  bool isProcessTrusted(bool prompt) override;
  AXResult<AXElement> focusedElement(double timeoutSeconds) override;
  AXResult<AXElement> focusedElementOfApplication(int64_t pid, double timeoutSeconds) override;
  AXResult<std::string> role(const AXElement& e) override;
  AXResult<std::string> subrole(const AXElement& e) override;
  AXResult<std::string> value(const AXElement& e) override;
  AXResult<std::string> selectedText(const AXElement& e) override;
  AXResult<TextRange> selectedTextRange(const AXElement& e) override;
  AXResult<std::string> stringForRange(const AXElement& e, TextRange range) override;
  AXResult<Rect> boundsForRange(const AXElement& e, TextRange range) override;
  AXResult<Rect> frame(const AXElement& e) override;
  Subscription observeTrustListChanged(std::function<void()> callback) override;
  bool reportsTrustChanges() const override { return announcesChanges_; }
  Subscription observeTrust(std::function<void()> callback) override;
  bool reportsFocusChanges() const override { return announcesChanges_; }
  Subscription observeFocus(std::function<void()> callback) override;
  // Answered only on a desktop whose programs share from their start.
  std::optional<bool> isApplicationRegistered(int64_t pid) override;
  bool promptTurnsTrustOn() const override { return promptTurnsOn_; }
  AXTrustProblem trustProblem() const override { return problem_; }

  // A desktop whose own switch a prompt turns on (as on X11) instead of
  // sending the user to a settings page; `problem` keeps it out of reach.
  void setPromptTurnsTrustOn(bool on) { promptTurnsOn_ = on; }
  void setTrustProblem(AXTrustProblem problem) { problem_ = problem; }
  // A desktop whose programs decide at their own start whether to share
  // their text (as on X11): one launched before the trust went on is not
  // among the registered applications and its focused field is not found,
  // until it is launched again.
  void setProgramsShareFromTheirStart(bool on) { sharesFromTheirStart_ = on; }

  // Changes the trust and, when it changed, tells the trust-list observers.
  void setTrusted(bool trusted);
  bool trusted() const { return trusted_; }
  // The list changed without our entry changing (another application).
  void postTrustListChanged() { trustObservers_.notify(); }
  // A desktop that announces each change of trust and each move of the
  // focus (as X11 does) instead of leaving them to be asked on a timer; the
  // focus moving is the caller's to announce.
  void setAnnouncesChanges(bool on) { announcesChanges_ = on; }
  void postFocusMoved() {
    if (announcesChanges_) focusWatchers_.notify();
  }
  int promptCount() const { return prompts_; }
  // How long asking for the focused element takes on the manual clock: a
  // round trip to the focused application.
  void setFocusQueryTime(double seconds) { focusQueryTime_ = seconds; }
  size_t requestCount() const { return requests_; }

 private:
  bool promptTurnsOn_ = false;
  AXTrustProblem problem_ = AXTrustProblem::none;
  bool sharesFromTheirStart_ = false;
  // The wall time the trust last went on; long ago for a desktop trusted
  // from the start.
  double trustedSince_ = -1e18;
  bool keepsTextToItself(const SimApplication& app) const;
  // The application answering for `e`, or the error it answers with.
  AXError resolve(const AXElement& e, SimApplication*& app);

  const SimContext& ctx_;
  SimWorkspace& workspace_;
  bool trusted_ = true;
  int prompts_ = 0;
  size_t requests_ = 0;
  double focusQueryTime_ = 0;
  SimObservers<> trustObservers_;
  bool announcesChanges_ = false;
  SimObservers<> trustWatchers_{ctx_};
  SimObservers<> focusWatchers_{ctx_};
};

}  // namespace tessa
