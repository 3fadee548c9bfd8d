#include "app_core/dashboard/feature_demo.h"
#include "app_core/dashboard/feature_demo_texts.h"

namespace tessa {

using namespace feature_demo_texts;

const std::vector<FeatureDemo>& allFeatureDemos() {
  static const std::vector<FeatureDemo> all = {FeatureDemo::smartCorrection, FeatureDemo::undoRedo,
                                               FeatureDemo::cycleLanguage, FeatureDemo::confirmSuggestion,
                                               FeatureDemo::whitelist};
  return all;
}

std::string FeatureDemoInfo::title(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return kSmartCorrectionTitle;
    case FeatureDemo::undoRedo: return kUndoRedoTitle;
    case FeatureDemo::cycleLanguage: return kCycleLanguageTitle;
    case FeatureDemo::confirmSuggestion: return kConfirmSuggestionTitle;
    case FeatureDemo::whitelist: return kWhitelistTitle;
  }
  return {};
}

std::string FeatureDemoInfo::hotkeyLabel(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return kTypeNormally;
    case FeatureDemo::undoRedo: return "Ctrl Shift Z";
    case FeatureDemo::cycleLanguage: return "Ctrl Shift X";
    case FeatureDemo::confirmSuggestion: return "Ctrl Shift O";
    case FeatureDemo::whitelist: return "Ctrl Shift A";
  }
  return {};
}

std::vector<std::string> FeatureDemoInfo::hotkeyCaps(FeatureDemo demo) {
  std::vector<std::string> caps;
  const std::string label = hotkeyLabel(demo);
  size_t start = 0;
  while (true) {
    size_t space = label.find(' ', start);
    caps.push_back(label.substr(start, space == std::string::npos ? std::string::npos : space - start));
    if (space == std::string::npos) break;
    start = space + 1;
  }
  return caps;
}

DemoColor FeatureDemoInfo::accentColor(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return DemoColor::green;
    case FeatureDemo::undoRedo: return DemoColor::orange;
    case FeatureDemo::cycleLanguage: return DemoColor::cyan;
    case FeatureDemo::confirmSuggestion: return DemoColor::green;
    case FeatureDemo::whitelist: return DemoColor::blue;
  }
  return DemoColor::white;
}

std::string FeatureDemoInfo::hint(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return kSmartCorrectionHint;
    case FeatureDemo::undoRedo: return kUndoRedoHint;
    case FeatureDemo::cycleLanguage: return kCycleLanguageHint;
    case FeatureDemo::confirmSuggestion: return kConfirmSuggestionHint;
    case FeatureDemo::whitelist: return kWhitelistHint;
  }
  return {};
}

std::string FeatureDemoInfo::summary(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return kSmartCorrectionSummary;
    case FeatureDemo::undoRedo: return kUndoRedoSummary;
    case FeatureDemo::cycleLanguage: return kCycleLanguageSummary;
    case FeatureDemo::confirmSuggestion: return kConfirmSuggestionSummary;
    case FeatureDemo::whitelist: return kWhitelistSummary;
  }
  return {};
}

std::vector<DemoStep> FeatureDemoInfo::scriptLines(FeatureDemo demo) {
  using C = DemoColor;
  switch (demo) {
    case FeatureDemo::smartCorrection:
      return {{"u", C::white, ""},
              {kTypedU2, C::white, ""},
              {kTypedU3, C::white, ""},
              {kTypedWrongLayout, C::white, ""},
              {kTypedWrongLayoutSpace, C::yellow, kCheckingCaption},
              {"user", C::green, kConvertedCaption}};
    case FeatureDemo::undoRedo:
      return {{"user ✅", C::green, kWordConvertedCaption},
              {"user ✅", C::orange, kPressUndoCaption},
              {kTypedWrongLayout, C::orange, kRevertedCaption}};
    case FeatureDemo::cycleLanguage:
      return {{kTypedHelloOnThai, C::white, kForgotToSwitchCaption},
              {kTypedHelloOnThai, C::cyan, kPressCycleCaption},
              {"hello", C::cyan, kSwitchedCaption}};
    case FeatureDemo::confirmSuggestion:
      return {{kTypedWrongLayout, C::white, kWrongLanguageCaption},
              {kTypedWrongLayout, C::green, kPressConfirmCaption},
              {"user", C::green, kConfirmedCaption}};
    case FeatureDemo::whitelist:
      return {{"user ✅", C::green, kWordConvertedCaption},
              {"user ✅", C::blue, kPressRememberCaption},
              {kTypedWrongLayout, C::blue, kRememberedCaption}};
  }
  return {};
}

std::vector<double> FeatureDemoInfo::stepDelays(const std::vector<DemoStep>& script) {
  std::vector<double> delays;
  for (size_t i = 0; i < script.size(); ++i) {
    const bool typing = i + 1 < script.size() && script[i].color == DemoColor::white &&
                        script[i + 1].color == DemoColor::white;
    if (typing)
      delays.push_back(0.18);
    else if (script[i].caption.find(kWaitingCaptionMark) != std::string::npos ||
             script[i].caption.find(kKeyCaptionMark) != std::string::npos)
      delays.push_back(0.6);
    else
      delays.push_back(0.5);
  }
  return delays;
}

}  // namespace tessa
