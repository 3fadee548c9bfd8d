#pragma once
// The clipboard history in `tessavinorctl simulate`: other applications'
// copies, the history's own actions, and the history in the transcript.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "scenario.h"

namespace tessa {
class AppDelegate;
class SimDesktop;
}  // namespace tessa

namespace tessa::ctl {

class ClipboardSteps {
 public:
  ClipboardSteps(SimDesktop& desktop, AppDelegate& delegate) : desktop_(desktop), delegate_(delegate) {}

  // Whether the scenario copies or acts on the history.
  static bool usedBy(const Scenario& scenario);
  // Another application copies (the one named, brought to the front first).
  void copy(const Step& step);
  // What the settings page's buttons and the delegate's actions do.
  void history(const Step& step);
  // The history newest first (kind, a short preview, pinned, source) and its
  // log lines, which never carry what was copied.
  nlohmann::json transcript() const;

  // An image of `width` × `height` white pixels, unique to `tag`.
  static std::string simulatedPng(uint32_t width, uint32_t height, const std::string& tag);

 private:
  SimDesktop& desktop_;
  AppDelegate& delegate_;
  std::vector<std::string> notes_;  // history steps that found no entry
};

}  // namespace tessa::ctl
