#pragma once
// The engine's own notices: the switch feedback, the pause, the unsupported
// application, the conversion hot key turning correction on, and the F19
// shortcut sheet.
//
// [design] The system's fixed wording, shown as written in every application
// language (the HUD is not translated). Change a text only when the design
// changes, and keep the tests that pin it.

namespace tessa::engine_texts {

// The "hud" feedback style: the title, and "เปลี่ยนเป็นภาษา" + the language's name.
inline constexpr const char* kSwitchSucceeded = "สลับภาษาสำเร็จ";
inline constexpr const char* kSwitchedToPrefix = "เปลี่ยนเป็นภาษา";

// A restored sentence's second line: "แก้ " + count + " จุดในประโยค".
inline constexpr const char* kSentenceChangesPrefix = "แก้ ";
inline constexpr const char* kSentenceChangesSuffix = " จุดในประโยค";

// The pause: its title with the length's suffix, the hint and the button.
inline constexpr const char* kPausedTitle = "Tessavinor ถูกระงับการทำงาน";
inline constexpr const char* kPausedUntilTomorrowSuffix = " (จนกว่าจะพรุ่งนี้)";
inline constexpr const char* kPausedOneHourSuffix = " (1 ชั่วโมง)";
inline constexpr const char* kPausedHint = "กดปุ่มเพื่อเปิดใหม่ หรือใช้คีย์ลัด Ctrl+Alt+Super+P";  // [ours] our chord
inline constexpr const char* kResumeButton = "กลับมาทำงานต่อ";

// An application that does not let its text be corrected: name + suffix.
inline constexpr const char* kThisApp = "แอปนี้";
inline constexpr const char* kUnsupportedAppSuffix = " ไม่รองรับการแก้คำ";
inline constexpr const char* kUnsupportedAppHint = "ลองคลิกที่ช่องพิมพ์ใหม่ หรือปิด/เปิดแอป";

// The conversion hot key pressed while correction is off.
inline constexpr const char* kConversionTurnedOn = "เปิดระบบแปลงคำแล้ว";
inline constexpr const char* kConversionTurnedOnDetail = "แปลงคำล่าสุดให้";

// The F19 shortcut the user sets once by hand.
inline constexpr const char* kF19ShortcutTitle = "ตั้งค่า F19 shortcut ด้วยตัวเอง 1 ครั้ง";
inline constexpr const char* kF19ShortcutSteps =
    "System Settings > Keyboard Shortcuts > Input Sources > เลือกภาษาอินพุตถัดไป > ตั้งเป็น F19";
inline constexpr const char* kOpenSystemSettings = "เปิด System Settings";

}  // namespace tessa::engine_texts
