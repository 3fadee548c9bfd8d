#pragma once
// The notices the application's start shows (AppDelegate): Accessibility reset
// by a system update, a conflicting keyboard program.
//
// [design] The system's fixed wording, shown as written in every application
// language (these notices are not translated). Change a text only when the
// design changes, and keep the tests that pin it.

namespace tessa::app_delegate_texts {

// Accessibility lost after a system update: the detail is "…จาก " + old + " → " + new.
inline constexpr const char* kAccessibilityResetTitle = "สิทธิ์ Accessibility ถูกรีเซ็ต";
inline constexpr const char* kAccessibilityResetDetailPrefix = "เนื่องจากระบบปฏิบัติการอัปเดตจาก ";
inline constexpr const char* kAccessibilityResetAction = "เปิดสิทธิ์อีกครั้ง";

// A keyboard program that may fight us: the title is "…(" + name + ")".
inline constexpr const char* kConflictTitlePrefix = "ตรวจพบแอปแต่งคีย์บอร์ด (";
inline constexpr const char* kConflictDetail = "แอปนี้อาจดักจับปุ่มและชนกับ Tessavinor ได้";
inline constexpr const char* kConflictAction = "เข้าใจแล้ว ไม่ต้องเตือนอีก";

}  // namespace tessa::app_delegate_texts
