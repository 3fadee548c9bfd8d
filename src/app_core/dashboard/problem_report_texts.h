#pragma once
// The problem-report sheet's texts (ProblemReportModel).
//
// [design] The system's fixed wording, shown as written in every application
// language (this sheet is not translated). Change a text only when the design
// changes, and keep the tests that pin it.

namespace tessa {

struct ProblemReportTexts {
  static constexpr const char* kTitle = "รายงานปัญหาให้ทีมพัฒนา";
  static constexpr const char* kSubtitle = "ประกอบขึ้นตอนคุณกดเท่านั้น · ไม่มีการส่งอัตโนมัติ";
  static constexpr const char* kCloseName = "ปิด";
  static constexpr const char* kNotSentLine =
      "ไม่ส่ง: สิ่งที่คุณพิมพ์ · ชื่อ · อีเมล (เว้นแต่คุณกรอกเอง) · รหัสประจำเครื่อง · ตำแหน่งไฟล์ · ภูมิภาค · "
      "รายชื่อแอปที่ไม่รู้จัก";
  static constexpr const char* kNoteTitle = "เล่าสิ่งที่เกิดขึ้น (ไม่บังคับ)";
  static constexpr const char* kNotePlaceholder = "เช่น: เปิดฝาแล้วแก้คำไม่ทำงาน";
  static constexpr const char* kNoteHint = "ข้อความนี้ไปกับรายงานตามที่พิมพ์ · อย่าใส่รหัสผ่านหรือข้อมูลส่วนตัว";
  static constexpr const char* kContactTitle = "อีเมลสำหรับติดต่อกลับ (ไม่บังคับ)";
  static constexpr const char* kPrivacyButton = "นโยบายความเป็นส่วนตัว…";
  static constexpr const char* kSaveButton = "บันทึกเป็นไฟล์";
  static constexpr const char* kSendButton = "ส่งรายงาน";
  static constexpr const char* kSavedPrefix = "บันทึกแล้ว: ";
  static constexpr const char* kSaveFailedPrefix = "บันทึกไม่สำเร็จ: ";  // [ours]
  static constexpr const char* kSendFailedPrefix = "ส่งไม่สำเร็จ: ";
  static constexpr const char* kSuccessTitle = "ส่งรายงานปัญหาสำเร็จ";
  static constexpr const char* kReportIdCaption = "รหัสรายงานของคุณ (Report ID):";
  static constexpr const char* kCopyTooltip = "คัดลอกรหัสรายงาน";
  static constexpr const char* kRetentionNote =
      "ข้อมูลจะถูกเก็บเป็นเวลา 90 วันและลบอัตโนมัติ คุณสามารถนำรหัสนี้ไปอ้างอิงกับทีมพัฒนา "
      "หรือใช้สั่งลบข้อมูลได้ทันทีที่หน้านโยบายความเป็นส่วนตัว";
  static constexpr const char* kOpenPrivacyLink = "เปิดหน้านโยบายความเป็นส่วนตัว";
  static constexpr const char* kDoneButton = "เสร็จสิ้น";

  // What is sent (with the report's limits filled in), the hint after a failed send, the disclosure.
  static constexpr const char* kSentLineFormat =
      "ส่ง: เหตุการณ์สำคัญของระบบแก้คำและรายการล่าสุด ไม่เกิน {} รายการ · สถิติ {} วัน · รุ่นแอป, "
      "รุ่นระบบปฏิบัติการ, รุ่นเครื่อง, ผังแป้นพิมพ์ · การตั้งค่าและสถานะสิทธิ์ของ Tessavinor";
  static constexpr const char* kSendFailedHintPrefix = " (คุณยังสามารถกด \"";
  static constexpr const char* kSendFailedHintSuffix = "\" เพื่อเก็บไว้เองได้)";
  static constexpr const char* kDisclosurePrefix = "ดูข้อมูลทั้งหมดที่จะส่ง (";
};

}  // namespace tessa
