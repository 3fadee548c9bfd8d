#pragma once
// The notices of a word conversion (Ctrl+Shift+X), its undo, and keeping a
// word as typed (Ctrl+Shift+A, or a rejected correction).
//
// [design] The system's fixed wording, shown as written in every application
// language (these texts of the HUD are not translated). Change a text only
// when the design changes, and keep the tests that pin it.

namespace tessa::conversion_texts {

// A word kept as typed: "จำคำ «" + word + "» แล้ว", and the detail.
inline constexpr const char* kKeptPrefix = "จำคำ «";
inline constexpr const char* kKeptSuffix = "» แล้ว";
inline constexpr const char* kWillNotConvertAgain = "จะไม่แปลงคำนี้อีก";
inline constexpr const char* kWillNotConvertAgainRemoveHint = "จะไม่แปลงคำนี้อีก (ลบได้ที่ ⓧ ในคลังคำศัพท์)";

// [ours] A refused or busy conversion, its undo, and the vocabulary hot
// key's steps: the keys of a title and its detail in the text tables, both
// shown in the application's language. A title with "%@" names the word (or
// the program).
struct Notice {
  const char* titleKey;
  const char* detailKey;
};
inline constexpr Notice kPasswordField{"conversion_password", "conversion_password_sub"};
inline constexpr Notice kNoAccess{"conversion_no_access", "conversion_no_access_sub"};
inline constexpr Notice kUnreadable{"conversion_unreadable", "conversion_unreadable_sub"};
// The focused program was started before the desktop's accessibility went
// on: it shares its text only once restarted. The title names it.
inline constexpr Notice kRestartProgram{"conversion_restart_program", "conversion_restart_program_sub"};
// A browser engine started without the switch that makes it share its text,
// and a program that carries no accessibility toolkit at all. Each names it.
inline constexpr Notice kRestartWithSwitch{"conversion_restart_with_switch", "conversion_restart_with_switch_sub"};
inline constexpr Notice kNeverShares{"conversion_never_shares", "conversion_never_shares_sub"};
inline constexpr Notice kScreenChanged{"conversion_screen_changed", "conversion_screen_changed_sub"};
inline constexpr Notice kNoWord{"conversion_no_word", "conversion_no_word_sub"};
inline constexpr Notice kOneLayout{"conversion_one_layout", "conversion_one_layout_sub"};
inline constexpr Notice kNoLayoutTypesIt{"conversion_no_layout_types_it", "conversion_no_layout_types_it_sub"};
inline constexpr Notice kReadsTheSame{"conversion_reads_the_same", "conversion_reads_the_same_sub"};
inline constexpr Notice kBusy{"conversion_busy", "conversion_busy_sub"};
inline constexpr Notice kUndone{"conversion_undone", "conversion_undone_sub"};
// Undone with the same word's earlier conversion now at the caret: the key
// goes on to undo that one.
inline constexpr Notice kUndoneMore{"conversion_undone", "conversion_undone_more_sub"};
inline constexpr Notice kNoRecentWord{"conversion_no_recent_word", "conversion_no_recent_word_sub"};
inline constexpr Notice kPressAgain{"conversion_press_again", "conversion_press_again_sub"};
inline constexpr Notice kAlreadyKept{"conversion_already_kept", "conversion_already_kept_sub"};
// An edit the application did not take in time, once its Deletes were
// posted: the word put back, or left as it was.
inline constexpr Notice kWordPutBack{"conversion_word_put_back", "conversion_word_put_back_sub"};
inline constexpr Notice kFieldTooSlow{"conversion_field_too_slow", "conversion_field_too_slow_sub"};
// Given up on after its Deletes, with the field not showing the word: the
// title names the word that may be gone, the detail how to get it back.
inline constexpr Notice kWordMayBeGone{"conversion_word_may_be_gone", "conversion_word_may_be_gone_sub"};

}  // namespace tessa::conversion_texts
