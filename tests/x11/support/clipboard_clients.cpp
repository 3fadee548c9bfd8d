#include "x11/support/clipboard_clients.h"

#include <chrono>

namespace tessa::x11test {
namespace {
constexpr double kStartTimeout = 10.0;
}  // namespace

std::unique_ptr<ClipboardOwner> ClipboardOwner::start(const XSession& session, Selection selection,
                                                     const std::string& text,
                                                     const std::vector<std::string>& extraTypes, std::string* why) {
  std::vector<std::string> argv = {TESSAVINOR_CLIPOWNER_PATH, selection == Selection::primary ? "primary" : "clipboard",
                                    text};
  argv.insert(argv.end(), extraTypes.begin(), extraTypes.end());
  return launch(session, std::move(argv), "", why);
}

std::unique_ptr<ClipboardOwner> ClipboardOwner::startMisbehaving(const XSession& session, const std::string& mode,
                                                                 const std::string& text, std::string* why) {
  return launch(session, {TESSAVINOR_CLIPOWNER_PATH, "clipboard", text}, mode, why);
}

std::unique_ptr<ClipboardOwner> ClipboardOwner::startInBackground(const XSession& session, const std::string& text,
                                                                  const std::vector<std::string>& extraTypes,
                                                                  std::string* why) {
  std::vector<std::string> argv = {TESSAVINOR_CLIPOWNER_PATH, "clipboard", text};
  argv.insert(argv.end(), extraTypes.begin(), extraTypes.end());
  auto owner = launch(session, std::move(argv), "background", why);
  // Its shell would reap the process that went to the background at once.
  if (owner && !owner->process_->wait(kStartTimeout)) {
    if (why) *why = "tessavinor-clipowner did not go to the background";
    return nullptr;
  }
  return owner;
}

std::unique_ptr<ClipboardOwner> ClipboardOwner::launch(const XSession& session, std::vector<std::string> argv,
                                                       const std::string& mode, std::string* why) {
  ChildProcess::Options options;
  options.env = {{"DISPLAY", session.displayName()}};
  if (!mode.empty()) options.env.emplace_back("TESSAVINOR_CLIPOWNER_MODE", mode);
  std::unique_ptr<ClipboardOwner> owner(new ClipboardOwner());
  owner->process_ = ChildProcess::start(argv, options);
  auto ready = owner->process_ ? owner->process_->waitForLine("READY", kStartTimeout) : std::nullopt;
  if (!ready) {
    if (why) *why = "tessavinor-clipowner did not report READY";
    return nullptr;
  }
  owner->servingPid_ = ready->size() > 6 ? static_cast<pid_t>(std::stol(ready->substr(6))) : owner->process_->pid();
  return owner;
}

std::unique_ptr<WindowManager> WindowManager::start(const XSession& session, std::string* why) {
  ChildProcess::Options options;
  options.env = {{"DISPLAY", session.displayName()}};
  std::unique_ptr<WindowManager> wm(new WindowManager());
  wm->process_ = ChildProcess::start({TESSAVINOR_FAKEWM_PATH}, options);
  if (!wm->process_ || !wm->process_->waitForLine("READY", kStartTimeout)) {
    if (why) *why = "tessavinor-fakewm did not report READY";
    return nullptr;
  }
  return wm;
}

bool WindowManager::waitForToolActivation(double timeoutSeconds) {
  auto now = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
  const double deadline = now() + timeoutSeconds;
  while (now() < deadline) {
    auto line = process_->waitForLine("ACTIVATE ", deadline - now());
    if (line && line->size() > 2 && line->compare(line->size() - 2, 2, " 2") == 0) return true;
  }
  return false;
}

}  // namespace tessa::x11test
