// English texts: every key of the table.
// Keys absent here fall back to English, then Thai, at lookup time.
//
// [design] The keys, and each English text the design quotes word for word. A
// text the design names only by its key, and a key marked [ours] on its line
// (this build's Linux notices, the tray, the quick-paste panel, the statistics
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
    {"alert_two_layouts", "Tessavinor needs at least two keyboard layouts to switch between."},  // [ours]
    {"alert_add_layout_gnome", "Add one in Settings › Keyboard › Input Sources (the + button), then start Tessavinor again."},  // [ours]
    {"alert_add_layout_kde", "Add one in System Settings › Keyboard › Layouts (Add Layout), then start Tessavinor again."},  // [ours]
    {"alert_add_layout_xfce", "Add one in Settings › Keyboard › Layout (untick \"Use system defaults\", then Add), then start Tessavinor again."},  // [ours]
    {"alert_add_layout_cinnamon", "Add one in System Settings › Keyboard › Layouts (the + button), then start Tessavinor again."},  // [ours]
    {"alert_add_layout_mate", "Add one in Control Center › Keyboard › Layouts (Add), then start Tessavinor again."},  // [ours]
    {"alert_add_layout_x11", "Add one with your desktop's keyboard settings, or run: setxkbmap -layout us,th — then start Tessavinor again."},  // [ours]
    {"alert_no_tray", "Tessavinor could not put its icon in the system tray."},  // [ours]
    {"alert_no_tray_detail", "Your desktop shows no system tray. Tessavinor keeps working without its icon."},  // [ours]
    {"update_from_package", "Tessavinor updates come with its installed package"},  // [ours]
    {"update_checking_packs", "Checking the vocabulary packs…"},  // [ours]
    {"update_packs_result", "Vocabulary packs: "},  // [ours]
    {"status_active", "Tessavinor: Active"},
    {"status_required", "Tessavinor: Access Required"},
    {"quick_paste_copied", "Copied — paste it yourself"},  // [ours]
    {"quick_paste_copied_detail", "Press Ctrl+V where you want the entry; it could not be pasted for you."},  // [ours]
    {"quick_paste_search_placeholder", "Search (text, file names, links, colour codes, snippet keyword)..."},  // [ours]
    {"quick_paste_search_accessibility", "Search clipboard history and snippets"},  // [ours]
    {"quick_paste_clear_search", "Clear search text"},  // [ours]
    {"quick_paste_share_badge", "Visible when sharing"},  // [ours]
    {"quick_paste_share_badge_tooltip", "This desktop cannot keep a window out of screen sharing or recording; close this panel before sharing your screen"},  // [ours]
    {"quick_paste_escape_hint_accessibility", "Press Escape to close the window"},  // [ours]
    {"quick_paste_no_match", "No matching data found"},  // [ours]
    {"quick_paste_empty_category_prefix", "Nothing yet in "},  // [ours]
    {"quick_paste_vault_badge", "Encrypted vault · AES-256"},  // [ours]
    {"quick_paste_key_hints", "[Space] preview · [Enter] paste · [Ctrl+O] open · [Ctrl+1-9] quick"},  // [ours]
    {"quick_paste_preview_title_prefix", "Preview: "},  // [ours]
    {"quick_paste_paste_this_entry", "Paste this entry (Enter)"},  // [ours]
    {"quick_paste_image_size_prefix", "Image size: "},  // [ours]
    {"quick_paste_file_size_infix", "  ·  File size: "},  // [ours]
    {"quick_paste_encrypted_suffix", " KB  ·  AES-256 encrypted"},  // [ours]
    {"quick_paste_total_size_prefix", "Total size: "},  // [ours]
    {"quick_paste_preview_tooltip", "Preview (Spacebar)"},  // [ours]
    {"quick_paste_pin_tooltip", "Pin"},  // [ours]
    {"quick_paste_unpin_tooltip", "Unpin"},  // [ours]
    {"quick_paste_delete_tooltip", "Delete this entry"},  // [ours]
    {"quick_paste_convert_prefix", "Convert to: "},  // [ours]
    {"quick_paste_paste_converted", " paste converted"},  // [ours]
    {"quick_paste_image_row_prefix", "🖼️ Image ("},  // [ours]
    {"quick_paste_and_more", " and "},  // [ours]
    {"quick_paste_files", " more"},  // [ours]
    {"quick_paste_item_number_prefix", "Item number "},  // [ours]
    {"history_set_aside_title", "Clipboard history set aside"},  // [ours]
    {"history_set_aside_key_missing", "The key that opens it is no longer in the keychain, so the history started empty. Nothing was deleted: the old history is kept, still sealed, at %@"},  // [ours]
    {"history_set_aside_unreadable", "The history file could not be read, so the history started empty. Nothing was deleted: the file is kept as it was at %@"},  // [ours]
    {"history_set_aside_dismiss", "OK"},  // [ours]
    {"menu_smart_correction", "Smart Auto-Correction"},
    {"menu_smart_correction_limited", "Smart Auto-Correction (Limited Mode)"},
    {"menu_haptic", "Haptic Feedback"},
    {"menu_haptic_unavailable", "Not available on this computer"},  // [ours]
    {"menu_fatigue", "Fatigue Notification"},
    {"menu_dashboard", "Open Dashboard..."},
    {"menu_quit", "Quit Tessavinor"},
    {"tab_setup", "Setup Status"},
    {"tab_dashboard", "Dashboard"},
    {"tab_settings", "Keyboard Settings"},
    {"tab_vocab", "Vocabulary"},
    {"tab_dev", "Developer"},
    {"tab_profiles", "Profiles"},
    {"tab_lang_switch", "Language Switching"},
    {"tab_about", "About"},
    {"tab_copy_cache", "Copy Cache"},
    {"settings_switcher_title", "Language Switcher Settings"},
    {"settings_switcher_key", "Switch Key"},
    {"settings_switcher_capslock", "Caps Lock Key"},
    {"settings_switcher_grave", "Grave Accent (`) Key (Windows Style)"},
    {"settings_switcher_capslock_desc", "Use the Caps Lock key to switch layouts."},
    {"settings_switcher_grave_desc", "Use Grave Accent (`) to switch layouts. Press Shift+` or Alt+` to type ` or ~."},
    {"settings_switcher_taken", "Another program (the window manager or the desktop) keeps %@ for itself, so it will not switch the language here. Choose another switcher key."},  // [ours]
    {"settings_features", "Features"},
    {"settings_smart_correction", "Smart Auto-Correction"},
    {"settings_smart_correction_full", "Full mode: fixes wrong-layout words and typos as you type"},
    {"settings_smart_correction_limited", "Limited mode: this app doesn't share its text, so only wrong-layout words are fixed"},
    {"settings_haptic", "Haptic Feedback"},
    {"settings_haptic_desc", "Vibrate on switch (1 tap Thai, 2 taps English) and on Undo (1 tap)"},
    {"settings_fatigue", "Fatigue Notification"},
    {"settings_fatigue_desc", "Suggest a short break when typos pile up within an hour"},
    {"settings_contrastive_check", "Contrastive Word Check"},
    {"settings_contrastive_check_desc", "Compare how common a word is in both languages before converting, so real words are left alone"},
    {"settings_confidence", "Show Confidence Level"},
    {"settings_confidence_desc", "Show how sure Tessavinor is (High, Medium, Low) on each correction notice"},
    // The Caps Lock mode keys (settings_mode_*, settings_btn_mac_keyboard,
    // setup_capslock_*) are shown nowhere: the program has one Caps Lock mode.
    {"settings_mode_title", "Caps Lock Switching Mode"},
    {"settings_mode_opt1", "Remap Caps Lock to F19 (Recommended)"},
    {"settings_mode_opt2", "Use macOS's built-in Caps Lock switching"},
    {"settings_mode_opt3", "Leave Caps Lock unchanged"},
    {"settings_mode_opt1_hint", "Switches instantly on every press: no lag, no missed taps."},
    {"settings_mode_opt2_hint", "macOS may ignore a quick tap, and a long press turns on capitals."},
    {"settings_btn_mac_keyboard", "Open macOS Keyboard Settings"},
    {"settings_btn_view_steps", "View Setup Steps"},
    {"settings_btn_security", "Open System Privacy/Accessibility"},
    {"settings_per_doc_title", "Per-Window Layout Compatibility"},
    {"settings_per_doc_desc", "If the language bounces back when you change windows, set your desktop's keyboard settings to use one layout for all windows."},
    {"settings_per_doc_btn", "Check macOS Setting"},
    {"setup_title", "System Setup Status"},
    {"setup_subtitle", "Verify permissions, dictionaries, and hardware mapping for flawless operation."},
    {"setup_accessibility", "1. Accessibility Permission"},
    {"setup_accessibility_desc_ok", "Permission granted. Keyboard tap is active."},
    {"setup_accessibility_desc_ok_pro", "Accessibility (AT-SPI) granted. Event tap is running."},
    {"setup_accessibility_desc_err", "Required to monitor and correct keyboard inputs."},
    {"setup_accessibility_desc_err_pro", "Grant Accessibility so the event tap can run."},
    {"setup_keys_partial_desc", "Permission granted, but another program holds the keys %@. Typed during a language switch, they arrive at once in the layout before it; every other key is held and switched."},  // [ours]
    {"setup_switcher_taken_desc", "Permission granted, but another program keeps %@ for itself, so it does not switch the language here. Choose another switcher key in the keyboard settings."},  // [ours]
    {"setup_accessibility_btn", "Grant Access"},
    {"setup_accessibility_btn_reset", "Reset Permission"},
    {"setup_accessibility_troubleshoot_link", "Enabled but not working? Repair"},
    {"setup_dictionary", "2. Dictionaries"},
    {"setup_dictionary_desc_ok", "Dictionaries are loaded. Word checks are ready."},
    {"setup_dictionary_desc_err", "Dictionary not found. Corrections may be less accurate."},
    {"setup_dictionary_recheck", "Check Again"},
    {"setup_dictionary_btn_download", "Download Dictionary"},
    {"setup_dictionary_btn_settings", "Open Keyboard Settings"},
    {"setup_dictionary_instructions_title", "How to add a dictionary"},
    {"setup_dictionary_instructions_text", "1. Click \"Download Dictionary\".\n2. Wait until the download finishes.\n3. Click \"Check Again\" to confirm."},
    {"setup_capslock", "3. Caps Lock Key"},
    {"setup_capslock_desc_opt1", "Caps Lock is remapped to F19 for instant switching."},
    {"setup_capslock_desc_opt2", "Using macOS's own Caps Lock switching."},
    {"setup_capslock_guide_btn", "Setup Guide"},
    {"setup_capslock_ok_opt1", "Caps Lock → F19 remapping is active."},
    {"setup_capslock_ok_opt2", "macOS Caps Lock switching is on."},
    {"setup_capslock_issue_title", "Caps Lock isn't set up correctly"},
    {"setup_capslock_issue_opt1_desc", "The F19 remapping isn't active, so Caps Lock may not switch languages."},
    {"setup_capslock_issue_opt2_desc", "\"Use Caps Lock to switch input sources\" is off in macOS Settings."},
    {"setup_capslock_compare_title", "Which option suits you?"},
    {"setup_capslock_opt1_pros", "Instant on every press, no lag, works with external keyboards"},
    {"setup_capslock_opt2_pros", "Built into macOS, no key remapping needed"},
    {"setup_capslock_btn_fix_system", "Fix Automatically"},
    {"setup_capslock_btn_switch_to_opt1", "Switch to F19 Remapping"},
    {"setup_capslock_btn_switch_to_opt2", "Switch to macOS Caps Lock"},
    {"setup_capslock_configuring", "Configuring…"},
    {"repair_confirm_title", "Restart Tessavinor?"},  // [ours] nothing is reset here
    {"repair_confirm_message", "Tessavinor will restart and check its Accessibility access again."},
    {"repair_confirm_action", "Restart"},  // [ours]
    {"btn_cancel", "Cancel"},
    {"sync_title", "Cloud Sync"},
    {"sync_subtitle", "Keep your vocabulary and settings the same on all your computers."},
    {"sync_status", "Status"},
    {"sync_status_connected", "Connected"},
    {"sync_status_disconnected", "Not Connected"},
    {"sync_btn_disconnect", "Disconnect"},
    {"sync_btn_disconnect_confirm", "Disconnect and stop syncing?"},
    {"sync_btn_connect", "Connect"},
    {"sync_btn_sync_now", "Sync Now"},
    {"sync_progress", "Syncing…"},
    {"sync_last", "Last synced: %@"},
    {"sync_last_never", "Never synced"},
    {"dashboard_smart_tips", "Smart Tips"},
    {"dashboard_times", "times"},
    {"dashboard_keystrokes", "keystrokes"},
    {"dashboard_from_typos", "saved from typos"},
    {"dashboard_title", "Dashboard"},
    {"dashboard_subtitle", "Track your Tessavinor usage time"},
    {"dashboard_stat_accuracy", "Accuracy"},
    {"dashboard_stat_saved", "Keystrokes Saved"},
    {"dashboard_stat_undos", "Undos"},
    {"dashboard_stat_chars", "Characters"},
    {"dashboard_stat_hours", "hr"},
    {"dashboard_stat_mins", "min"},
    {"dashboard_stat_secs", "sec"},
    {"dashboard_typo_by_app", "Typos by App"},
    {"dashboard_typo_hourly", "Typos by Hour"},
    {"dashboard_no_data", "No data yet. Start typing and your stats will show up here."},
    {"dev_title", "Developer Tools"},
    {"dev_subtitle", "Watch the engine's key events live to track down problems."},
    {"dev_live_events", "Live Events"},
    {"dev_clear_btn", "Clear"},
    {"about_check_update", "Check for Updates"},
    {"about_auto_update", "Update Automatically"},
    {"about_auto_update_desc", "Check for new versions and vocabulary packs in the background automatically."},
    {"about_developer", "Developer"},
    {"about_contact", "Contact Developer"},
    {"about_report_title", "Having a problem?"},
    {"about_report_desc", "Send the app's activity record so the developer can see what went wrong. You can read every line before sending, and nothing you typed is included."},
    {"about_report_button", "Report a Problem…"},
    {"about_github", "Website / Download"},
    {"about_privacy_title", "Privacy"},
    {"about_desc_free", "Tessavinor fixes the language-switching delay. Every time you press Caps Lock or your switch key, the switch happens instantly and reliably — no double-taps, no guessing."},
    {"about_privacy_body_free", "Everything runs locally on this computer. Nothing you type is ever sent anywhere — by default, no data leaves your device unless you choose to share anonymous usage stats."},
    {"about_feature_remap", "Reliable language switching every time"},
    {"about_feature_remap_desc", "Caps Lock switches directly — instant, no lag"},
    {"about_feature_switch_key", "Choose your own switch key"},
    {"about_feature_switch_key_desc", "Caps Lock, Grave Accent (Windows-style), or Alt, Ctrl or Super with Space"},
    {"about_feature_background", "Runs quietly in the background"},
    {"about_feature_background_desc", "No popups, no complicated setup"},
    {"about_feature_correction", "Fixes wrong-layout typing automatically"},
    {"about_feature_correction_desc", "Type Thai on the English layout (or the other way round) and it is converted when you press Space"},
    {"about_feature_dictionary", "Built-in dictionaries"},
    {"about_feature_dictionary_desc", "Thai, English and Lao word lists, checked right on this computer"},
    {"about_feature_undo", "Undo in one press"},
    {"about_feature_undo_desc", "Press Backspace right after a correction, or Ctrl+Shift+Z"},
    {"about_community_title", "Community Stats"},
    {"about_community_desc", "Shared anonymously by our community members. Updated weekly."},
    {"about_community_corrections", "Corrections community-wide"},
    {"about_community_time_saved", "Hours saved"},
    {"about_community_users", "Users sharing stats"},
    {"about_community_cta", "Join the community"},
    {"about_share_toggle", "Share Anonymous Usage Stats"},
    {"about_share_desc", "Only totals are sent: hours saved and words corrected. Never what you type."},
    {"about_share_hud_on", "Sharing enabled. Thank you for supporting our community!"},
    {"about_share_hud_off", "Sharing disabled. Your data is kept locally on this device."},
    {"about_feature_copy_cache", "Copy Cache (optional)"},
    {"about_feature_copy_cache_desc", "Recent copies kept encrypted on this computer, pasted in the right layout from the Quick Paste window"},
    {"about_feature_pinned_snippets", "Pinned snippets"},
    {"about_feature_pinned_snippets_desc", "Keep up to three pinned texts at hand and copy them in one click"},
    {"about_share_invite_title", "Anonymous Usage Statistics"},  // [ours]
    {"about_share_invite_subtitle", "Consent to transmitting anonymous usage statistics"},  // [ours]
    {"about_share_invite_privacy", "Privacy Protected: Keystrokes and text inputs are never collected or transmitted"},  // [ours]
    {"about_share_invite_aggregate", "Aggregate Data: Only statistical counts like corrections and uptime are sent"},  // [ours]
    {"about_share_invite_control", "Full Control: You can change or revoke this setting at any time"},  // [ours]
    {"about_share_invite_accept", "Share Anonymous Stats"},  // [ours]
    {"about_share_invite_decline", "Don't Share"},  // [ours]
    {"about_share_thanks_detail", "Change anytime in Settings or About view"},  // [ours]
    {"about_community_pending_headline", "✅ Thanks for joining us!"},  // [ours]
    {"about_community_pending_body", "We are gathering stats from community members...\nStats will appear when we have enough data."},  // [ours]
    {"about_community_live_confirmation", "✅ Your data is included"},  // [ours]
    {"about_community_opt_out_note", "You've stopped sharing stats."},  // [ours]
    {"about_community_share_again", "Share Stats Again"},  // [ours]
    {"about_community_stop_sharing", "Stop Sharing"},  // [ours]
    {"about_community_thanks_detail", "Turn off anytime on this page or the About view"},  // [ours]
    {"about_credits_heading", "Dictionary Sources & Open Source Licenses"},  // [ours]
    {"onboarding_level_welcome", "Welcome to Tessavinor"},
    {"onboarding_level_subtitle", "Please select your preferred copywriting style:"},
    {"onboarding_level_layman_title", "General User (Easy to understand)"},
    {"onboarding_level_layman_desc", "Clear explanations without complex technical jargon"},
    {"onboarding_level_pro_title", "Developer (Pro Technical Terms)"},
    {"onboarding_level_pro_desc", "In-depth details including API, Event Tap, and Secure Input"},
    {"onboarding_level_note", "You can change this setting at any time in Settings."},
    {"onboarding_btn_get_started", "Start Using Tessavinor"},
    {"onboarding_perm_granted", "Accessibility permission granted"},
    {"onboarding_btn_continue", "Continue"},
    {"onboarding_sandbox_ready_title", "🎉 You're All Set! Shortcuts & Sandbox"},
    {"onboarding_sandbox_ready_subtitle", "Learn essential shortcuts and test real-time typing below"},
    {"onboarding_tagline", "Fast, 100% accurate language switching on your computer"},
    {"onboarding_demo_source", "้ำสสน"},
    {"onboarding_demo_target", "hello"},
    {"onboarding_why_title", "Why Accessibility is Needed"},
    {"onboarding_why_1", "Enable zero-lag language switching with Caps Lock key"},
    {"onboarding_why_2", "Power intelligent auto-correction for seamless typing"},
    {"onboarding_not_title", "Privacy & Security Guarantees"},
    {"onboarding_not_1", "Never records or stores your typing history"},
    {"onboarding_not_2", "100% On-Device & Offline — your keystrokes never leave this computer"},
    {"onboarding_not_3", "Pauses in password fields (🔒 yellow lock icon appears on the tray icon)"},
    {"onboarding_not_4", "Strict Permission Scope: Never requests any permission beyond Accessibility"},
    {"onboarding_not_5", "Optional Copy Cache: off until you turn it on, and kept encrypted on this computer"},
    {"onboarding_btn_grant", "Grant Access"},
    {"onboarding_btn_skip", "Skip for now"},
    {"onboarding_revoke_note", "You can revoke this permission anytime in your desktop's accessibility settings"},
    {"onboarding_switcher_title", "Choose Language Switcher Key"},
    {"onboarding_switcher_subtitle", "Select how you want to manually toggle typing languages:"},
    {"onboarding_switcher_caps", "Caps Lock Key"},
    {"onboarding_switcher_caps_desc", "Use Caps Lock key to switch languages instantly without delay."},
    {"onboarding_switcher_option", "Option + Space"},
    {"onboarding_switcher_option_desc", "Hold Option and tap Space to switch; Caps Lock keeps its usual job."},
    {"onboarding_switcher_fn", "Fn (🌐 Globe) Key"},
    {"onboarding_switcher_fn_desc", "Press the Fn / Globe key to switch, like the macOS default on newer keyboards."},
    {"onboarding_hotkey_title", "Essential Shortcuts Cheat Sheet"},
    {"onboarding_hotkey_cycle_word", "Cycle Word Language"},
    {"onboarding_hotkey_undo", "Undo Auto-Correction"},
    {"onboarding_hotkey_case", "Accept Proactive Suggestion"},
    {"onboarding_hotkey_paragraph", "Add new vocabulary to learn"},
    {"onboarding_hotkey_copy_cache", "Quick Paste & Layout Translation (Opt-In)"},
    {"onboarding_hotkey_pinned_snippets", "Pinned Snippets, Copied in One Click (Opt-In)"},
    {"onboarding_hotkey_instant_undo", "Press Backspace right after correction to Undo instantly."},
    {"onboarding_copycache_title", "Copy Cache (Optional)"},
    {"onboarding_copycache_subtitle", "Keep recent copies at hand and paste them in the right layout"},
    {"onboarding_copycache_point1", "Encrypted in a folder only you can open on this computer: unpinned items go after 24 hours or when it sleeps"},
    {"onboarding_copycache_point2", "Passwords from password managers are filtered out automatically"},
    {"onboarding_copycache_point3", "Open the Quick Paste window from the Copy Cache page, or bind tessavinor --action openQuickPaste to a desktop shortcut"},
    {"onboarding_copycache_btn_enable", "Enable Copy Cache"},
    {"onboarding_copycache_btn_skip", "Not Now"},
    {"onboarding_copycache_note", "You can turn Copy Cache on or off at any time in Settings."},
    {"onboarding_sandbox_prompt", "💡 Try typing these words in the box and press Space:"},
    {"onboarding_sandbox_placeholder", "Try typing wrong-language words here..."},
    {"onboarding_sandbox_ex1_raw", "l;ylfu"},
    {"onboarding_sandbox_ex1_target", "สวัสดี"},
    {"onboarding_sandbox_ex2_raw", "้ำสสน"},
    {"onboarding_sandbox_ex2_target", "hello"},
    {"onboarding_sandbox_ex3_raw", "wfh"},
    {"onboarding_sandbox_ex3_target", "ได้"},
    {"onboarding_startup_title", "Launch at Login"},
    {"onboarding_startup_subtitle", "Would you like Tessavinor to start automatically upon system login?"},
    {"onboarding_startup_desc", "Tessavinor operates as a background typing assistance utility. Enabling automatic startup ensures immediate assistance upon computer startup without manual intervention."},
    {"onboarding_startup_btn_enable", "Enable Auto-Start (Recommended)"},
    {"onboarding_startup_btn_skip", "Do Not Enable"},
    {"onboarding_startup_note", "This configuration can be modified at any time in Settings."},
    {"onboarding_telemetry_title", "Community Time Restored"},
    {"onboarding_telemetry_subtitle", "Contribute anonymous typing stats to celebrate total hours returned to Thai typists"},
    {"onboarding_telemetry_point1", "Absolute Privacy Protection: Keystrokes, text input, and sensitive content are never collected or transmitted under any circumstances."},
    {"onboarding_telemetry_point2", "Pure Numerical Totals: Only quantitative counters (word corrections and active hours) are sent to power the community dashboard."},
    {"onboarding_telemetry_point3", "Total User Autonomy: You can toggle or revoke sharing at any time via Settings."},
    {"onboarding_telemetry_btn_agree", "Contribute to Community Stats"},
    {"onboarding_telemetry_btn_decline", "Don't Share"},
    {"onboarding_telemetry_btn_inspect", "🔍 Inspect Actual Outgoing Data (JSON)"},
    {"onboarding_telemetry_note", "You can change your data sharing preferences at any time in Settings."},
    {"nudge_celebration_title", "Milestone Reached! 🎉"},
    {"nudge_celebration_subtitle", "You have saved %@ mins of typing time (%d words corrected). Would you like to contribute these numbers to the community dashboard?"},
    {"nudge_btn_join", "Contribute Time Restored"},
    {"nudge_btn_remind", "Remind me at 200 words"},
    {"nudge_btn_decline", "Don't share stats"},
    {"nudge_inspect_link", "Inspect exact JSON payload"},
    {"tier_1_title", "Beginner"},
    {"tier_2_title", "Apprentice Typist"},
    {"tier_3_title", "Steady Typist"},
    {"tier_4_title", "Swift Typist"},
    {"tier_5_title", "Keyboard Expert"},
    {"tier_6_title", "Keyboard Master"},
    {"tier_7_title", "Keyboard Legend"},
    {"badge_thaitea", "Thai Tea"},
    {"badge_mekkhala", "Mekkhala"},
    {"badge_ramasoon", "Ramasoon"},
    {"badge_sriprat", "Sri Prat"},
    {"badge_lotus", "Lotus"},
    {"equiv_title", "The time you got back equals…"},
    {"equiv_tea", "%d cups of Thai tea"},
    {"equiv_songs", "%d songs to listen to"},
    {"equiv_distance", "A %@ km walk"},
    {"equiv_keystrokes", "%d keystrokes you didn't have to press"},
    {"weekly_rings_title", "Weekly Rings"},
    {"weekly_ring_time", "Time"},
    {"weekly_ring_acc", "Accuracy"},
    {"weekly_ring_streak", "Streak"},
    {"weekly_rings_goal_time", "Goal: %d hours of typing"},
    {"weekly_rings_goal_acc", "Goal: %d%% accuracy"},
    {"weekly_rings_goal_streak", "Goal: %d active days"},
    {"streak_flame_title", "Daily Streak"},
    {"streak_flame_days", "%d days in a row"},
    {"streak_shield_active", "Weekend shield on: a weekend off won't break your streak"},
    {"prestige_title", "Prestige"},
    {"prestige_desc", "You've reached the top tier. Start again from tier 1 and earn a prestige star."},
    {"prestige_btn_reincarnate", "Reincarnate"},
    {"prestige_hud_title", "Prestige ★%d reached!"},
    {"legend_title", "Menu Bar Icons"},
    {"legend_title_pro", "Status Item States"},
    {"legend_kb_white", "Ready: looking after your typing"},
    {"legend_kb_white_pro", "Event tap running, all checks passed"},
    {"legend_kb_gray", "Limited mode: this app doesn't share its text"},
    {"legend_kb_gray_pro", "No AX text in the focused app (keystroke-only mode)"},
    {"legend_logo_badge", "Logo badge: Tessavinor has something to tell you"},
    {"legend_logo_badge_pro", "Logo overlay on the status icon: a notice is pending"},
    {"legend_lock", "Password field: typing help is paused"},
    {"legend_lock_pro", "Secure Input on: no key events reach the tap"},
    {"legend_pause", "Paused: choose Resume in the menu to continue"},
    {"legend_warning", "Accessibility permission lost: click to grant it again"},
    {"legend_warning_pro", "AXIsProcessTrusted is false: the event tap cannot be created"},
    {"legend_bolt", "Keys aren't getting through: recovering automatically"},
    {"legend_bolt_pro", "Event tap disabled by the system: re-enabling"},
    {"legend_bar_green", "Green bar: Caps Lock is on"},
    {"legend_bar_orange", "Orange bar: the last correction was undone and the word is left as typed"},
    {"hud_per_doc_title", "Language switched back by itself?"},
    {"hud_per_doc_title_pro", "Per-document input source detected"},
    {"hud_per_doc_sub", "The desktop went back to this window's layout. Set your desktop's keyboard settings to use one layout for all windows."},
    {"hud_per_doc_sub_pro", "The desktop's per-window layout setting reverted the switch."},
    {"hud_per_doc_action", "Open Settings"},
    {"hud_per_doc_action_pro", "Open Keyboard > Input Sources"},
    {"hud_f19_store_failed_title", "The switch shortcut could not be saved"},  // [ours]
    {"hud_f19_store_failed_sub", "%@ cannot be written: each switch selects the layout directly, about 0.2 s slower"},  // [ours]
    {"hud_tap_recovered", "Ready"},
    {"hud_tap_outage", "Paused for %d seconds"},
    {"hud_tap_auto_recovered", "Auto-recovered · next time you'll need to restart manually"},
    {"hud_tap_stale_recovered", "Detected a temporary stall and auto-recovered"},
    {"hud_vocab_not_saved", "Could not save «%@» to your vocabulary"},  // [ours]
    {"confidence_high", "High"},
    {"confidence_medium", "Medium"},
    {"confidence_low", "Low"},
    {"habit_badge", "Personal"},
    {"habit_learned", "Learned «%@ → %@»"},
    {"habit_learned_sub", "Will auto-correct · Cancel with Ctrl+Shift+Z or Vocabulary ⓧ"},
    {"habit_cancel", "Ctrl+Shift+Z Cancel"},
    {"fatfinger_badge", "Adjacent Key"},
    {"fatfinger_sub", "From «%@» (%@)"},
    {"tray_tooltip_ax_lost", "⚠️ Accessibility permission lost — click to restore it"},  // [ours]
    {"tray_tooltip_torn_down", "🛡 Stopped to keep the computer from freezing — click to restart"},  // [ours]
    {"tray_tooltip_tap_dead", "⚡̶ Not receiving keys — recovering automatically"},  // [ours]
    {"tray_tooltip_ax_unavailable", "⚠️ No keyboard access: %@"},  // [ours]
    {"tray_tooltip_no_keys", "⚡̶ No keys from this desktop: %@"},  // [ours]
    {"tray_tooltip_keys_partial", "⚠️ Another program holds the keys %@: typed during a language switch, they arrive at once in the layout before it"},  // [ours]
    {"tray_tooltip_switcher_taken", "⚠️ Another program keeps %@ for itself: it does not switch the language here — choose another switcher key"},  // [ours]
    {"tray_tooltip_version", "Tessavinor v%@ (Remapper) - for external keyboards"},  // [ours]
    {"tray_restart_tap", "🛡 Restart Correction (stopped to keep the computer from freezing)"},  // [ours]
    {"tray_resume", "▶️ Resume"},  // [ours]
    {"tray_pause_hour", "⏸ Pause for 1 Hour"},  // [ours]
    {"tray_pause_day", "⏸ Pause Until Tomorrow"},  // [ours]
    {"tray_replay_onboarding", "Show the Getting Started Guide Again"},  // [ours]
    {"tray_check_updates", "Check for Updates..."},  // [ours]
    {"tray_haptic_enabled", "Enabled"},  // [ours]
    {"tray_haptic_light", "Light"},  // [ours]
    {"tray_haptic_medium", "Medium"},  // [ours]
    {"tray_haptic_strong", "Strong"},  // [ours]
    {"a11y_no_session_bus", "There is no D-Bus session bus, so the desktop's accessibility switch cannot be reached. Start Tessavinor from your desktop session (or run it under dbus-run-session)."},  // [ours]
    {"a11y_no_bus", "The desktop's accessibility bus does not answer. Install at-spi2-core (sudo apt install at-spi2-core), then log out and back in."},  // [ours]
    {"a11y_switch_refused", "The desktop would not turn accessibility on. Run: gsettings set org.gnome.desktop.interface toolkit-accessibility true"},  // [ours]
    // [ours] The desktop's accessibility, turned on by the user's consent;
    // programs open before it went on; the conversion notices.
    {"a11y_switch_off", "The desktop's accessibility is off, so Tessavinor cannot hold the keys typed during a language switch or read the word to convert. Grant Access turns it on."},  // [ours]
    {"a11y_consent_title", "Turn on the desktop's accessibility?"},  // [ours]
    {"a11y_consent_message", "Tessavinor reads the word you convert through the desktop's accessibility service. Turning it on lets the programs on this desktop share their text with assistive tools, Tessavinor and screen readers among them. You can turn it off again in your desktop's accessibility settings."},  // [ours]
    {"a11y_consent_restart", "Some programs that are already open may need a restart before their text can be read. Tessavinor will name any that does."},  // [ours]
    {"a11y_consent_confirm", "Turn On"},  // [ours]
    {"a11y_restart_program", "%@ was already open when accessibility went on, so its text cannot be read yet: restart it once to convert words there."},  // [ours]
    {"a11y_restart_with_switch", "%@ shares its text only when started with --force-renderer-accessibility. To convert words there, quit it and start it again with that switch added to its command."},  // [ours]
    {"conversion_restart_program", "Restart %@ once"},  // [ours]
    {"conversion_restart_program_sub", "It was open before accessibility went on, so its text cannot be read yet - nothing was changed"},  // [ours]
    {"conversion_restart_with_switch", "Restart %@ with --force-renderer-accessibility"},  // [ours]
    {"conversion_restart_with_switch_sub", "It shares its text only when started with this switch - nothing was changed"},  // [ours]
    {"conversion_never_shares", "%@ does not share its text"},  // [ours]
    {"conversion_never_shares_sub", "It has no accessibility support, even after a restart - nothing was changed"},  // [ours]
    {"conversion_password", "Password field - not converted"},  // [ours]
    {"conversion_password_sub", "Password fields are never changed"},  // [ours]
    {"conversion_no_access", "Accessibility is not on"},  // [ours]
    {"conversion_no_access_sub", "Turn it on with Grant Access on Tessavinor's setup page"},  // [ours]
    {"conversion_unreadable", "The text here cannot be read"},  // [ours]
    {"conversion_unreadable_sub", "This app does not share its text - nothing was changed"},  // [ours]
    {"conversion_screen_changed", "The text on screen changed"},  // [ours]
    {"conversion_screen_changed_sub", "The text changed on screen - nothing more was changed"},  // [ours]
    {"conversion_no_word", "No word to convert"},  // [ours]
    {"conversion_no_word_sub", "Place the caret right after a word"},  // [ours]
    {"conversion_one_layout", "Only one keyboard layout"},  // [ours]
    {"conversion_one_layout_sub", "Add a second keyboard layout to convert between"},  // [ours]
    {"conversion_no_layout_types_it", "This word cannot be converted"},  // [ours]
    {"conversion_no_layout_types_it_sub", "No keyboard layout types all of these characters"},  // [ours]
    {"conversion_reads_the_same", "Nothing to convert"},  // [ours]
    {"conversion_reads_the_same_sub", "It reads the same in the other layout"},  // [ours]
    {"conversion_busy", "Still converting"},  // [ours]
    {"conversion_busy_sub", "Still working on the last word"},  // [ours]
    {"conversion_undone", "Undone «%@»"},  // [ours]
    {"conversion_undone_sub", "Ctrl+Shift+Z again to redo"},  // [ours]
    {"conversion_undone_more_sub", "Ctrl+Shift+Z again to undo the conversion before it"},  // [ours]
    {"conversion_no_recent_word", "No recent word yet"},  // [ours]
    {"conversion_no_recent_word_sub", "Type a word first"},  // [ours]
    {"conversion_press_again", "Press Ctrl+Shift+A again to keep «%@»"},  // [ours]
    {"conversion_press_again_sub", "It will be kept as typed and not converted again"},  // [ours]
    {"conversion_already_kept", "«%@» is already in your vocabulary"},  // [ours]
    {"conversion_already_kept_sub", "Nothing was added"},  // [ours]
    {"conversion_word_put_back", "The app did not take the change in time"},  // [ours]
    {"conversion_word_put_back_sub", "Your word was put back"},  // [ours]
    {"conversion_field_too_slow", "The app did not take the change in time"},  // [ours]
    {"conversion_field_too_slow_sub", "Your word is as it was"},  // [ours]
    {"conversion_word_may_be_gone", "The word «%@» may have been deleted"},  // [ours]
    {"conversion_word_may_be_gone_sub", "If it is gone, press Ctrl+Z in the program to get it back"},  // [ours]
    {"inspector_title", "Inspect Actual Outgoing Payload (JSON)"},  // [ours]
    {"inspector_subtitle", "100% Transparent — Only aggregated counters. Never keystrokes or text."},  // [ours]
    {"inspector_point_no_text", "Zero text or keystrokes collected"},  // [ours]
    {"inspector_point_rotating_id", "Rotating anonymous UUID every 30 days"},  // [ours]
    {"inspector_payload_heading", "JSON Payload Structure (POST /api/telemetry/ingest):"},  // [ours]
    {"inspector_copy", "Copy JSON"},  // [ours]
    {"inspector_copied", "Copied!"},  // [ours]
    {"inspector_close", "Got it, Close"},  // [ours]
    {"uptime_title", "Dashboard"},  // [ours]
    {"uptime_subtitle", "Track your Tessavinor usage time"},  // [ours]
    {"uptime_session", "This Session"},  // [ours]
    {"uptime_total", "All-time Total"},  // [ours]
};
// clang-format on

}  // namespace

std::span<const TextPair> englishTexts() { return k; }

}  // namespace tessa::l10n
