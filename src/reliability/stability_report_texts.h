#pragma once
// The stability report upload's failures, as the problem report sheet shows
// them (StabilityReportError::description).
//
// [design] The system's fixed wording, shown as written in every application
// language. Change a text only when the design changes, and keep the tests
// that pin it.

namespace tessa::stability_report_texts {

inline constexpr const char* kEncodingFailed = "ไม่สามารถแปลงข้อมูลรายงานเป็น JSON ได้";
inline constexpr const char* kNoValidAnswer = "เซิร์ฟเวอร์ไม่ตอบสนองหรือไม่ถูกต้อง";
inline constexpr const char* kDailyLimit = "ส่งรายงานเกินจำนวนที่กำหนดสำหรับวันนี้ (สูงสุด 10 รายงาน/วัน)";
inline constexpr const char* kTooLarge = "ขนาดข้อมูลรายงานเกิน 256 KB";
// "เซิร์ฟเวอร์ตอบกลับรหัส " + the HTTP status.
inline constexpr const char* kStatusPrefix = "เซิร์ฟเวอร์ตอบกลับรหัส ";

}  // namespace tessa::stability_report_texts
