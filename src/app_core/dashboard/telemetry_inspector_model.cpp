#include "app_core/dashboard/telemetry_inspector_model.h"

#include <iterator>
#include <string_view>

#include "engine/keyboard_engine.h"
#include "engine/reporting.h"
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

std::shared_ptr<TelemetryInspectorModel> TelemetryInspectorModel::create(KeyboardEngine& engine,
                                                                         TelemetryManager& telemetry) {
  return std::shared_ptr<TelemetryInspectorModel>(new TelemetryInspectorModel(engine, telemetry));
}

TelemetryInspectorModel::TelemetryInspectorModel(KeyboardEngine& engine, TelemetryManager& telemetry)
    : engine_(engine), telemetry_(telemetry) {}

const TelemetryInspectorModel::Texts& TelemetryInspectorModel::texts() const {
  return textsFor(engine_.appLanguage.get());
}

std::string TelemetryInspectorModel::payloadText() const { return telemetry_.payloadPreview(telemetryEnvironment(engine_)); }

void TelemetryInspectorModel::copyJSON(const std::function<void(const std::string&)>& write) {
  // A fresh payload, not the text on screen: the counters may have moved.
  if (write) write(telemetry_.payloadPreview(telemetryEnvironment(engine_)));
  hasCopied_ = true;
  if (onChange) onChange();
  std::weak_ptr<TelemetryInspectorModel> weak = weak_from_this();
  engine_.mainQueue().postDelayed(kCopiedMarkSeconds, [weak] {
    auto self = weak.lock();
    if (!self || !self->hasCopied_) return;
    self->hasCopied_ = false;
    if (self->onChange) self->onChange();
  });
}

}  // namespace tessa
