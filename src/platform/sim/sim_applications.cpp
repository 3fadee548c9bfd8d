#include "platform/sim/sim_applications.h"

#include <algorithm>

namespace tessa {

// ---------------------------------------------------------------- Workspace

SimWorkspace::SimWorkspace(const SimContext& ctx) : ctx_(ctx), observers_(ctx) {}

std::optional<RunningApplication> SimWorkspace::frontmostApplication() const {
  if (const SimApplication* a = frontmost()) return a->info;
  return std::nullopt;
}

std::vector<RunningApplication> SimWorkspace::runningApplications() const {
  std::vector<RunningApplication> out;
  for (const auto& a : apps_) out.push_back(a->info);
  return out;
}

Subscription SimWorkspace::observe(
    std::function<void(WorkspaceEvent, const std::optional<RunningApplication>&)> cb) {
  return observers_.add([cb = std::move(cb)](WorkspaceEvent e, std::optional<RunningApplication> app) { cb(e, app); });
}

bool SimWorkspace::openURL(const std::string& url) {
  openedURLs_.push_back(url);
  return openURLSucceeds_;
}

SimApplication& SimWorkspace::launch(const std::string& bundleID, const std::string& name, int64_t pid) {
  if (SimApplication* existing = app(bundleID)) return *existing;
  auto a = std::make_unique<SimApplication>();
  a->info.bundleID = bundleID;
  a->info.name = name;
  a->info.pid = pid != 0 ? pid : nextPid_++;
  a->elementId = nextElement_++;
  a->launchedAt = ctx_.clock().wallTime();
  apps_.push_back(std::move(a));
  postEvent(WorkspaceEvent::didLaunchApplication, apps_.back()->info);
  return *apps_.back();
}

std::optional<double> SimWorkspace::launchTime(int64_t pid) const {
  for (const auto& a : apps_)
    if (a->info.pid == pid) return a->launchedAt;
  return std::nullopt;
}

TextSharing SimWorkspace::textSharing(int64_t pid) const {
  for (const auto& a : apps_)
    if (a->info.pid == pid) return a->sharing;
  return TextSharing::unknown;
}

bool SimWorkspace::activate(const std::string& bundleID) {
  SimApplication* a = app(bundleID);
  if (!a) return false;
  std::erase(activationOrder_, a->info.pid);
  activationOrder_.push_back(a->info.pid);
  postEvent(WorkspaceEvent::didActivateApplication, a->info);
  return true;
}

bool SimWorkspace::terminate(const std::string& bundleID) {
  auto it = std::find_if(apps_.begin(), apps_.end(), [&](const auto& a) { return a->info.bundleID == bundleID; });
  if (it == apps_.end()) return false;
  RunningApplication info = (*it)->info;
  bool wasFront = frontmost() == it->get();
  std::erase(activationOrder_, info.pid);
  apps_.erase(it);
  postEvent(WorkspaceEvent::didTerminateApplication, info);
  if (wasFront)
    if (SimApplication* next = frontmost()) postEvent(WorkspaceEvent::didActivateApplication, next->info);
  return true;
}

SimApplication* SimWorkspace::app(const std::string& bundleID) {
  for (auto& a : apps_)
    if (a->info.bundleID == bundleID) return a.get();
  return nullptr;
}

const SimApplication* SimWorkspace::app(const std::string& bundleID) const {
  return const_cast<SimWorkspace*>(this)->app(bundleID);
}

SimApplication* SimWorkspace::appByPid(int64_t pid) {
  for (auto& a : apps_)
    if (a->info.pid == pid) return a.get();
  return nullptr;
}

SimApplication* SimWorkspace::appByElement(uint64_t elementId) {
  for (auto& a : apps_)
    if (a->elementId == elementId) return a.get();
  return nullptr;
}

SimApplication* SimWorkspace::frontmost() {
  return activationOrder_.empty() ? nullptr : appByPid(activationOrder_.back());
}

const SimApplication* SimWorkspace::frontmost() const { return const_cast<SimWorkspace*>(this)->frontmost(); }

void SimWorkspace::postEvent(WorkspaceEvent event, const std::optional<RunningApplication>& app) {
  observers_.notify(event, app);
}

// ---------------------------------------------------------------- Accessibility

namespace {
AXError errorForMode(SimAXMode mode) {
  switch (mode) {
    case SimAXMode::readable:
      return AXError::success;
    case SimAXMode::dormant:
      return AXError::noValue;
    case SimAXMode::unavailable:
      return AXError::failure;
    case SimAXMode::timesOut:
      return AXError::cannotComplete;
  }
  return AXError::failure;
}

using ax::fail;
using ax::ok;
}  // namespace

SimAccessibility::SimAccessibility(const SimContext& ctx, SimWorkspace& workspace)
    : ctx_(ctx), workspace_(workspace), trustObservers_(ctx) {}

bool SimAccessibility::isProcessTrusted(bool prompt) {
  if (prompt && !trusted_) ++prompts_;
  if (prompt && !trusted_ && promptTurnsOn_ && problem_ == AXTrustProblem::none) setTrusted(true);
  return trusted_;
}

void SimAccessibility::setTrusted(bool trusted) {
  if (trusted == trusted_) return;
  trusted_ = trusted;
  if (trusted) trustedSince_ = ctx_.clock().wallTime();
  trustObservers_.notify();
  if (announcesChanges_) trustWatchers_.notify();
}

bool SimAccessibility::keepsTextToItself(const SimApplication& app) const {
  if (app.sharing == TextSharing::never || app.sharing == TextSharing::browserWithoutSwitch) return true;
  return sharesFromTheirStart_ && app.launchedAt < trustedSince_;
}

std::optional<bool> SimAccessibility::isApplicationRegistered(int64_t pid) {
  if (!sharesFromTheirStart_ || !trusted_) return std::nullopt;
  const SimApplication* a = workspace_.appByPid(pid);
  // A browser engine without its switch shows its windows, never their text.
  return a && (a->sharing == TextSharing::browserWithoutSwitch || !keepsTextToItself(*a));
}

Subscription SimAccessibility::observeTrustListChanged(std::function<void()> callback) {
  return trustObservers_.add(std::move(callback));
}

Subscription SimAccessibility::observeTrust(std::function<void()> callback) {
  if (!announcesChanges_) return {};
  Subscription subscription = trustWatchers_.add(std::move(callback));
  trustWatchers_.notify();  // the answer as it stands when the watch begins
  return subscription;
}

Subscription SimAccessibility::observeFocus(std::function<void()> callback) {
  if (!announcesChanges_) return {};
  return focusWatchers_.add(std::move(callback));
}

AXResult<AXElement> SimAccessibility::focusedElementOfApplication(int64_t pid, double) {
  ++requests_;
  if (!trusted_) return fail<AXElement>(AXError::apiDisabled);
  SimApplication* a = workspace_.appByPid(pid);
  if (!a) return fail<AXElement>(AXError::invalidElement);
  if (AXError e = errorForMode(a->axMode); e != AXError::success) return fail<AXElement>(e);
  // A program that shares nothing is not found where the focus is looked for.
  if (!a->hasFocusedField || keepsTextToItself(*a)) return fail<AXElement>(AXError::noValue);
  return ok(AXElement{a->elementId, a->info.pid});
}

AXResult<AXElement> SimAccessibility::focusedElement(double timeoutSeconds) {
  if (focusQueryTime_ > 0) ctx_.clock().advance(std::min(focusQueryTime_, timeoutSeconds));
  if (!trusted_) {
    ++requests_;
    return fail<AXElement>(AXError::apiDisabled);
  }
  SimApplication* a = workspace_.frontmost();
  if (!a) {
    ++requests_;
    return fail<AXElement>(AXError::noValue);
  }
  return focusedElementOfApplication(a->info.pid, timeoutSeconds);
}

AXError SimAccessibility::resolve(const AXElement& e, SimApplication*& app) {
  ++requests_;
  if (!trusted_) return AXError::apiDisabled;
  app = workspace_.appByElement(e.id);
  if (!app || app->info.pid != e.pid || !app->hasFocusedField) return AXError::invalidElement;
  // A dormant application still answers for an element already obtained.
  if (app->axMode == SimAXMode::unavailable || app->axMode == SimAXMode::timesOut) return errorForMode(app->axMode);
  return AXError::success;
}

AXResult<std::string> SimAccessibility::role(const AXElement& e) {
  SimApplication* a = nullptr;
  if (AXError err = resolve(e, a); err != AXError::success) return fail<std::string>(err);
  return ok(a->field.role());
}

AXResult<std::string> SimAccessibility::subrole(const AXElement& e) {
  SimApplication* a = nullptr;
  if (AXError err = resolve(e, a); err != AXError::success) return fail<std::string>(err);
  if (!a->field.secure()) return fail<std::string>(AXError::noValue);
  return ok(std::string("AXSecureTextField"));
}

// A secure field never gives its text away: it reads as empty.
AXResult<std::string> SimAccessibility::value(const AXElement& e) {
  SimApplication* a = nullptr;
  if (AXError err = resolve(e, a); err != AXError::success) return fail<std::string>(err);
  return ok(a->field.secure() ? std::string() : a->field.text());
}

AXResult<std::string> SimAccessibility::selectedText(const AXElement& e) {
  SimApplication* a = nullptr;
  if (AXError err = resolve(e, a); err != AXError::success) return fail<std::string>(err);
  return ok(a->field.secure() ? std::string() : a->field.selectedText());
}

AXResult<TextRange> SimAccessibility::selectedTextRange(const AXElement& e) {
  SimApplication* a = nullptr;
  if (AXError err = resolve(e, a); err != AXError::success) return fail<TextRange>(err);
  return ok(a->field.selection());
}

AXResult<std::string> SimAccessibility::stringForRange(const AXElement& e, TextRange range) {
  SimApplication* a = nullptr;
  if (AXError err = resolve(e, a); err != AXError::success) return fail<std::string>(err);
  auto s = a->field.substring(range);
  if (!s) return fail<std::string>(AXError::illegalArgument);
  return ok(a->field.secure() ? std::string() : *s);
}

AXResult<Rect> SimAccessibility::boundsForRange(const AXElement& e, TextRange range) {
  SimApplication* a = nullptr;
  if (AXError err = resolve(e, a); err != AXError::success) return fail<Rect>(err);
  if (!a->field.substring(range)) return fail<Rect>(AXError::illegalArgument);
  return ok(a->field.boundsFor(range));
}

AXResult<Rect> SimAccessibility::frame(const AXElement& e) {
  SimApplication* a = nullptr;
  if (AXError err = resolve(e, a); err != AXError::success) return fail<Rect>(err);
  return ok(a->field.frame());
}

}  // namespace tessa
