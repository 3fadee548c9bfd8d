#include "app_core/dashboard/telemetry_inspector_model.h"

#include "engine/keyboard_engine.h"
#include "engine/reporting.h"

namespace tessa {

namespace {

const TelemetryInspectorModel::Texts kEnglish{
    "Inspect Actual Outgoing Payload (JSON)",
    "100% Transparent — Only aggregated counters. Never keystrokes or text.",
    "Zero text or keystrokes collected",
    "Rotating anonymous UUID every 30 days",
    "JSON Payload Structure (POST /api/telemetry/ingest):",
    "Copy JSON",
    "Copied!",
    "Got it, Close",
};

const TelemetryInspectorModel::Texts kThai{
    "ตรวจสอบข้อมูลที่จะส่งจริง (JSON Payload)",
    "โปร่งใส 100% — ส่งเฉพาะตัวเลขผลรวมสะสม ไม่มีข้อความหรือปุ่มกดใดๆ",
    "ไม่มีการบันทึกข้อความหรือปุ่มที่พิมพ์เด็ดขาด",
    "รหัสนิรนาม (anon_id) หมุนใหม่ทุก 30 วัน ไม่ตามรอยบุคคล",
    "โครงสร้าง JSON ที่ส่งออก (POST /api/telemetry/ingest):",
    "คัดลอก JSON",
    "คัดลอกแล้ว!",
    "เข้าใจแล้ว ปิดหน้าต่าง",
};

}  // namespace

const TelemetryInspectorModel::Texts& TelemetryInspectorModel::textsFor(const std::string& appLanguage) {
  return appLanguage == "th" ? kThai : kEnglish;
}

std::shared_ptr<TelemetryInspectorModel> TelemetryInspectorModel::create(KeyboardEngine& engine,
                                                                         TelemetryManager* telemetry) {
  return std::shared_ptr<TelemetryInspectorModel>(
      new TelemetryInspectorModel(engine, telemetry ? *telemetry : TelemetryManager::shared()));
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
