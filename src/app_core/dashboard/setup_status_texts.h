#pragma once
// The setup status page's texts (SetupStatusModel).
//
// [design] The system's fixed wording, shown as written in every application
// language (this page is not translated). Change a text only when the design
// changes, and keep the tests that pin it. The repair's tool tip is worded
// for Linux: the design's sends the user to the other platform's settings and
// resets a permission record, where this build turns to the desktop's
// accessibility switch and only restarts.

namespace tessa {

struct SetupStatusTexts {
  static constexpr const char* kRepairTooltip =
      "ใช้เมื่อเปิด Accessibility ของเดสก์ท็อปแล้วแต่แอปยังไม่ทำงาน · แอปจะเริ่มใหม่และตรวจสิทธิ์อีกครั้ง";
};

}  // namespace tessa
