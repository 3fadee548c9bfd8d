#pragma once
// The notice the Accessibility repair shows before the relaunch
// (AccessibilityRepair).
//
// [design] The system's fixed wording, shown as written in every application
// language (this notice is not translated). Change a text only when the design
// changes, and keep the tests that pin it.

namespace tessa {

struct AccessibilityRepairTexts {
  static constexpr const char* kHudTitle = "กำลังซ่อมสิทธิ์";
  static constexpr const char* kHudMessage = "แอปจะปิดและเปิดใหม่ในอีกสักครู่ แล้วระบบจะถามสิทธิ์อีกครั้ง";
};

}  // namespace tessa
