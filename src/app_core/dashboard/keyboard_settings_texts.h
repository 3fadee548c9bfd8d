#pragma once
// The keyboard settings page's texts (KeyboardSettingsModel).
//
// [design] The system's fixed wording, shown as written in every application
// language (this page is not translated). Change a text only when the design
// changes, and keep the tests that pin it. The switcher keys are named as
// Linux desktops label them (Alt, Ctrl, Super), where the design names the
// other platform's modifier keys.

namespace tessa {

struct KeyboardSettingsTexts {
  // Fixed texts of the page.
  static constexpr const char* kSwitchKeyBoxTitle = "ปุ่มสลับภาษา (Switch Key)";
  static constexpr const char* kGuideLink = "คำแนะนำ";
  static constexpr const char* kSpotlightHeading = "Spotlight ยังใช้ Command + Space อยู่";
  static constexpr const char* kSpotlightBody =
      "Tessavinor จะดักปุ่มนี้ไว้เอง ทำให้ Spotlight เปิดไม่ได้ ต้องย้าย Spotlight ไปปุ่มอื่นก่อน (เช่น Control + Space) "
      "ไม่อย่างนั้นจะเรียก Spotlight ไม่ขึ้นเลย";
  static constexpr const char* kSpotlightButton = "เปิดตั้งค่าคีย์ลัดของระบบ";
  static constexpr const char* kNoteBoxTitle = "ข้อควรทราบ (Note)";
  static constexpr const char* kCompatibilityBoxTitle = "ความเข้ากันได้กับระบบ (Compatibility)";
  static constexpr const char* kStartupBoxTitle = "เริ่มต้นอัตโนมัติ (Startup)";
  static constexpr const char* kStartupToggle = "เปิดแอปอัตโนมัติเมื่อเข้าสู่ระบบ";
  static constexpr const char* kStartupNote = "Tessavinor เป็นแอปพื้นหลัง ไม่มีอะไรให้ทำถ้าไม่ได้เริ่มทำงาน";
  static constexpr const char* kAppearanceBoxTitle = "การแสดงผลแอป (App Appearance)";
  static constexpr const char* kLevelHeading = "ระดับภาษาของแอป (Copywriting Level)";
  static constexpr const char* kLevelPickerLabel = "ระดับการใช้ภาษาในแอป";
  static constexpr const char* kLevelLayman = "ใช้งานทั่วไป (Layman)";
  static constexpr const char* kLevelPro = "นักพัฒนา (Pro)";
  static constexpr const char* kHapticBoxTitle = "การตอบสนอง (Haptic Feedback)";
  static constexpr const char* kConfirmRow = "ความแรงสั่นเมื่อยืนยัน:";
  static constexpr const char* kConfirmPickerLabel = "ระดับความแรงสั่นเมื่อแปลงสำเร็จ";
  static constexpr const char* kAlertRow = "ความแรงสั่นเมื่อแจ้งเตือน:";
  static constexpr const char* kAlertPickerLabel = "ระดับความแรงสั่นเตือนเมื่อพิมพ์ผิด";
  static constexpr const char* kLoginFailedTitle = "ตั้งค่าเปิดอัตโนมัติไม่สำเร็จ";
  static constexpr const char* kLoginFailedMessage = "ลองอีกครั้งใน System Settings > General > Login Items";
  static constexpr const char* kLoginFailedButton = "เปิด System Settings";
  // Said under the toggle when the desktop cannot start programs at login.
  static constexpr const char* kStartupUnavailable = "เครื่องนี้ยังตั้งให้เปิดแอปอัตโนมัติจากหน้านี้ไม่ได้";

  // The haptic strengths, then the switcher-key cards: each card's good points, then its catch.
  static constexpr const char* kIntensityOff = "ปิด";
  static constexpr const char* kIntensityLight = "เบา";
  static constexpr const char* kIntensityMedium = "ปานกลาง";
  static constexpr const char* kIntensityStrong = "แรง";
  static constexpr const char* kSameRoleHoldsFirstKey =
      "Tessavinor กักตัวอักษรแรกไว้จนสลับภาษาเสร็จจริง ไม่มีอักษรหลุดภาษาเดิม";
  static constexpr const char* kCapsLockPro1 = "เป็นปุ่มที่มีอยู่แล้วบนคีย์บอร์ดทุกรุ่น";
  static constexpr const char* kCapsLockPro2 = "สามารถเลือกรูปแบบย่อยเพื่อประสิทธิภาพการพิมพ์แบบสากลได้";
  static constexpr const char* kCapsLockCon =
      "อาจมีอาการสะท้อนของสัญญาณคีย์บอร์ดเมื่อต่อพ่วงคีย์บอร์ดกลไกภายนอกบางรุ่น";
  static constexpr const char* kGravePro1 = "เปลี่ยนภาษารวดเร็ว ทันใจ ไม่มีสะดุด เลียนแบบพฤติกรรมบน Windows";
  static constexpr const char* kGravePro2 = "ไม่มีปัญหาเรื่องปุ่มหน่วงหรือความไม่เสถียรของสัญญาณ Caps Lock";
  static constexpr const char* kGraveCon =
      "ปุ่ม ` จะไม่พิมพ์สัญลักษณ์โดยตรงเปล่า ๆ (ต้องพิมพ์ผ่าน Shift + ` หรือ Alt + ` แทน)";
  static constexpr const char* kAltSpaceDescription = "สลับภาษาด้วย Alt ค้างไว้แล้วเคาะ Space";
  static constexpr const char* kAltSpacePro = "ปุ่ม Caps Lock และ ` ยังทำงานตามปกติทุกอย่าง";
  static constexpr const char* kAltSpaceCon = "ชนกับคีย์ลัด Alt + Space ของแอปอื่นที่ใช้ปุ่มผสมนี้อยู่";
  static constexpr const char* kCtrlSpaceDescription = "สลับภาษาด้วย Ctrl ค้างไว้แล้วเคาะ Space";
  static constexpr const char* kCtrlSpacePro = "ตรงกับปุ่มสลับภาษาที่ใช้กันทั่วไป ไม่ต้องเปลี่ยนนิสัยการพิมพ์";
  static constexpr const char* kCtrlSpaceCon =
      "ชนกับคีย์ลัด Ctrl + Space ของแอปอื่น เช่น ช่องเติมโค้ดอัตโนมัติในโปรแกรมพัฒนา";
  static constexpr const char* kSuperSpaceDescription = "สลับภาษาด้วย Super ค้างไว้แล้วเคาะ Space";
  static constexpr const char* kSuperSpacePro =
      "ตำแหน่งนิ้วเดียวกับปุ่มสลับภาษาบน Windows คนย้ายมาจาก PC คุ้นมือทันที";
  static constexpr const char* kSuperSpaceCon =
      "Super + Space อาจเป็นคีย์ลัดของเดสก์ท็อปอยู่แล้ว ต้องย้ายคีย์ลัดนั้นไปปุ่มอื่นก่อน";

  // The note box: its heading ("…" + key + " + Space") and its lines per key.
  static constexpr const char* kModifierNoteHeadingPrefix = "ข้อควรทราบเกี่ยวกับการสลับภาษาด้วย ";
  static constexpr const char* kGraveNoteHeading = "ข้อควรทราบเกี่ยวกับระบบ Grave Accent (`) Windows-style";
  static constexpr const char* kModifierNoteIntercept =
      "• Tessavinor ดักปุ่มผสมนี้เองก่อนระบบ แล้วสั่งสลับภาษาให้ จึงไม่เกิดการสลับซ้ำซ้อนกับคีย์ลัดของระบบ";
  static constexpr const char* kModifierNoteHold =
      "• ระหว่างที่ระบบกำลังสลับภาษา ตัวอักษรที่พิมพ์ต่อทันทีจะถูกกักไว้ แล้วปล่อยออกเมื่อสลับเสร็จ "
      "ตัวอักษรแรกจึงไม่หลุดเป็นภาษาเดิม";
  static constexpr const char* kModifierNoteSpacePrefix =
      "• การเคาะ Space เปล่า ๆ ยังเว้นวรรคได้ตามปกติ ระบบจะทำงานเฉพาะเมื่อกดพร้อมปุ่ม ";
  static constexpr const char* kModifierNoteSpaceSuffix = " เท่านั้น";
  static constexpr const char* kModifierNoteCapsLock =
      "• ปุ่ม Caps Lock กลับไปทำหน้าที่เดิมของระบบเต็มรูปแบบเมื่อเลือกโหมดนี้";
  static constexpr const char* kGraveNoteIntro =
      "• เพื่อไม่ให้เสียความสามารถในการป้อนอักขระ Grave Accent (`) หรือ Tilde (~):";
  static constexpr const char* kGraveNoteGrave =
      "  - พิมพ์สัญลักษณ์ **Grave Accent (`)** ด้วยการกด **Alt + `** หรือ **Shift + `** "
      "(ขึ้นอยู่กับภาษาและรูปแบบแป้นพิมพ์ที่ใช้)";
  static constexpr const char* kGraveNoteTilde =
      "  - พิมพ์สัญลักษณ์ **Tilde (~)** ด้วยการกด **Shift + `** หรือปุ่มผสมมาตรฐาน";
  static constexpr const char* kGraveNoteHapticHeading = "• ระบบสั่นตอบสนอง (Haptic Feedback):";
  static constexpr const char* kGraveNoteHaptic =
      "  - เมื่อสลับภาษาสำเร็จ จะมีการส่งแรงสั่น Haptic เบา ๆ แทนสัญญาณเสียงและแสงสี "
      "(เงียบเชียบและสุภาพต่อคนรอบข้าง)";
};

}  // namespace tessa
