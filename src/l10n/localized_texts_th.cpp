// Thai texts: the same keys as English, in the same order.
// Keys absent here fall back to English, then Thai, at lookup time.
//
// [design] The keys, and each Thai text the design quotes word for word (the
// menu, the HUD's notices, the setup and the onboarding, among others). A text
// the design names only by its key, and a key marked [ours] on its line (this
// build's Linux notices, the tray, the quick-paste panel, the statistics
// invitation, the inspector, the uptime page), are ours.
// A quoted text that named the other platform's programs, settings panes,
// keys or APIs is worded for the Linux desktop instead, its meaning kept
// (the permission page, the repair, the About page's switch keys, the
// per-window revert notice, the setup page's technical lines).
#include "l10n/localized_texts.h"

namespace tessa::l10n {
namespace {

// clang-format off
constexpr TextPair k[] = {
    {"alert_two_layouts", "Tessavinor ต้องมีภาษาแป้นพิมพ์อย่างน้อยสองภาษาจึงจะสลับได้"},  // [ours]
    {"alert_add_layout_gnome", "เพิ่มได้ที่ Settings › Keyboard › Input Sources (ปุ่ม +) แล้วเปิด Tessavinor ใหม่"},  // [ours]
    {"alert_add_layout_kde", "เพิ่มได้ที่ System Settings › Keyboard › Layouts (Add Layout) แล้วเปิด Tessavinor ใหม่"},  // [ours]
    {"alert_add_layout_xfce", "เพิ่มได้ที่ Settings › Keyboard › Layout (เอาเครื่องหมายออกจาก \"Use system defaults\" แล้วกด Add) แล้วเปิด Tessavinor ใหม่"},  // [ours]
    {"alert_add_layout_cinnamon", "เพิ่มได้ที่ System Settings › Keyboard › Layouts (ปุ่ม +) แล้วเปิด Tessavinor ใหม่"},  // [ours]
    {"alert_add_layout_mate", "เพิ่มได้ที่ Control Center › Keyboard › Layouts (Add) แล้วเปิด Tessavinor ใหม่"},  // [ours]
    {"alert_add_layout_x11", "เพิ่มได้ในการตั้งค่าคีย์บอร์ดของเดสก์ท็อป หรือสั่ง setxkbmap -layout us,th ในเทอร์มินัล แล้วเปิด Tessavinor ใหม่"},  // [ours]
    {"alert_no_tray", "Tessavinor วางไอคอนในถาดระบบไม่ได้"},  // [ours]
    {"alert_no_tray_detail", "เดสก์ท็อปนี้ไม่มีถาดระบบ Tessavinor ยังทำงานต่อได้โดยไม่มีไอคอน"},  // [ours]
    {"update_from_package", "อัปเดตของ Tessavinor มาพร้อมแพ็กเกจที่ติดตั้งไว้"},  // [ours]
    {"update_checking_packs", "กำลังตรวจสอบชุดคำศัพท์…"},  // [ours]
    {"update_packs_result", "ชุดคำศัพท์: "},  // [ours]
    {"status_active", "Tessavinor: ทำงานอยู่"},
    {"status_required", "Tessavinor: ต้องการสิทธิ์การเข้าถึง"},
    {"quick_paste_copied", "คัดลอกแล้ว — กรุณาวางเอง"},  // [ours]
    {"quick_paste_copied_detail", "กด Ctrl+V ในตำแหน่งที่ต้องการ ระบบวางให้อัตโนมัติไม่ได้"},  // [ours]
    {"quick_paste_search_placeholder", "ค้นหา (ข้อความ, ชื่อไฟล์, ลิงก์, โค้ดสี, keyword สนิปเป็ต)..."},  // [ours]
    {"quick_paste_search_accessibility", "ค้นหาประวัติคลิปบอร์ดและสนิปเป็ต"},  // [ours]
    {"quick_paste_clear_search", "ล้างข้อความค้นหา"},  // [ours]
    {"quick_paste_share_badge", "แสดงในการแชร์จอ"},  // [ours]
    {"quick_paste_share_badge_tooltip", "ระบบนี้ซ่อนหน้าต่างจากการแชร์จอหรือการบันทึกจอไม่ได้ ปิดหน้าต่างนี้ก่อนแชร์จอ"},  // [ours]
    {"quick_paste_escape_hint_accessibility", "กดปุ่ม Escape เพื่อปิดหน้าต่าง"},  // [ours]
    {"quick_paste_no_match", "ไม่พบข้อมูลที่ตรงกัน"},  // [ours]
    {"quick_paste_empty_category_prefix", "ยังไม่มีข้อมูลในหมวด"},  // [ours]
    {"quick_paste_vault_badge", "ห้องนิรภัยเข้ารหัส · AES-256"},  // [ours]
    {"quick_paste_key_hints", "[Space] พรีวิว · [Enter] วาง · [Ctrl+O] เปิด · [Ctrl+1-9] ด่วน"},  // [ours]
    {"quick_paste_preview_title_prefix", "พรีวิว: "},  // [ours]
    {"quick_paste_paste_this_entry", "วางรายการนี้ (Enter)"},  // [ours]
    {"quick_paste_image_size_prefix", "ขนาดภาพ: "},  // [ours]
    {"quick_paste_file_size_infix", "  ·  ขนาดไฟล์: "},  // [ours]
    {"quick_paste_encrypted_suffix", " KB  ·  เข้ารหัส AES-256"},  // [ours]
    {"quick_paste_total_size_prefix", "ขนาดรวม: "},  // [ours]
    {"quick_paste_preview_tooltip", "ดูตัวอย่าง (Spacebar)"},  // [ours]
    {"quick_paste_pin_tooltip", "ปักหมุด"},  // [ours]
    {"quick_paste_unpin_tooltip", "ถอดหมุด"},  // [ours]
    {"quick_paste_delete_tooltip", "ลบรายการนี้"},  // [ours]
    {"quick_paste_convert_prefix", "แปลงเป็น: "},  // [ours]
    {"quick_paste_paste_converted", " วางคำแปล"},  // [ours]
    {"quick_paste_image_row_prefix", "🖼️ รูปภาพ ("},  // [ours]
    {"quick_paste_and_more", " และอีก "},  // [ours]
    {"quick_paste_files", " ไฟล์"},  // [ours]
    {"quick_paste_item_number_prefix", "รายการลำดับที่ "},  // [ours]
    {"history_set_aside_title", "ประวัติคลิปบอร์ดถูกแยกเก็บไว้"},  // [ours]
    {"history_set_aside_key_missing", "ไม่พบกุญแจที่ใช้เปิดประวัติใน keychain แล้ว ประวัติจึงเริ่มใหม่แบบว่างเปล่า ไม่มีสิ่งใดถูกลบ: ประวัติเดิมยังเก็บไว้แบบเข้ารหัสที่ %@"},  // [ours]
    {"history_set_aside_unreadable", "อ่านไฟล์ประวัติไม่ได้ ประวัติจึงเริ่มใหม่แบบว่างเปล่า ไม่มีสิ่งใดถูกลบ: ไฟล์เดิมยังเก็บไว้ตามเดิมที่ %@"},  // [ours]
    {"history_set_aside_dismiss", "รับทราบ"},  // [ours]
    {"menu_smart_correction", "แก้ไขคำพิมพ์ผิดอัตโนมัติ (Smart Auto-Correction)"},
    {"menu_smart_correction_limited", "แก้ไขคำพิมพ์ผิดอัตโนมัติ (โหมดจำกัด)"},
    {"menu_haptic", "ระบบสั่นตอบรับ (Haptic Feedback)"},
    {"menu_haptic_unavailable", "ใช้ไม่ได้บนคอมพิวเตอร์เครื่องนี้"},  // [ours]
    {"menu_fatigue", "การแจ้งเตือนพักสายตา (Fatigue Notification)"},
    {"menu_dashboard", "เปิดแดชบอร์ด..."},
    {"menu_quit", "ออกจาก Tessavinor"},
    {"tab_setup", "ความพร้อมระบบ"},
    {"tab_dashboard", "กระดานแดชบอร์ด"},
    {"tab_settings", "ตั้งค่าคีย์บอร์ด"},
    {"tab_vocab", "คลังคำศัพท์"},
    {"tab_dev", "นักพัฒนา (Developer)"},
    {"tab_profiles", "โปรไฟล์"},
    {"tab_lang_switch", "การสลับภาษา"},
    {"tab_about", "เกี่ยวกับแอป"},
    {"tab_copy_cache", "คลังคลิปบอร์ด"},
    {"settings_switcher_title", "ตั้งค่าปุ่มสลับภาษา"},
    {"settings_switcher_key", "ปุ่มสลับภาษา (Switch Key)"},
    {"settings_switcher_capslock", "ปุ่ม Caps Lock"},
    {"settings_switcher_grave", "ปุ่ม Grave Accent (`) (แบบ Windows)"},
    {"settings_switcher_capslock_desc", "ใช้ปุ่ม Caps Lock ในการสลับภาษา"},
    {"settings_switcher_grave_desc", "ใช้ปุ่ม Grave Accent (`) ในการสลับภาษา เมื่อต้องการพิมพ์ ` หรือ ~ ให้กด Shift+` หรือ Alt+`"},
    {"settings_switcher_taken", "โปรแกรมอื่น (ตัวจัดการหน้าต่างหรือเดสก์ท็อป) ใช้ %@ อยู่ กดแล้วจึงไม่สลับภาษา เลือกปุ่มสลับภาษาอื่นแทน"},  // [ours]
    {"settings_features", "ฟีเจอร์การทำงาน"},
    {"settings_smart_correction", "แก้ไขคำพิมพ์ผิดอัตโนมัติ (Smart Auto-Correction)"},
    {"settings_smart_correction_full", "โหมดเต็ม: แก้คำที่พิมพ์ผิดภาษาและคำที่สะกดผิดให้ทันทีขณะพิมพ์"},
    {"settings_smart_correction_limited", "โหมดจำกัด: แอปนี้ไม่เปิดให้อ่านข้อความ จึงแก้ได้เฉพาะคำที่พิมพ์ผิดภาษา"},
    {"settings_haptic", "ระบบสั่นตอบรับ (Haptic Feedback)"},
    {"settings_haptic_desc", "สั่นเมื่อสลับภาษา (ไทย 1 ครั้ง อังกฤษ 2 ครั้ง) และเมื่อยกเลิกการแก้คำ (1 ครั้ง)"},
    {"settings_fatigue", "การแจ้งเตือนพักสายตา (Fatigue Notification)"},
    {"settings_fatigue_desc", "ชวนพักสายตาสักครู่ เมื่อพิมพ์ผิดบ่อยผิดปกติภายในหนึ่งชั่วโมง"},
    {"settings_contrastive_check", "ตรวจเทียบความถี่คำสองภาษา (Contrastive Check)"},
    {"settings_contrastive_check_desc", "เทียบความถี่ของคำในทั้งสองภาษาก่อนแปลง เพื่อไม่ให้ไปแก้คำที่ตั้งใจพิมพ์จริง"},
    {"settings_confidence", "แสดงระดับความมั่นใจ (Confidence)"},
    {"settings_confidence_desc", "แสดงว่า Tessavinor มั่นใจแค่ไหน (สูง กลาง ต่ำ) ในการแจ้งเตือนทุกครั้งที่แก้คำ"},
    // The Caps Lock mode keys (settings_mode_*, settings_btn_mac_keyboard,
    // setup_capslock_*) are shown nowhere: the program has one Caps Lock mode.
    {"settings_mode_title", "โหมดการสลับภาษาด้วย Caps Lock"},
    {"settings_mode_opt1", "แปลง Caps Lock เป็น F19 (แนะนำ)"},
    {"settings_mode_opt2", "ใช้การสลับภาษาด้วย Caps Lock ของ macOS"},
    {"settings_mode_opt3", "ไม่เปลี่ยนการทำงานของ Caps Lock"},
    {"settings_mode_opt1_hint", "สลับภาษาทันทีทุกครั้งที่กด ไม่หน่วง ไม่มีกดแล้วไม่ติด"},
    {"settings_mode_opt2_hint", "macOS อาจไม่สลับเมื่อแตะเร็ว ๆ และถ้ากดค้างจะกลายเป็นพิมพ์ตัวพิมพ์ใหญ่"},
    {"settings_btn_mac_keyboard", "เปิดการตั้งค่าคีย์บอร์ดของ macOS"},
    {"settings_btn_view_steps", "ดูขั้นตอนการตั้งค่า"},
    {"settings_btn_security", "เปิดหน้าต่างสิทธิ์ความปลอดภัยระบบ"},
    {"settings_per_doc_title", "ความเข้ากันได้กับการสลับภาษาแยกตามหน้าต่าง"},
    {"settings_per_doc_desc", "ถ้าภาษาเด้งกลับเองเมื่อเปลี่ยนหน้าต่าง ให้ตั้งค่าคีย์บอร์ดของเดสก์ท็อปให้ใช้ภาษาเดียวกันทุกหน้าต่าง"},
    {"settings_per_doc_btn", "เปิดการตั้งค่า macOS"},
    {"setup_title", "สถานะความพร้อมของระบบ"},
    {"setup_subtitle", "ตรวจสอบสิทธิ์ พจนานุกรม และการตั้งค่าปุ่มของคีย์บอร์ด เพื่อให้แอปทำงานได้อย่างราบรื่น"},
    {"setup_accessibility", "1. สิทธิ์การเข้าถึง (Accessibility)"},
    {"setup_accessibility_desc_ok", "อนุญาตเรียบร้อยแล้ว แอปทำงานได้สมบูรณ์"},
    {"setup_accessibility_desc_ok_pro", "ได้รับสิทธิ์ Accessibility (AT-SPI) แล้ว Event Tap ทำงานได้"},
    {"setup_accessibility_desc_err", "จำเป็นต้องได้รับสิทธิ์นี้เพื่อตรวจจับและแก้ไขการพิมพ์"},
    {"setup_accessibility_desc_err_pro", "ต้องให้สิทธิ์ Accessibility ก่อน Event Tap จึงจะทำงานได้"},
    {"setup_keys_partial_desc", "อนุญาตเรียบร้อยแล้ว แต่โปรแกรมอื่นยึดปุ่ม %@ ไว้ ถ้าพิมพ์ระหว่างสลับภาษา ปุ่มเหล่านี้จะไปถึงทันทีในภาษาเดิม ส่วนปุ่มอื่นทั้งหมดยังถูกพักไว้และสลับภาษาให้ตามปกติ"},  // [ours]
    {"setup_switcher_taken_desc", "อนุญาตเรียบร้อยแล้ว แต่โปรแกรมอื่นใช้ %@ อยู่ กดแล้วจึงไม่สลับภาษา เลือกปุ่มสลับภาษาอื่นในหน้าตั้งค่าคีย์บอร์ด"},  // [ours]
    {"setup_accessibility_btn", "ขอสิทธิ์เข้าถึง"},
    {"setup_accessibility_btn_reset", "รีเซ็ตสิทธิ์"},
    {"setup_accessibility_troubleshoot_link", "เปิดสวิตช์แล้วแต่ไม่ทำงาน? ซ่อมสิทธิ์"},
    {"setup_dictionary", "2. พจนานุกรม (Dictionary)"},
    {"setup_dictionary_desc_ok", "โหลดพจนานุกรมเรียบร้อย พร้อมตรวจคำแล้ว"},
    {"setup_dictionary_desc_err", "ไม่พบพจนานุกรม การแก้คำอาจแม่นยำน้อยลง"},
    {"setup_dictionary_recheck", "ตรวจสอบอีกครั้ง"},
    {"setup_dictionary_btn_download", "ดาวน์โหลดพจนานุกรม"},
    {"setup_dictionary_btn_settings", "เปิดการตั้งค่าคีย์บอร์ด"},
    {"setup_dictionary_instructions_title", "วิธีเพิ่มพจนานุกรม"},
    {"setup_dictionary_instructions_text", "1. กด \"ดาวน์โหลดพจนานุกรม\"\n2. รอจนดาวน์โหลดเสร็จ\n3. กด \"ตรวจสอบอีกครั้ง\" เพื่อยืนยัน"},
    {"setup_capslock", "3. ปุ่ม Caps Lock"},
    {"setup_capslock_desc_opt1", "Caps Lock ถูกแปลงเป็น F19 เพื่อให้สลับภาษาได้ทันที"},
    {"setup_capslock_desc_opt2", "ใช้การสลับภาษาด้วย Caps Lock ของ macOS เอง"},
    {"setup_capslock_guide_btn", "คู่มือการตั้งค่า"},
    {"setup_capslock_ok_opt1", "การแปลง Caps Lock → F19 ทำงานอยู่"},
    {"setup_capslock_ok_opt2", "เปิดการสลับภาษาด้วย Caps Lock ของ macOS แล้ว"},
    {"setup_capslock_issue_title", "Caps Lock ยังตั้งค่าไม่ถูกต้อง"},
    {"setup_capslock_issue_opt1_desc", "การแปลงเป็น F19 ยังไม่ทำงาน ปุ่ม Caps Lock จึงอาจสลับภาษาไม่ได้"},
    {"setup_capslock_issue_opt2_desc", "ตัวเลือก \"ใช้ Caps Lock เพื่อสลับแหล่งป้อนข้อมูล\" ในการตั้งค่า macOS ยังปิดอยู่"},
    {"setup_capslock_compare_title", "แบบไหนเหมาะกับคุณ?"},
    {"setup_capslock_opt1_pros", "สลับทันทีทุกครั้ง ไม่หน่วง ใช้กับคีย์บอร์ดภายนอกได้"},
    {"setup_capslock_opt2_pros", "มีมากับ macOS ไม่ต้องแปลงปุ่ม"},
    {"setup_capslock_btn_fix_system", "แก้ไขให้อัตโนมัติ"},
    {"setup_capslock_btn_switch_to_opt1", "เปลี่ยนไปใช้การแปลงเป็น F19"},
    {"setup_capslock_btn_switch_to_opt2", "เปลี่ยนไปใช้ Caps Lock ของ macOS"},
    {"setup_capslock_configuring", "กำลังตั้งค่า…"},
    {"repair_confirm_title", "เริ่ม Tessavinor ใหม่?"},  // [ours] nothing is reset here
    {"repair_confirm_message", "Tessavinor จะเริ่มใหม่ แล้วตรวจสิทธิ์ Accessibility อีกครั้ง"},
    {"repair_confirm_action", "เริ่มใหม่"},  // [ours]
    {"btn_cancel", "ยกเลิก"},
    {"sync_title", "ซิงก์ข้อมูล (Cloud Sync)"},
    {"sync_subtitle", "ให้คลังคำศัพท์และการตั้งค่าตรงกันในทุกเครื่องของคุณ"},
    {"sync_status", "สถานะ"},
    {"sync_status_connected", "เชื่อมต่อแล้ว"},
    {"sync_status_disconnected", "ยังไม่เชื่อมต่อ"},
    {"sync_btn_disconnect", "ยกเลิกการเชื่อมต่อ"},
    {"sync_btn_disconnect_confirm", "ยกเลิกการเชื่อมต่อและหยุดซิงก์?"},
    {"sync_btn_connect", "เชื่อมต่อ"},
    {"sync_btn_sync_now", "ซิงก์ตอนนี้"},
    {"sync_progress", "กำลังซิงก์…"},
    {"sync_last", "ซิงก์ล่าสุด: %@"},
    {"sync_last_never", "ยังไม่เคยซิงก์"},
    {"dashboard_smart_tips", "เคล็ดลับอัจฉริยะ"},
    {"dashboard_times", "ครั้ง"},
    {"dashboard_keystrokes", "การกดแป้น"},
    {"dashboard_from_typos", "ที่ประหยัดได้จากคำพิมพ์ผิด"},
    {"dashboard_title", "กระดานแดชบอร์ด"},
    {"dashboard_subtitle", "ติดตามเวลาการใช้งาน Tessavinor"},
    {"dashboard_stat_accuracy", "ความแม่นยำ"},
    {"dashboard_stat_saved", "การกดแป้นที่ประหยัดได้"},
    {"dashboard_stat_undos", "ครั้งที่ยกเลิก"},
    {"dashboard_stat_chars", "ตัวอักษร"},
    {"dashboard_stat_hours", "ชม."},
    {"dashboard_stat_mins", "นาที"},
    {"dashboard_stat_secs", "วินาที"},
    {"dashboard_typo_by_app", "คำพิมพ์ผิดแยกตามแอป"},
    {"dashboard_typo_hourly", "คำพิมพ์ผิดรายชั่วโมง"},
    {"dashboard_no_data", "ยังไม่มีข้อมูล เริ่มพิมพ์แล้วสถิติจะแสดงที่นี่"},
    {"dev_title", "เครื่องมือนักพัฒนา (Developer Tools)"},
    {"dev_subtitle", "ดูเหตุการณ์ปุ่มที่ระบบได้รับแบบสด ๆ เพื่อหาสาเหตุของปัญหา"},
    {"dev_live_events", "เหตุการณ์สด (Live Events)"},
    {"dev_clear_btn", "ล้าง"},
    {"about_check_update", "ตรวจสอบอัปเดต"},
    {"about_auto_update", "อัปเดตอัตโนมัติ"},
    {"about_auto_update_desc", "ตรวจหาเวอร์ชันใหม่ของแอปและคลังคำศัพท์ในเบื้องหลัง แล้วอัปเดตให้อัตโนมัติ"},
    {"about_developer", "ผู้พัฒนา"},
    {"about_contact", "ติดต่อผู้พัฒนา"},
    {"about_report_title", "พบปัญหาในการใช้งาน?"},
    {"about_report_desc", "ส่งบันทึกการทำงานของแอปให้ผู้พัฒนาตรวจสอบ คุณดูข้อมูลได้ทุกบรรทัดก่อนส่ง และไม่มีข้อความที่คุณพิมพ์"},
    {"about_report_button", "รายงานปัญหา…"},
    {"about_github", "เว็บไซต์ / หน้าดาวน์โหลด"},
    {"about_privacy_title", "ความเป็นส่วนตัว"},
    {"about_desc_free", "Tessavinor แก้ปัญหาสลับภาษาไม่ทัน ทุกครั้งที่กด Caps Lock หรือปุ่มสลับภาษาที่เลือกไว้ จะสลับทันที แม่นยำ ไม่ต้องกดซ้ำ ไม่ต้องเดา"},
    {"about_privacy_body_free", "ทุกอย่างประมวลผลในเครื่องของคุณเท่านั้น ไม่มีข้อความที่คุณพิมพ์ถูกส่งออกไปไหน — โดย default ข้อมูลไม่ออกนอกเครื่อง เว้นแต่คุณเลือกแชร์สถิติแบบไม่ระบุตัวตน"},
    {"about_feature_remap", "สลับภาษาได้แม่นยำทุกครั้งที่กด"},
    {"about_feature_remap_desc", "Caps Lock สลับภาษาได้โดยตรง — ทันที ไม่มี lag"},
    {"about_feature_switch_key", "เลือกปุ่มสลับภาษาได้เอง"},
    {"about_feature_switch_key_desc", "Caps Lock, Grave Accent (แบบ Windows) หรือ Alt, Ctrl, Super คู่กับ Space"},
    {"about_feature_background", "ทำงานเงียบอยู่เบื้องหลัง"},
    {"about_feature_background_desc", "ไม่มี popup รบกวน ไม่ต้องตั้งค่าซับซ้อน"},
    {"about_feature_correction", "แก้คำที่พิมพ์ผิดภาษาให้อัตโนมัติ"},
    {"about_feature_correction_desc", "พิมพ์ไทยตอนแป้นเป็นภาษาอังกฤษ (หรือกลับกัน) ระบบจะแปลงให้เมื่อกด Space"},
    {"about_feature_dictionary", "พจนานุกรมในตัว"},
    {"about_feature_dictionary_desc", "คลังคำภาษาไทย อังกฤษ และลาว ตรวจคำในเครื่องของคุณเอง"},
    {"about_feature_undo", "ยกเลิกได้ในปุ่มเดียว"},
    {"about_feature_undo_desc", "กด Backspace ทันทีหลังระบบแก้คำ หรือกด Ctrl+Shift+Z"},
    {"about_community_title", "สถิติชุมชน"},
    {"about_community_desc", "ร่วมแบ่งปันข้อมูลสถิติโดยเพื่อนสมาชิกในชุมชนแบบไม่ระบุตัวตน อัปเดตทุกสัปดาห์ครับ"},
    {"about_community_corrections", "ครั้งที่ระบบช่วยแก้ให้ (รวมทั้งชุมชน)"},
    {"about_community_time_saved", "ชั่วโมงที่ประหยัดได้"},
    {"about_community_users", "ผู้ใช้ที่ร่วมแชร์สถิติ"},
    {"about_community_cta", "มาร่วมเป็นส่วนหนึ่งของชุมชนกันครับ"},
    {"about_share_toggle", "ร่วมแชร์สถิติการใช้งานแบบไม่ระบุตัวตน"},
    {"about_share_desc", "ส่งเฉพาะตัวเลขรวม คือชั่วโมงที่ประหยัดได้และจำนวนคำที่ช่วยแก้ ไม่มีข้อความที่คุณพิมพ์"},
    {"about_share_hud_on", "ขอบคุณมากครับ! ระบบเริ่มส่งสถิติการใช้งานแบบไม่ระบุตัวตนแล้วครับ"},
    {"about_share_hud_off", "ปิดการแชร์สถิติเรียบร้อย ข้อมูลของคุณจะไม่ถูกส่งออกนับจากนี้ครับ"},
    {"about_feature_copy_cache", "คลังคลิปบอร์ด (Copy Cache) เปิดใช้ได้ตามต้องการ"},
    {"about_feature_copy_cache_desc", "เก็บสิ่งที่คัดลอกล่าสุดแบบเข้ารหัสในเครื่อง วางพร้อมแปลง layout ให้ถูกภาษาจากหน้าต่างวางด่วน"},
    {"about_feature_pinned_snippets", "สนิปเป็ตที่ปักหมุด (Pinned Snippets)"},
    {"about_feature_pinned_snippets_desc", "เก็บข้อความที่ปักหมุดไว้ใกล้มือได้สูงสุด 3 รายการ คัดลอกได้ในคลิกเดียว"},
    {"about_share_invite_title", "การส่งข้อมูลสถิติการใช้งานแบบไม่ระบุตัวตน"},  // [ours]
    {"about_share_invite_subtitle", "การขอความยินยอมในการส่งข้อมูลสถิติการใช้งานโดยสรุป"},  // [ours]
    {"about_share_invite_privacy", "การคุ้มครองความเป็นส่วนตัว: ไม่มีการบันทึก จัดเก็บ หรือส่งข้อความและปุ่มกดใดๆ"},  // [ours]
    {"about_share_invite_aggregate", "ข้อมูลสรุปเชิงปริมาณ: ส่งเฉพาะตัวเลขสถิติสะสม เช่น คำที่แก้ไขและเวลาทำงาน"},  // [ours]
    {"about_share_invite_control", "สิทธิในการควบคุม: สามารถเปิดหรือปิดการตั้งค่านี้ได้ตลอดเวลา"},  // [ours]
    {"about_share_invite_accept", "ร่วมแชร์สถิติการใช้งาน"},  // [ours]
    {"about_share_invite_decline", "ไม่แชร์สถิติ"},  // [ours]
    {"about_share_thanks_detail", "สามารถเปลี่ยนแปลงได้ตลอดเวลาที่หน้าการตั้งค่า หรือเมนูเกี่ยวกับแอป"},  // [ours]
    {"about_community_pending_headline", "✅ ขอบคุณที่ร่วมเดินทางไปด้วยกันครับ!"},  // [ours]
    {"about_community_pending_body", "ระบบกำลังรวบรวมเวลาสะสมจากเพื่อนสมาชิก...\nตัวเลขสถิติจะปรากฏขึ้นเมื่อชุมชนของเราใหญ่พอครับ"},  // [ours]
    {"about_community_live_confirmation", "✅ ข้อมูลของคุณถูกนับรวมแล้ว"},  // [ours]
    {"about_community_opt_out_note", "คุณปิดการแชร์ข้อมูลสถิติแล้วครับ"},  // [ours]
    {"about_community_share_again", "เปิดแชร์สถิติอีกครั้ง"},  // [ours]
    {"about_community_stop_sharing", "ยกเลิกการแชร์"},  // [ours]
    {"about_community_thanks_detail", "ปิดเมื่อไหร่ก็ได้ที่หน้านี้ หรือเมนูเกี่ยวกับแอป"},  // [ours]
    {"about_credits_heading", "สัญญาอนุญาตคลังคำศัพท์ (Dictionary Sources & Licenses)"},  // [ours]
    {"onboarding_level_welcome", "ยินดีต้อนรับสู่ Tessavinor"},
    {"onboarding_level_subtitle", "กรุณาเลือกระดับภาษาที่ต้องการให้แอปใช้:"},
    {"onboarding_level_layman_title", "ผู้ใช้ทั่วไป (เข้าใจง่าย)"},
    {"onboarding_level_layman_desc", "อธิบายชัดเจน ไม่มีศัพท์เทคนิคที่ซับซ้อน"},
    {"onboarding_level_pro_title", "นักพัฒนา (ศัพท์เทคนิคแบบ Pro)"},
    {"onboarding_level_pro_desc", "รายละเอียดเชิงลึก รวมถึง API, Event Tap และ Secure Input"},
    {"onboarding_level_note", "เปลี่ยนการตั้งค่านี้ได้ตลอดเวลาในหน้าการตั้งค่า"},
    {"onboarding_btn_get_started", "เริ่มใช้งาน Tessavinor"},
    {"onboarding_perm_granted", "ได้รับสิทธิ์ Accessibility แล้ว"},
    {"onboarding_btn_continue", "ดำเนินการต่อ"},
    {"onboarding_sandbox_ready_title", "🎉 พร้อมแล้ว! คีย์ลัด & กล่องทดลองพิมพ์"},
    {"onboarding_sandbox_ready_subtitle", "เรียนรู้ทางลัดสำคัญ แล้วลองพิมพ์ทดสอบจริงด้านล่าง"},
    {"onboarding_tagline", "สลับภาษาบนคอมพิวเตอร์ได้ไวและแม่นยำ 100%"},
    {"onboarding_demo_source", "้ำสสน"},
    {"onboarding_demo_target", "hello"},
    {"onboarding_why_title", "ทำไมต้องใช้สิทธิ์ Accessibility"},
    {"onboarding_why_1", "สลับภาษาด้วยปุ่ม Caps Lock ได้ทันทีแบบไม่มีหน่วง"},
    {"onboarding_why_2", "ขับเคลื่อนระบบแก้คำผิดอัจฉริยะ ให้พิมพ์ได้ลื่นไหลไม่สะดุด"},
    {"onboarding_not_title", "รับประกันความเป็นส่วนตัวและความปลอดภัย"},
    {"onboarding_not_1", "ไม่บันทึกหรือเก็บประวัติการพิมพ์ของคุณ"},
    {"onboarding_not_2", "ทำงานในเครื่อง 100% แบบออฟไลน์ — การกดแป้นของคุณไม่เคยออกไปนอกเครื่องนี้"},
    {"onboarding_not_3", "หยุดทำงานในช่องรหัสผ่าน (ไอคอนแม่กุญแจสีเหลือง 🔒 จะขึ้นที่ไอคอนในถาดระบบ)"},
    {"onboarding_not_4", "ขอสิทธิ์เท่าที่จำเป็น: ไม่ขอสิทธิ์อื่นนอกจาก Accessibility"},
    {"onboarding_not_5", "คลังคลิปบอร์ด (Copy Cache) เลือกเปิดเองได้: ปิดอยู่จนกว่าคุณจะเปิดใช้ และเก็บแบบเข้ารหัสไว้ในเครื่องนี้"},
    {"onboarding_btn_grant", "ให้สิทธิ์"},
    {"onboarding_btn_skip", "ข้ามไปก่อน"},
    {"onboarding_revoke_note", "คุณถอนสิทธิ์นี้ได้ทุกเมื่อในการตั้งค่าการช่วยการเข้าถึง (Accessibility) ของเดสก์ท็อป"},
    {"onboarding_switcher_title", "เลือกปุ่มสลับภาษา"},
    {"onboarding_switcher_subtitle", "เลือกวิธีที่คุณต้องการใช้สลับภาษาพิมพ์:"},
    {"onboarding_switcher_caps", "ปุ่ม Caps Lock"},
    {"onboarding_switcher_caps_desc", "ใช้ปุ่ม Caps Lock สลับภาษาได้ทันทีโดยไม่มีหน่วง"},
    {"onboarding_switcher_option", "Option + Space"},
    {"onboarding_switcher_option_desc", "กด Option ค้างไว้แล้วเคาะ Space เพื่อสลับภาษา ส่วนปุ่ม Caps Lock ยังทำงานตามปกติ"},
    {"onboarding_switcher_fn", "ปุ่ม Fn (🌐 Globe)"},
    {"onboarding_switcher_fn_desc", "กดปุ่ม Fn / Globe เพื่อสลับภาษา เหมือนค่าเริ่มต้นของ macOS บนคีย์บอร์ดรุ่นใหม่"},
    {"onboarding_hotkey_title", "คีย์ลัดสำคัญที่ควรรู้ (Hotkey Cheat Sheet)"},
    {"onboarding_hotkey_cycle_word", "สลับภาษาคำปัจจุบัน"},
    {"onboarding_hotkey_undo", "ยกเลิกการแก้คำผิดล่าสุด"},
    {"onboarding_hotkey_case", "ยอมรับคำแนะนำ"},
    {"onboarding_hotkey_paragraph", "เพิ่มคำศัพท์ใหม่ให้เรียนรู้"},
    {"onboarding_hotkey_copy_cache", "คลังคลิปบอร์ด & แปลง layout (Option)"},
    {"onboarding_hotkey_pinned_snippets", "สนิปเป็ตที่ปักหมุด คัดลอกได้ในคลิกเดียว (Option)"},
    {"onboarding_hotkey_instant_undo", "กด Backspace ทันทีหลังโดนแก้คำ เพื่อยกเลิกการแปลงคำนั้น"},
    {"onboarding_copycache_title", "คลังคลิปบอร์ด (Copy Cache)"},
    {"onboarding_copycache_subtitle", "เก็บสิ่งที่คัดลอกล่าสุดไว้ใกล้มือ แล้ววางพร้อมแปลง layout ให้ถูกภาษา"},
    {"onboarding_copycache_point1", "เข้ารหัสเก็บในโฟลเดอร์ที่เปิดได้เฉพาะบัญชีของคุณในเครื่องนี้: รายการที่ไม่ได้ปักหมุดจะหายไปเองภายใน 24 ชั่วโมงหรือเมื่อเครื่องเข้าสู่โหมดพัก"},
    {"onboarding_copycache_point2", "รหัสผ่านจากโปรแกรมจัดการรหัสผ่านจะถูกกรองทิ้งอัตโนมัติ ไม่ถูกเก็บลงประวัติ"},
    {"onboarding_copycache_point3", "เปิดหน้าต่างวางด่วนได้จากหน้าคลังคลิปบอร์ด หรือผูกคำสั่ง tessavinor --action openQuickPaste กับคีย์ลัดของเดสก์ท็อป"},
    {"onboarding_copycache_btn_enable", "เปิดใช้คลังคลิปบอร์ด"},
    {"onboarding_copycache_btn_skip", "ไว้ทีหลัง"},
    {"onboarding_copycache_note", "เปิดหรือปิดคลังคลิปบอร์ดได้ตลอดเวลาในหน้าการตั้งค่า"},
    {"onboarding_sandbox_prompt", "💡 ลองพิมพ์คำเหล่านี้ในกล่องแล้วกด Space:"},
    {"onboarding_sandbox_placeholder", "ลองพิมพ์คำภาษาไทยในโหมดภาษาอังกฤษ..."},
    {"onboarding_sandbox_ex1_raw", "l;ylfu"},
    {"onboarding_sandbox_ex1_target", "สวัสดี"},
    {"onboarding_sandbox_ex2_raw", "้ำสสน"},
    {"onboarding_sandbox_ex2_target", "hello"},
    {"onboarding_sandbox_ex3_raw", "wfh"},
    {"onboarding_sandbox_ex3_target", "ได้"},
    {"onboarding_startup_title", "เปิดแอปอัตโนมัติเมื่อเข้าสู่ระบบ"},
    {"onboarding_startup_subtitle", "ต้องการให้ Tessavinor เริ่มทำงานเองทุกครั้งที่เข้าสู่ระบบหรือไม่?"},
    {"onboarding_startup_desc", "Tessavinor เป็นผู้ช่วยการพิมพ์ที่ทำงานอยู่เบื้องหลัง การเปิดอัตโนมัติจะทำให้พร้อมช่วยทันทีที่เปิดเครื่อง โดยไม่ต้องคอยเปิดแอปเอง"},
    {"onboarding_startup_btn_enable", "เปิดอัตโนมัติ (แนะนำ)"},
    {"onboarding_startup_btn_skip", "ไม่ต้องเปิด"},
    {"onboarding_startup_note", "เปลี่ยนการตั้งค่านี้ได้ตลอดเวลาในหน้าการตั้งค่า"},
    {"onboarding_telemetry_title", "รวมพลังคืนเวลาสู่ชุมชน (Community Impact)"},
    {"onboarding_telemetry_subtitle", "ร่วมสมทบสถิติเวลาพิมพ์ที่ได้คืนขึ้นแดชบอร์ดชุมชนแบบไม่ระบุตัวตน 100%"},
    {"onboarding_telemetry_point1", "คุ้มครองความเป็นส่วนตัว 100%: ไม่มีการบันทึก จัดเก็บ หรือส่งต่อเนื้อหาและปุ่มกดใดๆ โดยเด็ดขาด"},
    {"onboarding_telemetry_point2", "ส่งเฉพาะผลรวมเชิงตัวเลข: รายงานเฉพาะชั่วโมงที่ประหยัดได้ และจำนวนคำที่ช่วยแก้ เพื่อคำนวณเวลารวมของชุมชน"},
    {"onboarding_telemetry_point3", "ผู้ใช้ควบคุมได้สมบูรณ์: สามารถเปิดหรือยกเลิกการแชร์ข้อมูลนี้ได้ตลอดเวลาในหน้าการตั้งค่า"},
    {"onboarding_telemetry_btn_agree", "ร่วมสมทบสถิติคืนเวลาสู่ชุมชน"},
    {"onboarding_telemetry_btn_decline", "ไม่แชร์สถิติ"},
    {"onboarding_telemetry_btn_inspect", "🔍 ตรวจสอบรูปแบบข้อมูลที่จะส่งจริง (JSON Preview)"},
    {"onboarding_telemetry_note", "ท่านสามารถเปลี่ยนแปลงการตั้งค่านี้ได้ตลอดเวลาในแท็บการตั้งค่าและเกี่ยวกับแอป"},
    {"nudge_celebration_title", "ยินดีด้วย! คุณได้เวลาชีวิตคืนแล้ว 🎉"},
    {"nudge_celebration_subtitle", "คุณประหยัดเวลากดลบไปแล้ว %@ นาที (ช่วยแก้คำผิดสะสม %d คำ) ร่วมส่งตัวเลขเวลานี้ขึ้นแดชบอร์ดชุมชนไหมครับ?"},
    {"nudge_btn_join", "ร่วมสมทบสถิติคืนเวลาสู่ชุมชน"},
    {"nudge_btn_remind", "เตือนฉันอีกครั้งเมื่อครบ 200 คำ"},
    {"nudge_btn_decline", "ไม่ต้องการแชร์สถิติ"},
    {"nudge_inspect_link", "ตรวจสอบข้อมูล JSON ที่จะส่งจริง"},
    {"tier_1_title", "มือใหม่หัดพิมพ์"},
    {"tier_2_title", "นักพิมพ์ฝึกหัด"},
    {"tier_3_title", "นักพิมพ์มือนิ่ง"},
    {"tier_4_title", "นักพิมพ์มือไว"},
    {"tier_5_title", "ผู้เชี่ยวชาญแป้นพิมพ์"},
    {"tier_6_title", "ปรมาจารย์แป้นพิมพ์"},
    {"tier_7_title", "ตำนานแป้นพิมพ์"},
    {"badge_thaitea", "ชาไทย"},
    {"badge_mekkhala", "เมขลา"},
    {"badge_ramasoon", "รามสูร"},
    {"badge_sriprat", "ศรีปราชญ์"},
    {"badge_lotus", "บัวหลวง"},
    {"equiv_title", "เวลาที่ได้คืนเทียบเท่ากับ…"},
    {"equiv_tea", "ชาไทย %d แก้ว"},
    {"equiv_songs", "ฟังเพลงได้ %d เพลง"},
    {"equiv_distance", "เดินได้ %@ กิโลเมตร"},
    {"equiv_keystrokes", "ไม่ต้องกดแป้นไปถึง %d ครั้ง"},
    {"weekly_rings_title", "วงแหวนประจำสัปดาห์"},
    {"weekly_ring_time", "เวลา"},
    {"weekly_ring_acc", "ความแม่นยำ"},
    {"weekly_ring_streak", "ความต่อเนื่อง"},
    {"weekly_rings_goal_time", "เป้าหมาย: พิมพ์ %d ชั่วโมง"},
    {"weekly_rings_goal_acc", "เป้าหมาย: แม่นยำ %d%%"},
    {"weekly_rings_goal_streak", "เป้าหมาย: ใช้งาน %d วัน"},
    {"streak_flame_title", "ใช้งานต่อเนื่องรายวัน"},
    {"streak_flame_days", "ต่อเนื่อง %d วัน"},
    {"streak_shield_active", "โล่วันหยุดทำงานอยู่: หยุดพักเสาร์อาทิตย์ สถิติก็ไม่ขาด"},
    {"prestige_title", "เกียรติยศ (Prestige)"},
    {"prestige_desc", "คุณไปถึงระดับสูงสุดแล้ว เริ่มใหม่จากระดับ 1 เพื่อรับดาวเกียรติยศ"},
    {"prestige_btn_reincarnate", "จุติใหม่ (Reincarnate)"},
    {"prestige_hud_title", "ได้รับดาวเกียรติยศ ★%d แล้ว!"},
    {"legend_title", "ความหมายของไอคอนบน Menu Bar"},
    {"legend_title_pro", "สถานะของ Status Item"},
    {"legend_kb_white", "พร้อมทำงาน กำลังดูแลการพิมพ์ของคุณ"},
    {"legend_kb_white_pro", "Event Tap ทำงานปกติ ผ่านการตรวจทุกข้อ"},
    {"legend_kb_gray", "โหมดจำกัด: แอปนี้ไม่เปิดให้อ่านข้อความ"},
    {"legend_kb_gray_pro", "แอปที่โฟกัสอยู่ไม่มี AX text (ทำงานจากการกดแป้นอย่างเดียว)"},
    {"legend_logo_badge", "โลโก้เล็กบนไอคอน: Tessavinor มีเรื่องแจ้งให้ทราบ"},
    {"legend_logo_badge_pro", "มีโลโก้ซ้อนบน status icon: มีการแจ้งเตือนรออยู่"},
    {"legend_lock", "อยู่ในช่องรหัสผ่าน ระบบหยุดช่วยพิมพ์ชั่วคราว"},
    {"legend_lock_pro", "Secure Input เปิดอยู่: Event Tap ไม่ได้รับ key event"},
    {"legend_pause", "ระงับชั่วคราว เลือก Resume ในเมนูเพื่อกลับมาทำงาน"},
    {"legend_warning", "สิทธิ์ Accessibility หลุด คลิกเพื่อเปิดคืน"},
    {"legend_warning_pro", "AXIsProcessTrusted เป็น false: สร้าง Event Tap ไม่ได้"},
    {"legend_bolt", "ไม่ได้รับการกดแป้น กำลังกู้คืนอัตโนมัติ"},
    {"legend_bolt_pro", "ระบบปิด Event Tap: กำลังเปิดใหม่"},
    {"legend_bar_green", "แถบสีเขียว: Caps Lock เปิดอยู่"},
    {"legend_bar_orange", "แถบสีส้ม: ยกเลิกการแก้คำล่าสุดแล้ว คำนั้นจะคงไว้ตามที่พิมพ์"},
    {"hud_per_doc_title", "ภาษาเด้งกลับเองใช่ไหม?"},
    {"hud_per_doc_title_pro", "ตรวจพบการสลับ input source ตามเอกสาร (Per-document)"},
    {"hud_per_doc_sub", "เดสก์ท็อปสลับกลับไปใช้ภาษาเดิมของหน้าต่างนี้ ให้ตั้งค่าคีย์บอร์ดของเดสก์ท็อปให้ใช้ภาษาเดียวกันทุกหน้าต่าง"},
    {"hud_per_doc_sub_pro", "ค่าภาษาแยกตามหน้าต่าง (per-window layout) ของเดสก์ท็อปย้อนการสลับภาษากลับ"},
    {"hud_per_doc_action", "เปิดการตั้งค่า"},
    {"hud_per_doc_action_pro", "เปิด Keyboard > Input Sources"},
    {"hud_f19_store_failed_title", "บันทึกปุ่มลัดสลับภาษาไม่ได้"},  // [ours]
    {"hud_f19_store_failed_sub", "เขียนไฟล์ %@ ไม่ได้: การสลับภาษาแต่ละครั้งจะเลือกภาษาโดยตรง ช้าลงราว 0.2 วินาที"},  // [ours]
    {"hud_tap_recovered", "พร้อมดูแลแล้ว"},
    {"hud_tap_outage", "หยุดไป %d วินาที"},
    {"hud_tap_auto_recovered", "กู้คืนอัตโนมัติ · ครั้งถัดไปในรอบนี้จะให้กดเอง"},
    {"hud_tap_stale_recovered", "ตรวจพบสถานะค้างชั่วคราวและกู้คืนให้อัตโนมัติ"},
    {"hud_vocab_not_saved", "บันทึกคำ «%@» ลงคลังคำศัพท์ไม่สำเร็จ"},  // [ours]
    {"confidence_high", "มั่นใจสูง"},
    {"confidence_medium", "มั่นใจกลาง"},
    {"confidence_low", "มั่นใจต่ำ"},
    {"habit_badge", "จำส่วนตัว"},
    {"habit_learned", "เรียนรู้ «%@ → %@»"},
    {"habit_learned_sub", "จะแก้อัตโนมัติ · ยกเลิกกด Ctrl+Shift+Z หรือคลังคำศัพท์ ⓧ"},
    {"habit_cancel", "Ctrl+Shift+Z ยกเลิก"},
    {"fatfinger_badge", "ปุ่มใกล้เคียง"},
    {"fatfinger_sub", "แก้จาก «%@» (%@)"},
    {"tray_tooltip_ax_lost", "⚠️ สิทธิ์ Accessibility หลุด — คลิกเพื่อเปิดคืน"},  // [ours]
    {"tray_tooltip_torn_down", "🛡 ระบบหยุดไว้เพื่อกันเครื่องค้าง — คลิกเพื่อเริ่มใหม่"},  // [ours]
    {"tray_tooltip_tap_dead", "⚡̶ ไม่ได้รับคีย์ — กำลังกู้คืนอัตโนมัติ"},  // [ours]
    {"tray_tooltip_ax_unavailable", "⚠️ ยังใช้คีย์บอร์ดไม่ได้: %@"},  // [ours]
    {"tray_tooltip_no_keys", "⚡̶ เดสก์ท็อปนี้ไม่ส่งคีย์ให้: %@"},  // [ours]
    {"tray_tooltip_keys_partial", "⚠️ โปรแกรมอื่นยึดปุ่ม %@ ไว้: ถ้าพิมพ์ระหว่างสลับภาษา ปุ่มเหล่านี้จะไปถึงทันทีในภาษาเดิม"},  // [ours]
    {"tray_tooltip_switcher_taken", "⚠️ โปรแกรมอื่นใช้ %@ อยู่: กดแล้วจะไม่สลับภาษา — เลือกปุ่มสลับภาษาอื่นแทน"},  // [ours]
    {"tray_tooltip_version", "Tessavinor v%@ (Remapper) - สำหรับคีย์บอร์ดภายนอก"},  // [ours]
    {"tray_restart_tap", "🛡 เริ่มระบบแก้คำใหม่ (หยุดไว้เพื่อกันเครื่องค้าง)"},  // [ours]
    {"tray_resume", "▶️ กลับมาทำงานต่อ (Resume)"},  // [ours]
    {"tray_pause_hour", "⏸ ระงับชั่วคราว 1 ชั่วโมง"},  // [ours]
    {"tray_pause_day", "⏸ ระงับจนพรุ่งนี้"},  // [ours]
    {"tray_replay_onboarding", "ดูคำแนะนำเริ่มต้นอีกครั้ง"},  // [ours]
    {"tray_check_updates", "ตรวจสอบการอัปเดต..."},  // [ours]
    {"tray_haptic_enabled", "เปิดใช้งาน (Enabled)"},  // [ours]
    {"tray_haptic_light", "เบา (Light)"},  // [ours]
    {"tray_haptic_medium", "ปานกลาง (Medium)"},  // [ours]
    {"tray_haptic_strong", "แรง (Strong)"},  // [ours]
    {"a11y_no_session_bus", "ไม่พบ D-Bus session bus จึงเปิดสวิตช์การเข้าถึง (accessibility) ของเดสก์ท็อปไม่ได้ ให้เปิด Tessavinor จากเซสชันเดสก์ท็อป (หรือรันผ่าน dbus-run-session)"},  // [ours]
    {"a11y_no_bus", "บัสการเข้าถึง (accessibility bus) ของเดสก์ท็อปไม่ตอบ ให้ติดตั้ง at-spi2-core (sudo apt install at-spi2-core) แล้วออกจากระบบและเข้าใหม่"},  // [ours]
    {"a11y_switch_refused", "เดสก์ท็อปไม่ยอมเปิดการเข้าถึง (accessibility) ให้รัน: gsettings set org.gnome.desktop.interface toolkit-accessibility true"},  // [ours]
    // [ours] The desktop's accessibility, turned on by the user's consent;
    // programs open before it went on; the conversion notices.
    {"a11y_switch_off", "การเข้าถึง (accessibility) ของเดสก์ท็อปยังปิดอยู่ Tessavinor จึงพักปุ่มที่พิมพ์ระหว่างสลับภาษาและอ่านคำที่จะแปลงไม่ได้ กด “ขอสิทธิ์เข้าถึง” เพื่อเปิด"},  // [ours]
    {"a11y_consent_title", "เปิดการเข้าถึง (accessibility) ของเดสก์ท็อปไหม?"},  // [ours]
    {"a11y_consent_message", "Tessavinor อ่านคำที่คุณจะแปลงผ่านบริการการเข้าถึงของเดสก์ท็อป เมื่อเปิดแล้ว โปรแกรมบนเดสก์ท็อปนี้จะแบ่งปันข้อความของตนกับเครื่องมือช่วยการเข้าถึง เช่น Tessavinor และโปรแกรมอ่านหน้าจอ ปิดได้อีกครั้งในการตั้งค่าการเข้าถึงของเดสก์ท็อป"},  // [ours]
    {"a11y_consent_restart", "โปรแกรมที่เปิดอยู่แล้วบางโปรแกรมอาจต้องปิดแล้วเปิดใหม่ก่อนจึงจะอ่านข้อความได้ Tessavinor จะบอกชื่อโปรแกรมนั้นให้"},  // [ours]
    {"a11y_consent_confirm", "เปิด"},  // [ours]
    {"a11y_restart_program", "%@ เปิดอยู่ก่อนเปิดการเข้าถึง จึงยังอ่านข้อความในโปรแกรมนี้ไม่ได้ ปิดแล้วเปิดใหม่หนึ่งครั้งเพื่อแปลงคำในโปรแกรมนี้"},  // [ours]
    {"a11y_restart_with_switch", "%@ จะแบ่งปันข้อความก็ต่อเมื่อเปิดพร้อม --force-renderer-accessibility หากต้องการแปลงคำในโปรแกรมนี้ ให้ปิดโปรแกรมแล้วเปิดใหม่โดยเติม --force-renderer-accessibility ต่อท้ายคำสั่งที่ใช้เปิด"},  // [ours]
    {"conversion_restart_program", "เปิด %@ ใหม่หนึ่งครั้ง"},  // [ours]
    {"conversion_restart_program_sub", "โปรแกรมนี้เปิดอยู่ก่อนเปิดการเข้าถึง จึงยังอ่านข้อความไม่ได้ - ไม่ได้เปลี่ยนอะไร"},  // [ours]
    {"conversion_restart_with_switch", "เปิด %@ ใหม่พร้อม --force-renderer-accessibility"},  // [ours]
    {"conversion_restart_with_switch_sub", "โปรแกรมนี้แบ่งปันข้อความเฉพาะเมื่อเปิดพร้อมตัวเลือกนี้ - ไม่ได้เปลี่ยนอะไร"},  // [ours]
    {"conversion_never_shares", "%@ ไม่แบ่งปันข้อความ"},  // [ours]
    {"conversion_never_shares_sub", "โปรแกรมนี้ไม่รองรับการเข้าถึง เปิดใหม่ก็อ่านไม่ได้ - ไม่ได้เปลี่ยนอะไร"},  // [ours]
    {"conversion_password", "ช่องรหัสผ่าน ไม่แปลงคำ"},  // [ours]
    {"conversion_password_sub", "ไม่แก้ข้อความในช่องรหัสผ่านเด็ดขาด"},  // [ours]
    {"conversion_no_access", "ยังไม่ได้รับสิทธิ์ Accessibility"},  // [ours]
    {"conversion_no_access_sub", "เปิดได้ด้วยปุ่ม “ขอสิทธิ์เข้าถึง” ในหน้าสถานะความพร้อมของระบบ"},  // [ours]
    {"conversion_unreadable", "อ่านข้อความในช่องนี้ไม่ได้"},  // [ours]
    {"conversion_unreadable_sub", "แอปนี้ไม่แบ่งปันข้อความ - ไม่ได้เปลี่ยนอะไร"},  // [ours]
    {"conversion_screen_changed", "ข้อความบนจอเปลี่ยนไป จึงไม่แก้คำ"},  // [ours]
    {"conversion_screen_changed_sub", "ข้อความเปลี่ยนระหว่างแก้ - ไม่ได้เปลี่ยนอะไรเพิ่ม"},  // [ours]
    {"conversion_no_word", "ไม่พบคำที่จะแปลง"},  // [ours]
    {"conversion_no_word_sub", "วางเคอร์เซอร์ไว้ต่อท้ายคำ"},  // [ours]
    {"conversion_one_layout", "มีแป้นพิมพ์ภาษาเดียว"},  // [ours]
    {"conversion_one_layout_sub", "เพิ่มแป้นพิมพ์ภาษาที่สองเพื่อแปลงคำไปมา"},  // [ours]
    {"conversion_no_layout_types_it", "แปลงคำนี้ไม่ได้"},  // [ours]
    {"conversion_no_layout_types_it_sub", "ไม่มีแป้นพิมพ์ใดพิมพ์ตัวอักษรเหล่านี้ได้ครบ"},  // [ours]
    {"conversion_reads_the_same", "คำนี้ไม่ต้องแปลง"},  // [ours]
    {"conversion_reads_the_same_sub", "พิมพ์ด้วยแป้นอีกภาษาก็ได้คำเดิม"},  // [ours]
    {"conversion_busy", "กำลังแก้คำอยู่"},  // [ours]
    {"conversion_busy_sub", "ยังแก้คำล่าสุดไม่เสร็จ"},  // [ours]
    {"conversion_undone", "ย้อนกลับแล้ว «%@»"},  // [ours]
    {"conversion_undone_sub", "กด Ctrl+Shift+Z อีกครั้งเพื่อทำซ้ำ"},  // [ours]
    {"conversion_undone_more_sub", "กด Ctrl+Shift+Z อีกครั้งเพื่อย้อนกลับอีกขั้น"},  // [ours]
    {"conversion_no_recent_word", "ยังไม่มีคำล่าสุด"},  // [ours]
    {"conversion_no_recent_word_sub", "พิมพ์คำก่อน"},  // [ours]
    {"conversion_press_again", "กด Ctrl+Shift+A อีกครั้งเพื่อจำคำ «%@»"},  // [ours]
    {"conversion_press_again_sub", "คำนี้จะถูกเก็บไว้ตามที่พิมพ์ และจะไม่ถูกแปลงอีก"},  // [ours]
    {"conversion_already_kept", "«%@» อยู่ในคลังคำศัพท์แล้ว"},  // [ours]
    {"conversion_already_kept_sub", "ไม่ได้เพิ่มซ้ำ"},  // [ours]
    {"conversion_word_put_back", "แอปรับการแก้คำไม่ทัน จึงใส่คำเดิมคืนให้"},  // [ours]
    {"conversion_word_put_back_sub", "คำของคุณกลับมาเหมือนเดิมแล้ว"},  // [ours]
    {"conversion_field_too_slow", "แอปรับการแก้คำไม่ทัน จึงไม่แก้คำ"},  // [ours]
    {"conversion_field_too_slow_sub", "คำของคุณยังเหมือนเดิม"},  // [ours]
    {"conversion_word_may_be_gone", "คำ «%@» อาจถูกลบไปแล้ว"},  // [ours]
    {"conversion_word_may_be_gone_sub", "ถ้าคำหายไป กด Ctrl+Z ในโปรแกรมนั้นเพื่อเอาคืน"},  // [ours]
    {"inspector_title", "ตรวจสอบข้อมูลที่จะส่งจริง (JSON Payload)"},  // [ours]
    {"inspector_subtitle", "โปร่งใส 100% — ส่งเฉพาะตัวเลขผลรวมสะสม ไม่มีข้อความหรือปุ่มกดใดๆ"},  // [ours]
    {"inspector_point_no_text", "ไม่มีการบันทึกข้อความหรือปุ่มที่พิมพ์เด็ดขาด"},  // [ours]
    {"inspector_point_rotating_id", "รหัสนิรนาม (anon_id) หมุนใหม่ทุก 30 วัน ไม่ตามรอยบุคคล"},  // [ours]
    {"inspector_payload_heading", "โครงสร้าง JSON ที่ส่งออก (POST /api/telemetry/ingest):"},  // [ours]
    {"inspector_copy", "คัดลอก JSON"},  // [ours]
    {"inspector_copied", "คัดลอกแล้ว!"},  // [ours]
    {"inspector_close", "เข้าใจแล้ว ปิดหน้าต่าง"},  // [ours]
    {"uptime_title", "กระดานแดชบอร์ด"},  // [ours]
    {"uptime_subtitle", "ติดตามเวลาการใช้งาน Tessavinor"},  // [ours]
    {"uptime_session", "เซสชันนี้"},  // [ours]
    {"uptime_total", "ยอดสะสมทุกเซสชัน"},  // [ours]
};
// clang-format on

}  // namespace

std::span<const TextPair> thaiTexts() { return k; }

}  // namespace tessa::l10n
