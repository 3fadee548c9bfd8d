#pragma once
// The onboarding pages' own texts (OnboardingModel, the onboarding pages).
//
// [design] The system's fixed wording, shown as written in every application
// language (onboarding is not translated). Change a text only when the design
// changes, and keep the tests that pin it. The switcher cards name the keys
// as Linux desktops label them (Alt, Ctrl, Super), where the design names the
// other platform's modifier keys and its search.

namespace tessa::onboarding_literal {

// The pages' own texts.
inline constexpr const char* kHeroName = "Tessavinor";
inline constexpr const char* kHeroTagline = "สลับภาษาบนคอมพิวเตอร์ได้ไวและแม่นยำ 100%";
inline constexpr const char* kHeroSubtitle = "ดูแลการพิมพ์ให้เงียบๆ เพื่อให้คุณมีสมาธิทำงานเต็มที่";
inline constexpr const char* kSpotlightWarningTitle = "Spotlight ยังใช้ Command + Space อยู่";
inline constexpr const char* kSpotlightWarningBody =
    "Tessavinor จะดักปุ่มนี้ไว้เอง ทำให้ Spotlight เปิดไม่ขึ้น — เปลี่ยนปุ่ม Spotlight ได้ที่ System Settings › "
    "Keyboard › Keyboard Shortcuts › Spotlight";
inline constexpr const char* kSwitcherFooter = "คุณสามารถปรับแต่งพฤติกรรมนี้เพิ่มเติมได้ตลอดเวลาในแท็บตั้งค่า";
inline constexpr const char* kOptionBadge = "Option";

// The switcher cards' badges and descriptions.
inline constexpr const char* kRecommendedBadge = "⭐ แนะนำ";
inline constexpr const char* kGraveCardTitle = "ปุ่ม Grave Accent (~ / `)";
inline constexpr const char* kGraveCardDescription = "สลับภาษารวดเร็วสไตล์ Windows ด้วยปุ่ม Grave (~)";
inline constexpr const char* kAltSpaceCardDescription =
    "คงปุ่ม Caps Lock และ ` ไว้ตามเดิม เหมาะกับคนที่ตั้ง Alt + Space ไว้ในระบบอยู่แล้ว";
inline constexpr const char* kCtrlSpaceCardDescription =
    "ปุ่มสลับภาษาที่ใช้กันทั่วไป โดย Tessavinor จะดูแลให้ตัวอักษรแรกไม่หลุดภาษาเดิม";
inline constexpr const char* kSuperSpaceCardDescription = "ตำแหน่งเดียวกับปุ่มสลับภาษาบน Windows";
inline constexpr const char* kSuperSpaceCardMoveSpotlight =
    "ตำแหน่งเดียวกับปุ่มสลับภาษาบน Windows — ต้องย้าย Spotlight ไปปุ่มอื่นก่อน";
inline constexpr const char* kSuperSpaceCardSpotlightMoved =
    "ตำแหน่งเดียวกับปุ่มสลับภาษาบน Windows (Spotlight ของคุณย้ายไปปุ่มอื่นแล้ว)";

}  // namespace tessa::onboarding_literal
