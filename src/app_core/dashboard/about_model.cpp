#include "app_core/dashboard/about_model.h"

#include "base/endpoints.h"
#include "l10n/localization.h"
#include "platform/platform.h"
#include "app_core/dashboard/about_texts.h"

namespace tessa {

namespace {

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

const std::vector<AboutModel::Feature>& AboutModel::features() {
  static const std::vector<Feature> list{
      {"checkmark.circle.fill", HudColor::green, "about_feature_remap", "about_feature_remap_desc"},
      {"keyboard", HudColor::blue, "about_feature_switch_key", "about_feature_switch_key_desc"},
      {"moon.zzz", HudColor::indigo, "about_feature_background", "about_feature_background_desc"},
  };
  return list;
}

std::shared_ptr<AboutModel> AboutModel::create(EngineSettings settings, EngineContext context,
                                               UpdaterLookup updater) {
  return std::shared_ptr<AboutModel>(new AboutModel(std::move(settings), std::move(context), std::move(updater)));
}

AboutModel::AboutModel(EngineSettings settings, EngineContext context, UpdaterLookup updater)
    : settings_(std::move(settings)), context_(std::move(context)), updater_(std::move(updater)) {}

void AboutModel::changed() {
  if (onChange) onChange();
}

std::string AboutModel::text(const std::string& key) const { return settings_.localized(key); }

NotificationCenter& AboutModel::notifications() const { return settings_.notifications; }

std::string AboutModel::versionLine() { return "Version " + AppInfo::versionString(); }

std::string AboutModel::creditsHeading() const {
  return thaiOrEnglishText("about_credits_heading", settings_.appLanguage.get());
}

const std::vector<std::string>& AboutModel::creditLines() {
  static const std::vector<std::string> lines(std::begin(about_texts::kCreditLines),
                                              std::end(about_texts::kCreditLines));
  return lines;
}

std::string AboutModel::percentEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (isUnreserved(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    }
  }
  return out;
}

std::string AboutModel::feedbackSubject(const std::string& version, const std::string& operatingSystem) {
  return "Tessavinor Feedback (v" + version + ", Linux " + operatingSystem + ")";
}

std::string AboutModel::feedbackMailURL(const std::string& version, const std::string& operatingSystem) {
  return std::string("mailto:") + kSupportAddress + "?subject=" +
         percentEncoded(feedbackSubject(version, operatingSystem));
}

void AboutModel::openDownloadPage() {
  if (Workspace* workspace = context_.platform.workspace) workspace->openURL(Endpoints::downloadPage());
}

void AboutModel::sendFeedbackMail() {
  Workspace* workspace = context_.platform.workspace;
  if (!workspace) return;
  workspace->openURL(feedbackMailURL(AppInfo::versionString(), workspace->operatingSystemVersion()));
}

void AboutModel::checkForUpdates() {
  if (Updater* updater = updater_ ? updater_() : nullptr) {
    updater->checkForUpdates();
  } else {
    openDownloadPage();
  }
}

void AboutModel::appear() {
  Updater* updater = updater_ ? updater_() : nullptr;
  bool on = updater && updater->automaticallyChecksForUpdates();
  if (on == isAutoUpdateEnabled_) return;
  isAutoUpdateEnabled_ = on;
  changed();
}

void AboutModel::userSetAutoUpdate(bool on) {
  if (on == isAutoUpdateEnabled_) return;
  isAutoUpdateEnabled_ = on;
  changed();
  std::weak_ptr<AboutModel> weak = weak_from_this();
  context_.main.post([weak, on] {
    if (auto self = weak.lock()) self->setAutoUpdate(on);
  });
}

void AboutModel::setAutoUpdate(bool on) {
  Updater* updater = updater_ ? updater_() : nullptr;
  if (!updater) return;
  updater->setAutomaticallyChecksForUpdates(on);
  bool held = updater->automaticallyChecksForUpdates();
  if (held == on) return;
  context_.log(on ? "About: automatic update checks are not available on this system - the switch stays off"
                 : "About: automatic update checks could not be switched off");
  isAutoUpdateEnabled_ = held;
  changed();
}

void AboutModel::showProblemReport() {
  if (isShowingProblemReport_) return;
  isShowingProblemReport_ = true;
  changed();
}

void AboutModel::problemReportClosed() {
  if (!isShowingProblemReport_) return;
  isShowingProblemReport_ = false;
  changed();
}

}  // namespace tessa
