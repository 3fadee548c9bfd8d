#pragma once
// `tessavinorctl simulate --desktop x11`: a scenario on a private X server.
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "scenario.h"

namespace tessa::ctl {

// This build has the X11 back end and the X session it runs in.
bool x11DesktopBuilt();
// Runs the scenario on its own Xvfb inside the current session bus and
// returns its transcript (text, caret, inputSource, notices, log, and the
// back end's own log as x11Log); none, with the reason, when the server, the
// field or the application does not come up or the scenario cannot run there.
std::optional<nlohmann::json> runScenarioOnX11(const Scenario& scenario, std::string* why);

}  // namespace tessa::ctl
