// Lao texts: the menu, onboarding essentials, permission card, icon guide
// and the correction notices. Its sandbox examples are Lao-specific.
// Keys absent here fall back to English, then Thai, at lookup time.
//
// [design] Which keys this table holds (the l10n tests pin them); a key marked
// [ours] on its line is this build's own.
// [ours] The texts: the design names this language's keys, not its wording.
#include "l10n/localized_texts.h"

namespace tessa::l10n {
namespace {

// clang-format off
constexpr TextPair k[] = {
    {"status_active", "Tessavinor: ກຳລັງເຮັດວຽກ"},
    {"status_required", "Tessavinor: ຕ້ອງການສິດການເຂົ້າເຖິງ"},
    {"menu_smart_correction", "ແກ້ຄຳພິມຜິດອັດຕະໂນມັດ (Smart Auto-Correction)"},
    {"menu_smart_correction_limited", "ແກ້ຄຳພິມຜິດອັດຕະໂນມັດ (ໂໝດຈຳກັດ)"},
    {"menu_haptic", "ລະບົບສັ່ນຕອບສະໜອງ (Haptic Feedback)"},
    {"menu_haptic_unavailable", "ໃຊ້ບໍ່ໄດ້ໃນຄອມພິວເຕີເຄື່ອງນີ້"},  // [ours]
    {"menu_fatigue", "ການແຈ້ງເຕືອນພັກສາຍຕາ (Fatigue Notification)"},
    {"menu_dashboard", "ເປີດແດຊບອດ..."},
    {"menu_quit", "ອອກຈາກ Tessavinor"},
    {"tab_setup", "ຄວາມພ້ອມຂອງລະບົບ"},
    {"tab_dashboard", "ແດຊບອດ"},
    {"tab_settings", "ຕັ້ງຄ່າຄີບອດ"},
    {"tab_vocab", "ຄັງຄຳສັບ"},
    {"tab_dev", "ນັກພັດທະນາ (Developer)"},
    {"tab_lang_switch", "ການສະຫຼັບພາສາ"},
    {"setup_accessibility", "1. ສິດການເຂົ້າເຖິງ (Accessibility)"},
    {"setup_accessibility_desc_ok", "ອະນຸຍາດຮຽບຮ້ອຍແລ້ວ ແອັບເຮັດວຽກໄດ້ຢ່າງສົມບູນ"},
    {"setup_accessibility_desc_err", "ຈຳເປັນຕ້ອງມີສິດນີ້ເພື່ອກວດຈັບ ແລະ ແກ້ໄຂການພິມ"},
    {"setup_accessibility_btn", "ຂໍສິດເຂົ້າເຖິງ"},
    {"onboarding_level_welcome", "ຍິນດີຕ້ອນຮັບສູ່ Tessavinor"},
    {"onboarding_level_subtitle", "ກະລຸນາເລືອກລະດັບພາສາທີ່ທ່ານຕ້ອງການໃຫ້ແອັບໃຊ້:"},
    {"onboarding_level_layman_title", "ຜູ້ໃຊ້ທົ່ວໄປ (ເຂົ້າໃຈງ່າຍ)"},
    {"onboarding_level_layman_desc", "ອະທິບາຍຊັດເຈນ ບໍ່ມີຄຳສັບເຕັກນິກທີ່ຊັບຊ້ອນ"},
    {"onboarding_level_pro_title", "ນັກພັດທະນາ (ຄຳສັບເຕັກນິກແບບ Pro)"},
    {"onboarding_level_pro_desc", "ລາຍລະອຽດເຊີງເລິກ ລວມທັງ API, Event Tap ແລະ Secure Input"},
    {"onboarding_level_note", "ທ່ານສາມາດປ່ຽນການຕັ້ງຄ່ານີ້ໄດ້ທຸກເວລາໃນໜ້າການຕັ້ງຄ່າ"},
    {"onboarding_btn_get_started", "ເລີ່ມໃຊ້ງານ Tessavinor"},
    {"onboarding_perm_granted", "ໄດ້ຮັບສິດ Accessibility ແລ້ວ"},
    {"onboarding_btn_continue", "ດຳເນີນການຕໍ່"},
    {"onboarding_sandbox_ready_title", "🎉 ພ້ອມແລ້ວ! ຄີລັດ & ກ່ອງທົດລອງພິມ"},
    {"onboarding_sandbox_ready_subtitle", "ຮຽນຮູ້ຄີລັດທີ່ສຳຄັນ ແລ້ວລອງພິມທົດສອບແທ້ຢູ່ດ້ານລຸ່ມ"},
    {"onboarding_sandbox_prompt", "💡 ລອງພິມຄຳເຫຼົ່ານີ້ໃສ່ກ່ອງ ແລ້ວກົດ Space:"},
    {"onboarding_sandbox_placeholder", "ລອງພິມຄຳພາສາລາວໃນໂໝດພາສາອັງກິດ..."},
    {"onboarding_sandbox_ex1_raw", "s;bkyd-e"},
    {"onboarding_sandbox_ex1_target", "ສະບາຍດີ"},
    {"onboarding_sandbox_ex2_raw", "้ำสสน"},
    {"onboarding_sandbox_ex2_target", "hello"},
    {"onboarding_sandbox_ex3_raw", "l;ylfu"},
    {"onboarding_sandbox_ex3_target", "สวัสดี"},
    {"legend_title", "ຄວາມໝາຍຂອງໄອຄອນເທິງ Menu Bar"},
    {"legend_title_pro", "ສະຖານະຂອງ Status Item"},
    {"legend_kb_white", "ພ້ອມເຮັດວຽກ ກຳລັງດູແລການພິມຂອງທ່ານ"},
    {"legend_kb_white_pro", "Event Tap ເຮັດວຽກປົກກະຕິ ຜ່ານການກວດທຸກຂໍ້"},
    {"legend_kb_gray", "ໂໝດຈຳກັດ: ແອັບນີ້ບໍ່ເປີດໃຫ້ອ່ານຂໍ້ຄວາມ"},
    {"legend_kb_gray_pro", "ແອັບທີ່ກຳລັງໃຊ້ບໍ່ມີ AX text (ເຮັດວຽກຈາກການກົດປຸ່ມຢ່າງດຽວ)"},
    {"legend_logo_badge", "ໂລໂກ້ນ້ອຍເທິງໄອຄອນ: Tessavinor ມີເລື່ອງແຈ້ງໃຫ້ຊາບ"},
    {"legend_logo_badge_pro", "ມີໂລໂກ້ຊ້ອນເທິງ status icon: ມີການແຈ້ງເຕືອນລໍຖ້າຢູ່"},
    {"legend_lock", "ຢູ່ໃນຊ່ອງລະຫັດຜ່ານ ລະບົບຢຸດຊ່ວຍພິມຊົ່ວຄາວ"},
    {"legend_lock_pro", "Secure Input ເປີດຢູ່: Event Tap ບໍ່ໄດ້ຮັບ key event"},
    {"legend_pause", "ຢຸດຊົ່ວຄາວ ເລືອກ Resume ໃນເມນູເພື່ອກັບມາເຮັດວຽກ"},
    {"legend_warning", "ສິດ Accessibility ຫຼຸດ ຄລິກເພື່ອເປີດຄືນ"},
    {"legend_warning_pro", "AXIsProcessTrusted ເປັນ false: ສ້າງ Event Tap ບໍ່ໄດ້"},
    {"legend_bolt", "ບໍ່ໄດ້ຮັບການກົດປຸ່ມ ກຳລັງກູ້ຄືນອັດຕະໂນມັດ"},
    {"legend_bolt_pro", "ລະບົບປິດ Event Tap: ກຳລັງເປີດໃໝ່"},
    {"legend_bar_green", "ແຖບສີຂຽວ: Caps Lock ເປີດຢູ່"},
    {"legend_bar_orange", "ແຖບສີສົ້ມ: ຍົກເລີກການແກ້ຄຳລ່າສຸດແລ້ວ ຄຳນັ້ນຈະຄົງໄວ້ຕາມທີ່ພິມ"},
    {"legend_menu_guide", "ຄູ່ມືໄອຄອນເທິງເມນູ"},
    {"hud_tap_recovered", "ພ້ອມດູແລແລ້ວ"},
    {"hud_tap_outage", "ຢຸດໄປ %d ວິນາທີ"},
    {"hud_tap_auto_recovered", "ກູ້ຄືນອັດຕະໂນມັດ · ຄັ້ງຕໍ່ໄປໃນຮອບນີ້ຈະໃຫ້ກົດເອງ"},
    {"hud_tap_stale_recovered", "ກວດພົບສະຖານະຄ້າງຊົ່ວຄາວ ແລະ ກູ້ຄືນໃຫ້ອັດຕະໂນມັດ"},
    {"confidence_high", "ໝັ້ນໃຈສູງ"},
    {"confidence_medium", "ໝັ້ນໃຈປານກາງ"},
    {"confidence_low", "ໝັ້ນໃຈຕ່ຳ"},
    {"habit_badge", "ຈຳສ່ວນຕົວ"},
    {"habit_learned", "ຮຽນຮູ້ «%@ → %@»"},
    {"habit_learned_sub", "ຈະແກ້ອັດຕະໂນມັດ · ຍົກເລີກກົດ Ctrl+Shift+Z ຫຼື ຄັງຄຳສັບ ⓧ"},
    {"habit_cancel", "Ctrl+Shift+Z ຍົກເລີກ"},
    {"fatfinger_badge", "ປຸ່ມໃກ້ຄຽງ"},
    {"fatfinger_sub", "ແກ້ຈາກ «%@» (%@)"},
};
// clang-format on

}  // namespace

std::span<const TextPair> laoTexts() { return k; }

}  // namespace tessa::l10n
