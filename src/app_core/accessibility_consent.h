#pragma once
// The user's yes before a grant control turns on the desktop's
// accessibility. Where granting Accessibility means turning on the desktop's
// own switch (X11), that switch is desktop-wide: every program started
// afterwards shares its text with assistive tools, and the programs already
// open share theirs only once restarted. So the grant controls (the
// onboarding's permission page, the setup page, the keyboard settings) first
// say so and turn it on only when the user agrees. Elsewhere the grant
// opens the system's own settings, which ask the user themselves.
#include <string>

#include "engine/engine_accessibility.h"
#include "engine/engine_context.h"
#include "engine/engine_settings.h"

namespace tessa {

class AccessibilityConsent {
 public:
  // The texts come from `settings`, the grant goes through `accessibility`.
  AccessibilityConsent(EngineSettings settings, EngineAccessibility accessibility, EngineContext context)
      : settings_(std::move(settings)), accessibility_(std::move(accessibility)), context_(std::move(context)) {}

  // Whether granting on `platform` turns the desktop's switch on, so the user
  // is asked first.
  static bool isAsked(const Platform& platform);

  // A grant control was used: opens the question, or grants at once where
  // there is nothing to ask.
  void request();
  // The question is open, waiting for the user's answer.
  bool isAsking() const { return asking_; }
  // The user agreed: the switch is turned on and the trust checked again.
  void confirm();
  // The user declined (or closed the question): nothing changes.
  void cancel() { asking_ = false; }

  // The question's texts, in the application's language.
  std::string title() const;
  // What turning it on does, and how to turn it off again.
  std::string message() const;
  // That a program already open may need a restart, and that any that does
  // will be named.
  std::string restartNote() const;
  std::string confirmTitle() const;
  std::string cancelTitle() const;

 private:
  EngineSettings settings_;
  EngineAccessibility accessibility_;
  EngineContext context_;
  bool asking_ = false;
};

}  // namespace tessa
