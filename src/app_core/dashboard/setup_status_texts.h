#pragma once
// The setup status page's texts (SetupStatusModel).
//
// [design] The system's fixed wording, shown as written in every application
// language (this page is not translated). Change a text only when the design
// changes, and keep the tests that pin it.

namespace tessa {

struct SetupStatusTexts {
  static constexpr const char* kRepairTooltip =
      "ใช้เมื่อ System Settings แสดงว่าอนุญาตแล้วแต่แอปยังไม่ทำงาน หรือไม่พบชื่อแอปในรายการ · แอปจะล้างค่าสิทธิ์และเริ่มใหม่";
};

}  // namespace tessa
