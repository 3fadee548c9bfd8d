#pragma once
// The HUD rows' own texts (buildHudRow): the buttons' help and labels, the
// details and the hints.
//
// [design] The system's fixed wording, shown as written in every application
// language (the HUD is not translated). Change a text only when the design
// changes, and keep the tests that pin it.

namespace tessa::hud_row_texts {

// The add-to-vocabulary button: "จำคำว่า «" + word + "» (Ctrl+Shift+A)", and its label.
inline constexpr const char* kAddToVocabularyHelpPrefix = "จำคำว่า «";
inline constexpr const char* kAddToVocabularyLabelPrefix = "เพิ่มคำว่า ";
inline constexpr const char* kAddToVocabularyLabelSuffix = " เข้าคลังคำศัพท์";

// A confirmed conversion's detail: "แก้จาก «" + word + "»", or the expired undo.
inline constexpr const char* kUndoExpired = "หมดเวลายกเลิกแล้ว · ปรับเวลาได้ในตั้งค่า";
inline constexpr const char* kCorrectedFromPrefix = "แก้จาก «";

// The badges of a restored sentence (score 7) and of a tone or vowel fix (score 6).
inline constexpr const char* kRestoredSentenceBadge = "กู้คืนประโยค";
inline constexpr const char* kToneVowelBadge = "สระ/วรรณยุกต์";

// The suggestion row.
inline constexpr const char* kAcceptLabelPrefix = "ยอมรับ: ";
inline constexpr const char* kDismissHelp = "ไม่ใช่ ยังคงพิมพ์ต่อ";
inline constexpr const char* kDismissLabel = "ปิดคำแนะนำ";
inline constexpr const char* kSuggestionHint = "Ctrl+Shift+O ยืนยัน · Esc ยกเลิก";

// The conversion row's undo button and hint.
inline constexpr const char* kUndoHelp = "ยกเลิกการแปลง (Ctrl+Shift+Z)";
inline constexpr const char* kUndoLabel = "ย้อนกลับการแปลงคำ";
inline constexpr const char* kUndoHintPrefix = "สลับคำกลับเป็น ";
inline constexpr const char* kConversionHint = "Ctrl+Shift+Z ยกเลิก · Ctrl+Shift+A จำคำ";

// The redo row: "แปลงเป็น «" + word + "» อีกครั้ง (Redo)".
inline constexpr const char* kRedoTitlePrefix = "แปลงเป็น «";
inline constexpr const char* kRedoTitleSuffix = "» อีกครั้ง (Redo)";
inline constexpr const char* kRedoDetail = "จุดเก่าที่สุดที่จำไว้ · กด Ctrl+Shift+X เพื่อไปภาษาอื่นต่อ";

}  // namespace tessa::hud_row_texts
