#pragma once
// The word packs' update status (VocabularyStore::updateStatus, shown on the
// vocabulary page) and the suggestion upload's error (DictionaryClient).
//
// [design] The system's fixed wording, shown as written in every application
// language. Change a text only when the design changes, and keep the tests
// that pin it.

namespace tessa::dictionary_texts {

inline constexpr const char* kChecking = "กำลังตรวจสอบ...";
inline constexpr const char* kFailedConnection = "อัปเดตไม่สำเร็จ (ตรวจสอบการเชื่อมต่อ)";
inline constexpr const char* kPackEnabled = "ดาวน์โหลดและเปิดใช้งานชุดคำแล้ว";
inline constexpr const char* kPackFailed = "ดาวน์โหลดชุดคำไม่สำเร็จ (ตรวจสอบการเชื่อมต่อ)";
inline constexpr const char* kUpToDate = "เป็นเวอร์ชันล่าสุดแล้ว";

// "อัปเดต " + count + " ชุดคำแล้ว".
inline constexpr const char* kUpdatedCountPrefix = "อัปเดต ";
inline constexpr const char* kUpdatedCountSuffix = " ชุดคำแล้ว";

// [ours] A manifest answered with another status than 200: "อัปเดตไม่สำเร็จ (Code: " + status + ")".
inline constexpr const char* kFailedWithCodePrefix = "อัปเดตไม่สำเร็จ (Code: ";
inline constexpr const char* kFailedWithCodeSuffix = ")";  // [ours]

// A suggestion the server refused: "ส่งคำแนะนำไม่สำเร็จ (Code: " + status + ")".
inline constexpr const char* kSuggestionFailedPrefix = "ส่งคำแนะนำไม่สำเร็จ (Code: ";
inline constexpr const char* kSuggestionFailedSuffix = ")";

}  // namespace tessa::dictionary_texts
