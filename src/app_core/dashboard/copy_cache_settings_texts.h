#pragma once
// The clipboard history's settings page's texts (CopyCacheSettingsModel).
//
// [design] The system's fixed wording, shown as written in every application
// language (this page is not translated). Change a text only when the design
// changes, and keep the tests that pin it.

namespace tessa {

struct CopyCacheSettingsTexts {
  // Group box titles.
  static constexpr const char* kOperationTitle = "การทำงานหลักและความปลอดภัย (Operation & Security)";
  static constexpr const char* kPinnedTitle = "สนิปเป็ตปักหมุดวางด่วน (Pinned Snippets)";
  static constexpr const char* kHistoryTitle = "ประวัติการคัดลอกล่าสุด (Clipboard History)";
  static constexpr const char* kPrivacyTitle = "ข้อควรทราบและความปลอดภัย (Privacy & Security)";

  // The operation box.
  static constexpr const char* kEnableSwitch = "เปิดใช้คลังคลิปบอร์ด (Enable Copy Cache)";
  static constexpr const char* kEnabledNote =
      "กำลังบันทึกสิ่งที่คัดลอกจากโปรแกรมอื่น รายการที่ไม่ได้ปักหมุดจะถูกลบภายใน 24 ชั่วโมง";
  static constexpr const char* kDisabledNote = "ปิดอยู่: ไม่มีการบันทึกสิ่งที่คุณคัดลอก";
  static constexpr const char* kClearOnQuitSwitch = "ล้างประวัติทั้งหมดเมื่อออกจากโปรแกรม (Clear on Quit)";
  static constexpr const char* kOpenPanelButton = "เปิดหน้าต่างวางด่วน (Quick Paste)";

  // The pinned snippets box.
  static constexpr const char* kPinnedHeader = "ข้อความที่ใช้บ่อย กดคัดลอกได้ทันที หรือวางจากหน้าต่างวางด่วน";
  static constexpr const char* kAddSnippetButton = "เพิ่มสนิปเป็ต";
  static constexpr const char* kPinnedEmpty =
      "ยังไม่มีสนิปเป็ตที่ปักหมุด — กดปุ่มหมุดที่รายการด้านล่าง หรือกด '+ เพิ่มสนิปเป็ต' เพื่อตั้งเป็นข้อความวางด่วน";
  static constexpr const char* kUnpinToolTip = "ถอดหมุด";

  // The add-snippet sheet.
  static constexpr const char* kSheetTitle = "เพิ่มสนิปเป็ตใหม่";
  static constexpr const char* kCancel = "ยกเลิก";
  static constexpr const char* kSnippetTextLabel = "ข้อความสนิปเป็ต (รองรับหลายบรรทัด)";
  static constexpr const char* kKeywordLabel = "ป้ายกำกับ / คำค้น (ไม่ระบุก็ได้ เช่น 'ที่อยู่', 'เลขบัญชี')";
  static constexpr const char* kKeywordPlaceholder = "เช่น ที่อยู่จัดส่ง, อีเมลบริษัท...";
  static constexpr const char* kSaveSnippet = "บันทึกสนิปเป็ต";

  // The history box.
  static constexpr const char* kHistoryHeader = "รายการข้อความและไฟล์ (เข้ารหัสเก็บไว้ในเครื่องนี้)";
  static constexpr const char* kSearchPlaceholder = "ค้นหา...";
  static constexpr const char* kClearAll = "ล้างทั้งหมด";
  static constexpr const char* kNoMatch = "ไม่พบข้อความที่ตรงกับการค้นหา";
  static constexpr const char* kNoHistory = "ยังไม่มีข้อความในประวัติ";
  static constexpr const char* kCopyToolTip = "คัดลอกลงคลิปบอร์ด";
  static constexpr const char* kCopyFailedToolTip = "คัดลอกไม่สำเร็จ";
  static constexpr const char* kPinToolTip = "ปักหมุด";
  static constexpr const char* kDeleteToolTip = "ลบข้อความนี้";

  // The clear-all confirmation.
  static constexpr const char* kClearAllTitle = "ต้องการล้างประวัติ Copy Cache ทั้งหมดหรือไม่?";
  static constexpr const char* kClearAllMessage =
      "ข้อความทั้งหมดในประวัติ รวมทั้งสนิปเป็ตที่ปักหมุดและไฟล์ที่เข้ารหัสเก็บไว้ในเครื่อง "
      "จะถูกลบออกทันทีและไม่สามารถกู้คืนได้";

  // The privacy box.
  static constexpr const char* kPrivacyHeading = "ข้อควรทราบเกี่ยวกับการรักษาความปลอดภัยของ Copy Cache";

  // The history's count, "(n/max รายการ)", and its rows: a file list, a picture, a conversion hint.
  static constexpr const char* kCountFormat = "({}/{} รายการ)";
  static constexpr const char* kMoreFilesFormat = "{} และอีก {} ไฟล์";
  static constexpr const char* kImageTitlePrefix = "รูปภาพ (";
  static constexpr const char* kImageDetailFormat = "{} KB · เข้ารหัส AES-GCM-256";
  static constexpr const char* kConversionHintPrefix = "แปลงภาษา: \"";

  // The privacy box's points.
  static constexpr const char* kPrivacyNotes[] = {
      "• ประวัติถูกเข้ารหัส AES-GCM-256 และเก็บไว้ในเครื่องนี้ ในโฟลเดอร์ที่เปิดได้เฉพาะบัญชีผู้ใช้ของคุณ "
      "รายการที่ไม่ได้ปักหมุดจะถูกลบเมื่อครบ 24 ชั่วโมงหรือเมื่อเครื่องเข้าสู่โหมดพัก",
      "• ข้อมูลในคลังคลิปบอร์ดไม่ถูกส่งออกสู่อินเทอร์เน็ตหรือเซิร์ฟเวอร์ภายนอกเลย (100% Offline)",
      "• รหัสผ่านที่โปรแกรมจัดการรหัสผ่านทำเครื่องหมายว่าเป็นความลับ และข้อความที่มีลักษณะเป็นกุญแจหรือโทเค็น "
      "จะถูกกรองทิ้งอัตโนมัติ ไม่ถูกบันทึกลงในประวัติ",
      "• หน้าต่างลอยสำหรับค้นหาและเลือกข้อความหรือไฟล์เพื่อวางได้อย่างรวดเร็ว เปิดได้จากปุ่มด้านบน "
      "หรือผูกคำสั่ง tessavinor --action openQuickPaste กับคีย์ลัดของเดสก์ท็อป",
  };
};

}  // namespace tessa
