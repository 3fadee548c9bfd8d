#pragma once
// The notices of a word conversion (Ctrl+Shift+X), its undo, and keeping a
// word as typed (Ctrl+Shift+A, or a rejected correction).
//
// [design] The system's fixed wording, shown as written in every application
// language (the HUD is not translated). Change a text only when the design
// changes, and keep the tests that pin it.

namespace tessa::conversion_texts {

// A word kept as typed: "จำคำ «" + word + "» แล้ว", and the detail.
inline constexpr const char* kKeptPrefix = "จำคำ «";
inline constexpr const char* kKeptSuffix = "» แล้ว";
inline constexpr const char* kWillNotConvertAgain = "จะไม่แปลงคำนี้อีก";
inline constexpr const char* kWillNotConvertAgainRemoveHint = "จะไม่แปลงคำนี้อีก (ลบได้ที่ ⓧ ในคลังคำศัพท์)";

// [ours] A refused or busy conversion and the vocabulary hot key's steps: a
// Thai title and its English detail, both shown.
struct Notice {
  const char* message;
  const char* detail;
};
inline constexpr Notice kPasswordField{"ช่องรหัสผ่าน ไม่แปลงคำ", "Password fields are never changed"};
inline constexpr Notice kNoAccess{"ยังไม่ได้รับสิทธิ์ Accessibility",
                                  "Allow Tessavinor in Privacy & Security > Accessibility"};
inline constexpr Notice kUnreadable{"อ่านข้อความในช่องนี้ไม่ได้",
                                    "This app does not share its text - nothing was changed"};
inline constexpr Notice kScreenChanged{"ข้อความบนจอเปลี่ยนไป จึงไม่แก้คำ",
                                       "The text changed on screen - nothing more was changed"};
inline constexpr Notice kNoWord{"ไม่พบคำที่จะแปลง", "Place the caret right after a word"};
inline constexpr Notice kOneLayout{"มีแป้นพิมพ์ภาษาเดียว", "Add a second keyboard layout to convert between"};
inline constexpr Notice kNoLayoutTypesIt{"แปลงคำนี้ไม่ได้", "No keyboard layout types all of these characters"};
inline constexpr Notice kReadsTheSame{"คำนี้ไม่ต้องแปลง", "It reads the same in the other layout"};
inline constexpr Notice kBusy{"กำลังแก้คำอยู่", "Still working on the last word"};
inline constexpr Notice kNoRecentWord{"ยังไม่มีคำล่าสุด", "Type a word first"};

// [ours] An edit the application did not take in time, once its Deletes were
// posted: the word put back, or left as it was.
inline constexpr Notice kWordPutBack{"แอปรับการแก้คำไม่ทัน จึงใส่คำเดิมคืนให้",
                                     "The app did not take the change in time - your word was put back"};
inline constexpr Notice kFieldTooSlow{"แอปรับการแก้คำไม่ทัน จึงไม่แก้คำ",
                                      "The app did not take the change in time - your word is as it was"};

// [ours] The undo: "ย้อนกลับแล้ว «" + word + "»" and its detail.
inline constexpr const char* kUndonePrefix = "ย้อนกลับแล้ว «";
inline constexpr const char* kUndoneSuffix = "»";
inline constexpr const char* kUndoneDetail = "Undone · Ctrl+Shift+Z again to redo";

// [ours] Ctrl+Shift+A's first press: "กด Ctrl+Shift+A อีกครั้งเพื่อจำคำ «" + word + "»".
inline constexpr const char* kPressAgainPrefix = "กด Ctrl+Shift+A อีกครั้งเพื่อจำคำ «";
inline constexpr const char* kPressAgainSuffix = "»";
inline constexpr const char* kPressAgainDetail = "Press Ctrl+Shift+A again to keep this word as typed";

// [ours] A word already kept: "«" + word + "» อยู่ในคลังคำศัพท์แล้ว".
inline constexpr const char* kAlreadyKeptPrefix = "«";
inline constexpr const char* kAlreadyKeptSuffix = "» อยู่ในคลังคำศัพท์แล้ว";
inline constexpr const char* kAlreadyKeptDetail = "Already in your vocabulary";

}  // namespace tessa::conversion_texts
