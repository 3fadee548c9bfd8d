#include "app_core/dashboard/telemetry_inspector_model.h"

#include <iterator>
#include <string_view>

#include "base/task_runner.h"
#include "l10n/localization.h"
#include "reliability/telemetry_manager.h"

namespace tessa {

namespace {

// The texts of one language, read once from the text tables; their data()
// ends in a NUL (see thaiOrEnglishText).
TelemetryInspectorModel::Texts textsIn(const char* language) {
  static const char* const keys[] = {"inspector_title",           "inspector_subtitle",
                                     "inspector_point_no_text",   "inspector_point_rotating_id",
                                     "inspector_payload_heading", "inspector_copy",
                                     "inspector_copied",          "inspector_close"};
  const char* t[std::size(keys)];
  for (size_t i = 0; i < std::size(keys); ++i) {
    const std::string_view* found = LocalizedTable::shared().find(language, keys[i]);
    t[i] = found ? found->data() : keys[i];
  }
  return {t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7]};
}

}  // namespace

const TelemetryInspectorModel::Texts& TelemetryInspectorModel::textsFor(const std::string& appLanguage) {
  static const Texts thai = textsIn("th");
  static const Texts english = textsIn("en");
  return appLanguage == "th" ? thai : english;
}

std::shared_ptr<TelemetryInspectorModel> TelemetryInspectorModel::create(EngineSettings settings,
                                                                         EngineContext context,
                                                                         EngineReports reports,
                                                                         TelemetryManager& telemetry) {
  return std::shared_ptr<TelemetryInspectorModel>(
      new TelemetryInspectorModel(std::move(settings), std::move(context), std::move(reports), telemetry));
}

TelemetryInspectorModel::TelemetryInspectorModel(EngineSettings settings, EngineContext context,
                                                 EngineReports reports, TelemetryManager& telemetry)
    : settings_(std::move(settings)),
      context_(std::move(context)),
      reports_(std::move(reports)),
      telemetry_(telemetry) {}

const TelemetryInspectorModel::Texts& TelemetryInspectorModel::texts() const {
  return textsFor(settings_.appLanguage.get());
}

std::string TelemetryInspectorModel::payloadText() const { return telemetry_.payloadPreview(reports_.telemetry()); }

void TelemetryInspectorModel::copyJSON(const std::function<void(const std::string&)>& write) {
  // A fresh payload, not the text on screen: the counters may have moved.
  if (write) write(telemetry_.payloadPreview(reports_.telemetry()));
  hasCopied_ = true;
  if (onChange) onChange();
  std::weak_ptr<TelemetryInspectorModel> weak = weak_from_this();
  context_.main.postDelayed(kCopiedMarkSeconds, [weak] {
    auto self = weak.lock();
    if (!self || !self->hasCopied_) return;
    self->hasCopied_ = false;
    if (self->onChange) self->onChange();
  });
}

}  // namespace tessa
