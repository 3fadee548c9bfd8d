#pragma once
// Five short, self-running demonstrations of what the typing engine does:
// the text being typed step by step, a caption, the key combination and a
// closing hint. All their texts are Thai, whatever the interface language.
#include <string>
#include <vector>

namespace tessa {

enum class FeatureDemo { smartCorrection, undoRedo, cycleLanguage, confirmSuggestion, whitelist };

enum class DemoColor { white, yellow, green, orange, cyan, blue };

struct DemoStep {
  std::string text;
  DemoColor color = DemoColor::white;
  std::string caption;
};

// Every demonstration, in the order a host shows them.
const std::vector<FeatureDemo>& allFeatureDemos();

struct FeatureDemoInfo {
  static std::string title(FeatureDemo demo);
  static std::string hotkeyLabel(FeatureDemo demo);
  // The key caps: the hot-key label split at every space.
  static std::vector<std::string> hotkeyCaps(FeatureDemo demo);
  static DemoColor accentColor(FeatureDemo demo);
  static std::string hint(FeatureDemo demo);
  // The card's spoken description.
  static std::string summary(FeatureDemo demo);
  static std::vector<DemoStep> scriptLines(FeatureDemo demo);
  // How long each step stays: a keystroke of typing 0.18 s, a step that is
  // in progress or asks for a key press 0.6 s, anything else 0.5 s.
  static std::vector<double> stepDelays(const std::vector<DemoStep>& script);
};

}  // namespace tessa
