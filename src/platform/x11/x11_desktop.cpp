#include "platform/x11/x11_desktop.h"

#include <cstdlib>

#include "platform/linux/json_preference_domains.h"
#include "platform/x11/atspi_accessibility.h"
#include "platform/x11/x11_event_system.h"
#include "platform/x11/x11_hid.h"
#include "platform/x11/x11_input_sources.h"
#include "platform/x11/x11_key_mapping.h"
#include "platform/x11/x11_window_focus.h"

namespace tessa {

X11Desktop::Environment X11Desktop::processEnvironment() {
  Environment env;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
    if (const char* value = std::getenv(name)) env[name] = value;
  return env;
}

std::string X11Desktop::unsuitableSessionReason(const Environment& env) {
  auto get = [&](const char* name) {
    auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
  };
  // Under Wayland an X client sees only the other X clients' keys, so a tap
  // through Xwayland would miss most of what the user types.
  if (get("XDG_SESSION_TYPE") == "wayland" || !get("WAYLAND_DISPLAY").empty())
    return "Wayland session: keys cannot be grabbed for the whole desktop";
  if (get("DISPLAY").empty()) return "no X11 display (DISPLAY is not set)";
  return {};
}

std::unique_ptr<X11Desktop> X11Desktop::open(TaskRunner& main, const Environment& env, Log log,
                                             double handlerBudgetSeconds) {
  std::unique_ptr<X11Desktop> desktop(new X11Desktop());
  auto say = [&](const std::string& line) {
    if (log) log(line);
  };
  desktop->reason_ = unsuitableSessionReason(env);
  if (!desktop->reason_.empty()) {
    say("X11 back end not started: " + desktop->reason_ + "; no keyboard tap");
    return desktop;
  }
  desktop->display_ = env.at("DISPLAY");
  // Finding and raising windows needs no extension: it is there even when
  // the keyboard back ends are not. A display that cannot be opened at all
  // is reported once, just below.
  desktop->focus_ = X11WindowFocus::open(desktop->display_);
  X11EventSystemOptions options;
  options.handlerBudgetSeconds = handlerBudgetSeconds;
  options.log = log;
  std::string why;
  desktop->events_ = X11EventSystem::create(desktop->display_, main, options, &why);
  if (!desktop->events_) {
    desktop->reason_ = why + " (" + desktop->display_ + ")";
    say("X11 back end not started: " + desktop->reason_ + "; no keyboard tap");
    return desktop;
  }
  desktop->hid_ = X11Hid::create(desktop->display_);
  desktop->processes_ = std::make_unique<X11KeyMappingRunner>(*desktop->events_);
  // Keyboard groups as input sources, and the focused text field over AT-SPI.
  desktop->inputSources_ = std::make_unique<X11InputSources>(main, desktop->display_);
  // The input focus tells it which application a keyboard grab hides.
  desktop->accessibility_ = std::make_unique<AtspiAccessibility>(main, desktop->focus_.get());
  say("X11 back end on display " + desktop->display_ + ": XInput2 and XTest present");
  return desktop;
}

X11Desktop::~X11Desktop() { restore(); }

LinuxDesktopOptions X11Desktop::options(LinuxDesktopOptions base) const {
  if (events_) base.events = events_.get();
  if (hid_) base.hid = hid_.get();
  if (processes_) base.processes = processes_.get();
  if (inputSources_) base.inputSources = inputSources_.get();
  if (accessibility_) base.accessibility = accessibility_.get();
  if (focus_) base.focus = focus_.get();
  return base;
}

InputSources* X11Desktop::inputSources() const { return inputSources_.get(); }
Accessibility* X11Desktop::accessibility() const { return accessibility_.get(); }

ProcessRunner* X11Desktop::processes() const { return processes_.get(); }

void X11Desktop::honourHotKeys(std::shared_ptr<JsonPreferenceDomains> store) {
  if (!events_) return;
  if (!store) {
    events_->setNextSourceHotKey({});
    return;
  }
  events_->setNextSourceHotKey([store] { return store->nextSourceHotKeyIsFnF19(); });
}

void X11Desktop::restore() {
  if (events_) {
    events_->setCapsLockAsF19(false);
    events_->invalidateAllTaps();
    events_->flush();
  }
  if (hid_) hid_->restore();
}

}  // namespace tessa
