#pragma once
// The application delegate's environment on an engine fixture: its platform,
// clock, main queue, defaults and notifications, behind `shell`. The caller
// adds how the engine and the HUD are made.
#include "app_core/app_delegate.h"
#include "support/engine_fixture.h"

namespace tessa::test {

inline AppDelegateEnvironment delegateEnvironment(EngineFixture& fx, ShellHost& shell) {
  AppDelegateEnvironment env;
  env.platform = fx.environment().platform;
  env.main = &fx.runner;
  env.clock = &fx.clock;
  env.defaults = fx.defaults.get();
  env.notifications = &fx.notifications;
  env.shell = &shell;
  return env;
}

}  // namespace tessa::test
