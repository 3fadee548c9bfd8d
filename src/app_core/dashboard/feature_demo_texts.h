#pragma once
// The feature demos' texts (FeatureDemoInfo, TypingDemoModel): titles, hints,
// summaries and the animated lines.
//
// [design] The system's fixed wording, shown as written in every application
// language (the demo is not translated). Change a text only when the design
// changes, and keep the tests that pin it. One change from the design's
// wording: the hot keys are spelled as Linux desktops spell them ("Ctrl Shift
// Z" on a key cap, "Ctrl+Shift+Z" in a sentence) where the design draws the
// other platform's key glyphs.

namespace tessa::feature_demo_texts {

// The demos' titles.
inline constexpr const char* kSmartCorrectionTitle = "ระบบซ่อมคำอัตโนมัติ";
inline constexpr const char* kUndoRedoTitle = "ยกเลิก / แปลงกลับ";
inline constexpr const char* kCycleLanguageTitle = "สลับภาษาถัดไป";
inline constexpr const char* kConfirmSuggestionTitle = "ยืนยันคำแนะนำ";
inline constexpr const char* kWhitelistTitle = "จำคำนี้ไว้";

// The key label of the demo that needs no hot key.
inline constexpr const char* kTypeNormally = "พิมพ์ปกติ";

// The hints under each demo.
inline constexpr const char* kSmartCorrectionHint = "Ctrl+Shift+Z ยกเลิก · Ctrl+Shift+A จำคำ";
inline constexpr const char* kUndoRedoHint = "กด Ctrl+Shift+Z อีกครั้งเพื่อแปลงกลับ (Toggle)";
inline constexpr const char* kCycleLanguageHint = "กดซ้ำเพื่อสลับภาษาถัดไป";
inline constexpr const char* kConfirmSuggestionHint = "Esc ยกเลิก (ถ้ายังไม่กด)";
inline constexpr const char* kWhitelistHint = "ลบออกได้ที่แท็บคลังคำศัพท์ ⓧ";

// The summaries read out for each animation.
inline constexpr const char* kSmartCorrectionSummary = "แอนิเมชันจำลอง: พิมพ์ uหำพ แล้วแปลงเป็น user อัตโนมัติ";
inline constexpr const char* kUndoRedoSummary = "แอนิเมชันจำลอง: กด Ctrl+Shift+Z เพื่อย้อนกลับจาก user เป็น uหำพ";
inline constexpr const char* kCycleLanguageSummary =
    "แอนิเมชันจำลอง: กด Ctrl+Shift+X เพื่อสลับแป้นพิมพ์จาก ้ำสสน เป็น hello";
inline constexpr const char* kConfirmSuggestionSummary = "แอนิเมชันจำลอง: กด Ctrl+Shift+O เพื่อยืนยันคำแนะนำ";
inline constexpr const char* kWhitelistSummary = "แอนิเมชันจำลอง: กด Ctrl+Shift+A เพื่อจำคำเข้าคลังคำศัพท์";

// The animated lines: what the field shows (typed on the wrong layout) and the captions.
inline constexpr const char* kTypedU2 = "uห";
inline constexpr const char* kTypedU3 = "uหำ";
inline constexpr const char* kTypedWrongLayoutSpace = "uหำพ ";
inline constexpr const char* kTypedWrongLayout = "uหำพ";
inline constexpr const char* kTypedHelloOnThai = "้ำสสน";
inline constexpr const char* kCheckingCaption = "กำลังตรวจสอบ...";
inline constexpr const char* kConvertedCaption = "✅ แปลงสำเร็จ";
inline constexpr const char* kWordConvertedCaption = "แปลงคำแล้ว";
inline constexpr const char* kPressUndoCaption = "⚡️ กด Ctrl+Shift+Z";
inline constexpr const char* kRevertedCaption = "↩️ ย้อนกลับเป็นคำเดิมแล้ว";
inline constexpr const char* kForgotToSwitchCaption = "ตั้งใจพิมพ์ hello แต่ลืมสลับเป็นภาษาอังกฤษ";
inline constexpr const char* kPressCycleCaption = "⚡️ กด Ctrl+Shift+X";
inline constexpr const char* kSwitchedCaption = "🌐 สลับตามแป้นพิมพ์ (้ำสสน → hello)";
inline constexpr const char* kWrongLanguageCaption = "🔍 user — พิมพ์ผิดภาษา?";
inline constexpr const char* kPressConfirmCaption = "⚡️ กด Ctrl+Shift+O";
inline constexpr const char* kConfirmedCaption = "✅ ยืนยันแล้ว";
inline constexpr const char* kPressRememberCaption = "⚡️ กด Ctrl+Shift+A";
inline constexpr const char* kRememberedCaption = "📚 เพิ่มเข้าคลังคำศัพท์แล้ว";

// How a caption is recognised: a waiting step holds "กำลัง", a key step "กด ".
inline constexpr const char* kWaitingCaptionMark = "กำลัง";
inline constexpr const char* kKeyCaptionMark = "กด ";

}  // namespace tessa::feature_demo_texts
