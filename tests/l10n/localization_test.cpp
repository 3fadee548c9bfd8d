#include "l10n/localization.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "l10n/localized_texts.h"

namespace tessa {
namespace {

using l10n::TextPair;

struct LanguageList {
  std::string code;
  std::span<const TextPair> pairs;
};

std::vector<LanguageList> allLists() {
  return {{"en", l10n::englishTexts()},  {"th", l10n::thaiTexts()},       {"zh", l10n::chineseTexts()},
          {"ja", l10n::japaneseTexts()}, {"vi", l10n::vietnameseTexts()}, {"lo", l10n::laoTexts()}};
}

std::vector<std::string> keysOf(std::span<const TextPair> pairs) {
  std::vector<std::string> keys;
  for (const auto& p : pairs) keys.emplace_back(p.key);
  return keys;
}

std::set<std::string> keySet(std::span<const TextPair> pairs) {
  auto keys = keysOf(pairs);
  return {keys.begin(), keys.end()};
}

bool startsWith(const std::string& s, std::string_view prefix) { return std::string_view(s).starts_with(prefix); }
bool endsWith(const std::string& s, std::string_view suffix) { return std::string_view(s).ends_with(suffix); }

// The "%@" / "%d" placeholders of a text in order; "%%" is a literal percent.
std::vector<std::string> placeholders(std::string_view text) {
  std::vector<std::string> out;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (text[i + 1] == '%') {
      ++i;
    } else if (text[i + 1] == '@' || text[i + 1] == 'd') {
      out.emplace_back(text.substr(i, 2));
      ++i;
    }
  }
  return out;
}

// ---------------------------------------------------------------- key sets

TEST(LocalizedTextsTest, EnglishAndThaiAreTheCompleteTables) {
  // English and Thai carry every text; the other languages fewer, and a key
  // they lack falls back.
  const auto& table = LocalizedTable::shared();
  const auto english = keySet(l10n::englishTexts());
  EXPECT_GE(english.size(), 300u);
  for (const auto& list : allLists()) {
    EXPECT_EQ(table.count(list.code), list.pairs.size()) << list.code;
    EXPECT_LE(list.pairs.size(), english.size()) << list.code;
  }
  EXPECT_EQ(table.count("th"), english.size());
  EXPECT_EQ(table.count("fr"), 0u);
  EXPECT_EQ(table.count(""), 0u);
}

TEST(LocalizedTextsTest, NoListRepeatsAKeyAndKeysAndTextsAreWellFormed) {
  for (const auto& list : allLists()) {
    std::set<std::string> seen;
    for (const auto& p : list.pairs) {
      const std::string key(p.key);
      EXPECT_TRUE(seen.insert(key).second) << list.code << " repeats " << key;
      // Lower-case words joined by underscores.
      EXPECT_FALSE(key.empty());
      EXPECT_NE(key.front(), '_') << key;
      EXPECT_NE(key.back(), '_') << key;
      EXPECT_EQ(key.find("__"), std::string::npos) << key;
      EXPECT_TRUE(std::all_of(key.begin(), key.end(),
                              [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; }))
          << key;
      EXPECT_FALSE(p.text.empty()) << list.code << " " << key;
    }
  }
}

TEST(LocalizedTextsTest, EachGroupOfKeysStandsTogetherInTheEnglishList) {
  // Keys are grouped by their first word; a group split in two is a key
  // added in the wrong place, which makes the tables hard to review.
  std::vector<std::string> order;
  for (const auto& key : keysOf(l10n::englishTexts())) {
    const std::string group = key.substr(0, key.find('_'));
    if (order.empty() || order.back() != group) order.push_back(group);
  }
  std::set<std::string> distinct(order.begin(), order.end());
  EXPECT_EQ(distinct.size(), order.size());
  EXPECT_EQ(keySet(l10n::englishTexts()).count("setup_accessibility_troubleshoot_link"), 1u);
  EXPECT_EQ(keySet(l10n::englishTexts()).count("legend_menu_guide"), 0u);
}

TEST(LocalizedTextsTest, EnglishAndThaiHoldTheSameKeysInTheSameOrder) {
  EXPECT_EQ(keysOf(l10n::englishTexts()), keysOf(l10n::thaiTexts()));
}

TEST(LocalizedTextsTest, ChineseAndJapaneseHoldTheScreenSetDerivedFromTheEnglishList) {
  const std::set<std::string> whole = {"confidence", "dashboard", "dev", "fatfinger", "habit", "menu", "status", "sync"};
  const std::set<std::string> excluded = {
      "settings_contrastive_check",      "settings_contrastive_check_desc", "settings_confidence",
      "settings_confidence_desc",        "settings_per_doc_title",          "settings_per_doc_desc",
      "settings_per_doc_btn",            "setup_accessibility_desc_ok_pro", "setup_accessibility_desc_err_pro",
      "setup_accessibility_btn_reset",   "setup_accessibility_troubleshoot_link",
      "tab_profiles",                    "tab_about",                       "tab_copy_cache"};
  std::set<std::string> expected;
  for (const auto& key : keysOf(l10n::englishTexts())) {
    const std::string group = key.substr(0, key.find('_'));
    const bool partial = group == "settings" || group == "setup" || group == "tab";
    if (whole.count(group) || startsWith(key, "hud_tap_") || (partial && !excluded.count(key))) expected.insert(key);
  }
  EXPECT_EQ(expected.size(), 116u);
  EXPECT_EQ(keySet(l10n::chineseTexts()), expected);
  EXPECT_EQ(keysOf(l10n::chineseTexts()), keysOf(l10n::japaneseTexts()));
}

TEST(LocalizedTextsTest, VietnameseAddsTheLegendKeysAndTheMenuGuide) {
  std::set<std::string> expected = keySet(l10n::chineseTexts());
  size_t legend = 0;
  for (const auto& key : keysOf(l10n::englishTexts())) {
    if (startsWith(key, "legend_")) {
      expected.insert(key);
      ++legend;
    }
  }
  EXPECT_EQ(legend, 17u);
  expected.insert("legend_menu_guide");
  EXPECT_EQ(keySet(l10n::vietnameseTexts()), expected);
}

TEST(LocalizedTextsTest, LaoHoldsExactlyItsListedKeys) {
  std::set<std::string> expected = {
      "status_active", "status_required", "tab_setup", "tab_dashboard", "tab_settings", "tab_vocab", "tab_dev",
      "tab_lang_switch", "onboarding_level_welcome", "onboarding_level_subtitle", "onboarding_level_layman_title",
      "onboarding_level_layman_desc", "onboarding_level_pro_title", "onboarding_level_pro_desc",
      "onboarding_level_note", "onboarding_btn_get_started", "onboarding_perm_granted", "onboarding_btn_continue",
      "onboarding_sandbox_ready_title", "onboarding_sandbox_ready_subtitle", "onboarding_sandbox_prompt",
      "onboarding_sandbox_placeholder", "onboarding_sandbox_ex1_raw", "onboarding_sandbox_ex1_target",
      "onboarding_sandbox_ex2_raw", "onboarding_sandbox_ex2_target", "onboarding_sandbox_ex3_raw",
      "onboarding_sandbox_ex3_target", "setup_accessibility", "setup_accessibility_desc_ok",
      "setup_accessibility_desc_err", "setup_accessibility_btn"};
  for (const auto& key : keysOf(l10n::vietnameseTexts())) {
    if (startsWith(key, "legend_") || startsWith(key, "menu_") || startsWith(key, "hud_tap_") ||
        startsWith(key, "confidence_") || startsWith(key, "habit_") || startsWith(key, "fatfinger_")) {
      expected.insert(key);
    }
  }
  EXPECT_EQ(expected.size(), 70u);
  EXPECT_EQ(keySet(l10n::laoTexts()), expected);
}

TEST(LocalizedTextsTest, EveryListKeepsTheEnglishRelativeOrder) {
  std::map<std::string, size_t> position;
  const auto english = keysOf(l10n::englishTexts());
  for (size_t i = 0; i < english.size(); ++i) position[english[i]] = i;
  for (const auto& list : allLists()) {
    size_t last = 0;
    for (const auto& key : keysOf(list.pairs)) {
      if (key == "legend_menu_guide") continue;  // only in Vietnamese and Lao
      ASSERT_TRUE(position.count(key)) << list.code << " has a key English lacks: " << key;
      EXPECT_GE(position[key], last) << list.code << " out of order at " << key;
      last = position[key];
    }
  }
}

TEST(LocalizedTextsTest, EveryProVariantHasItsPlainKey) {
  const std::map<std::string, size_t> proCounts = {{"en", 12}, {"th", 12}, {"zh", 0}, {"ja", 0}, {"vi", 7}, {"lo", 7}};
  for (const auto& list : allLists()) {
    const auto keys = keySet(list.pairs);
    size_t pro = 0;
    for (const auto& key : keys) {
      if (!endsWith(key, "_pro")) continue;
      ++pro;
      EXPECT_TRUE(keys.count(key.substr(0, key.size() - 4))) << list.code << " " << key;
    }
    EXPECT_EQ(pro, proCounts.at(list.code)) << list.code;
  }
}

TEST(LocalizedTextsTest, PlaceholdersAgreeAcrossLanguagesForEachKey) {
  // Callers fill placeholders by position, so every translation keeps the
  // English sequence (the one key English lacks is compared between
  // Vietnamese and Lao).
  std::map<std::string, std::pair<std::string, std::vector<std::string>>> reference;
  for (const auto& list : allLists()) {
    for (const auto& p : list.pairs) {
      const auto found = placeholders(p.text);
      auto [it, inserted] = reference.try_emplace(std::string(p.key), list.code, found);
      if (!inserted) {
        EXPECT_EQ(found, it->second.second)
            << p.key << ": " << list.code << " differs from " << it->second.first;
      }
    }
  }
  EXPECT_EQ(reference.at("hud_tap_outage").second, std::vector<std::string>{"%d"});
  EXPECT_EQ(reference.at("habit_learned").second, (std::vector<std::string>{"%@", "%@"}));
  EXPECT_EQ(reference.at("nudge_celebration_subtitle").second, (std::vector<std::string>{"%@", "%d"}));
}

// ---------------------------------------------------------------- lookup

TEST(LocalizedTableTest, TellingRowsHoldTheirEnglishAndThaiTexts) {
  struct Row {
    const char* key;
    const char* en;
    const char* th;
  };
  const Row rows[] = {
      {"status_active", "Tessavinor: Active", "Tessavinor: ทำงานอยู่"},
      {"status_required", "Tessavinor: Access Required", "Tessavinor: ต้องการสิทธิ์การเข้าถึง"},
      {"menu_smart_correction", "Smart Auto-Correction", "แก้ไขคำพิมพ์ผิดอัตโนมัติ (Smart Auto-Correction)"},
      {"menu_smart_correction_limited", "Smart Auto-Correction (Limited Mode)", "แก้ไขคำพิมพ์ผิดอัตโนมัติ (โหมดจำกัด)"},
      {"menu_haptic", "Haptic Feedback", "ระบบสั่นตอบรับ (Haptic Feedback)"},
      {"menu_fatigue", "Fatigue Notification", "การแจ้งเตือนพักสายตา (Fatigue Notification)"},
      {"menu_dashboard", "Open Dashboard...", "เปิดแดชบอร์ด..."},
      {"menu_quit", "Quit Tessavinor", "ออกจาก Tessavinor"},
      {"hud_tap_recovered", "Ready", "พร้อมดูแลแล้ว"},
      {"hud_tap_outage", "Paused for %d seconds", "หยุดไป %d วินาที"},
      {"hud_tap_auto_recovered", "Auto-recovered · next time you'll need to restart manually",
       "กู้คืนอัตโนมัติ · ครั้งถัดไปในรอบนี้จะให้กดเอง"},
      {"hud_tap_stale_recovered", "Detected a temporary stall and auto-recovered",
       "ตรวจพบสถานะค้างชั่วคราวและกู้คืนให้อัตโนมัติ"},
      {"habit_learned", "Learned «%@ → %@»", "เรียนรู้ «%@ → %@»"},
      {"habit_learned_sub", "Will auto-correct · Cancel with Ctrl+Shift+Z or Vocabulary ⓧ",
       "จะแก้อัตโนมัติ · ยกเลิกกด Ctrl+Shift+Z หรือคลังคำศัพท์ ⓧ"},
      {"habit_cancel", "Ctrl+Shift+Z Cancel", "Ctrl+Shift+Z ยกเลิก"},
      {"habit_badge", "Personal", "จำส่วนตัว"},
      {"fatfinger_badge", "Adjacent Key", "ปุ่มใกล้เคียง"},
      {"fatfinger_sub", "From «%@» (%@)", "แก้จาก «%@» (%@)"},
      {"confidence_high", "High", "มั่นใจสูง"},
      {"confidence_medium", "Medium", "มั่นใจกลาง"},
      {"confidence_low", "Low", "มั่นใจต่ำ"},
      {"setup_accessibility_desc_ok", "Permission granted. Keyboard tap is active.",
       "อนุญาตเรียบร้อยแล้ว แอปทำงานได้สมบูรณ์"},
      {"setup_accessibility_desc_ok_pro", "Accessibility (AT-SPI) granted. Event tap is running.",
       "ได้รับสิทธิ์ Accessibility (AT-SPI) แล้ว Event Tap ทำงานได้"},
      // Screens that quote their own texts.
      {"tab_about", "About", "เกี่ยวกับแอป"},
      {"settings_switcher_capslock", "Caps Lock Key", "ปุ่ม Caps Lock"},
      {"repair_confirm_action", "Restart", "เริ่มใหม่"},
      {"onboarding_btn_get_started", "Start Using Tessavinor", "เริ่มใช้งาน Tessavinor"},
  };
  const auto& table = LocalizedTable::shared();
  for (const auto& row : rows) {
    const auto* en = table.find("en", row.key);
    const auto* th = table.find("th", row.key);
    ASSERT_NE(en, nullptr) << row.key;
    ASSERT_NE(th, nullptr) << row.key;
    EXPECT_EQ(*en, row.en) << row.key;
    EXPECT_EQ(*th, row.th) << row.key;
  }
}

TEST(LocalizedTableTest, FindAnswersNullForAMissingLanguageOrKey) {
  const auto& table = LocalizedTable::shared();
  EXPECT_EQ(table.find("fr", "menu_quit"), nullptr);
  EXPECT_EQ(table.find("lo", "tab_about"), nullptr);
  EXPECT_EQ(table.find("en", "no_such_key"), nullptr);
  ASSERT_NE(table.find("lo", "menu_quit"), nullptr);
  EXPECT_EQ(*table.find("lo", "menu_quit"), "ອອກຈາກ Tessavinor");
  // The same pointer every time: the table never changes after it is built.
  EXPECT_EQ(table.find("th", "menu_quit"), LocalizedTable::shared().find("th", "menu_quit"));
}

TEST(LocalizedTableTest, PlainLookupUsesTheLanguageThenEnglishThenThai) {
  const auto& table = LocalizedTable::shared();
  EXPECT_EQ(table.localized("menu_quit", "th", false), "ออกจาก Tessavinor");
  EXPECT_EQ(table.localized("menu_quit", "zh", false), "退出 Tessavinor");
  // Lao has no "tab_about": English, not Thai, answers.
  EXPECT_EQ(table.localized("tab_about", "lo", false), "About");
  EXPECT_EQ(table.localized("tab_about", "ja", false), "About");
  // A code without a table is skipped.
  EXPECT_EQ(table.localized("menu_quit", "fr", false), "Quit Tessavinor");
  EXPECT_EQ(table.localized("menu_quit", "", false), "Quit Tessavinor");
  // Nothing holds the key: the key itself.
  EXPECT_EQ(table.localized("no_such_key", "th", false), "no_such_key");
  EXPECT_EQ(table.localized("no_such_key", "en", true), "no_such_key");
}

TEST(LocalizedTableTest, LegendMenuGuideExistsOnlyInVietnameseAndLao) {
  const auto& table = LocalizedTable::shared();
  EXPECT_EQ(table.localized("legend_menu_guide", "en", false), "legend_menu_guide");
  EXPECT_EQ(table.localized("legend_menu_guide", "th", false), "legend_menu_guide");
  EXPECT_EQ(table.localized("legend_menu_guide", "zh", false), "legend_menu_guide");
  EXPECT_EQ(table.localized("legend_menu_guide", "vi", false), *table.find("vi", "legend_menu_guide"));
  EXPECT_EQ(table.localized("legend_menu_guide", "lo", false), *table.find("lo", "legend_menu_guide"));
  EXPECT_NE(table.localized("legend_menu_guide", "vi", false), "legend_menu_guide");
  EXPECT_NE(table.localized("legend_menu_guide", "lo", false), "legend_menu_guide");
}

TEST(LocalizedTableTest, ProVariantIsSearchedInTheCurrentLanguageOnly) {
  const auto& table = LocalizedTable::shared();
  EXPECT_EQ(table.localized("setup_accessibility_desc_ok", "en", true),
            "Accessibility (AT-SPI) granted. Event tap is running.");
  EXPECT_EQ(table.localized("setup_accessibility_desc_ok", "th", true),
            "ได้รับสิทธิ์ Accessibility (AT-SPI) แล้ว Event Tap ทำงานได้");
  EXPECT_EQ(table.localized("setup_accessibility_desc_ok", "en", false),
            "Permission granted. Keyboard tap is active.");
  // Chinese has the plain text but no variant: its plain text, not English's variant.
  EXPECT_EQ(table.localized("setup_accessibility_desc_ok", "zh", true),
            *table.find("zh", "setup_accessibility_desc_ok"));
  // No Chinese text at all: the English plain text, not its variant.
  EXPECT_EQ(table.localized("setup_accessibility_desc_err", "zh", true),
            *table.find("zh", "setup_accessibility_desc_err"));
  EXPECT_EQ(table.localized("hud_per_doc_title", "zh", true), *table.find("en", "hud_per_doc_title"));
  EXPECT_EQ(table.localized("hud_per_doc_title", "fr", true), *table.find("en", "hud_per_doc_title"));
  // Vietnamese and Lao carry the legend variants.
  EXPECT_EQ(table.localized("legend_lock", "vi", true), *table.find("vi", "legend_lock_pro"));
  EXPECT_EQ(table.localized("legend_lock", "lo", false), *table.find("lo", "legend_lock"));
  // A key with no variant anywhere reads the same at both levels.
  EXPECT_EQ(table.localized("legend_pause", "lo", true), table.localized("legend_pause", "lo", false));
}

TEST(LocalizedTableTest, LaoSandboxExamplesAreItsOwn) {
  const auto& table = LocalizedTable::shared();
  EXPECT_EQ(table.localized("onboarding_sandbox_ex1_raw", "en", false), "l;ylfu");
  EXPECT_EQ(table.localized("onboarding_sandbox_ex1_target", "th", false), "สวัสดี");
  EXPECT_EQ(table.localized("onboarding_sandbox_ex3_target", "en", false), "ได้");
  EXPECT_EQ(table.localized("onboarding_sandbox_ex1_raw", "lo", false), "s;bkyd-e");
  EXPECT_EQ(table.localized("onboarding_sandbox_ex1_target", "lo", false), "ສະບາຍດີ");
  EXPECT_EQ(table.localized("onboarding_sandbox_ex3_raw", "lo", false), "l;ylfu");
  // Other languages show the English pairs.
  EXPECT_EQ(table.localized("onboarding_sandbox_ex2_raw", "vi", false), "้ำสสน");
}

// ---------------------------------------------------------------- text functions

TEST(LocalizationTextFunctionsTest, LanguageDisplayNames) {
  EXPECT_EQ(languageDisplayName("en"), "อังกฤษ (EN)");
  EXPECT_EQ(languageDisplayName("th"), "ไทย (TH)");
  EXPECT_EQ(languageDisplayName("lo"), "ลาว (LO)");
  EXPECT_EQ(languageDisplayName("vi"), "VI");
  EXPECT_EQ(languageDisplayName("zh-Hans"), "ZH-HANS");
  EXPECT_EQ(languageDisplayName(""), "");
}

TEST(LocalizationTextFunctionsTest, ThaiOrEnglishTextReadsOnlyThoseTwoTables) {
  // Lao and Vietnamese have tables of their own, yet these screens show
  // English there, as they did before their wording moved into the tables.
  EXPECT_EQ(thaiOrEnglishText("quick_paste_pin_tooltip", "th"), "ปักหมุด");
  EXPECT_EQ(thaiOrEnglishText("quick_paste_pin_tooltip", "en"), "Pin");
  EXPECT_EQ(thaiOrEnglishText("quick_paste_pin_tooltip", "lo"), "Pin");
  EXPECT_EQ(thaiOrEnglishText("menu_quit", "vi"), "Quit Tessavinor");
  EXPECT_EQ(thaiOrEnglishText("no_such_key", "th"), "no_such_key");
  // The leading and trailing spaces of a text that is joined to others stay.
  EXPECT_EQ(thaiOrEnglishText("quick_paste_files", "th"), " ไฟล์");
}

TEST(LocalizationTextFunctionsTest, TheLanguageMenuNamesEachLanguageInItself) {
  EXPECT_EQ(languageMenuName("th"), "ไทย (Thai)");
  EXPECT_EQ(languageMenuName("lo"), "ລາວ (Lao)");
  EXPECT_EQ(languageMenuName("xx"), "xx");
  EXPECT_EQ(languageMenuHeading("th"), "เลือกภาษา (Language)");
  EXPECT_EQ(languageMenuHeading("ja"), "Language");
}

TEST(LocalizationTextFunctionsTest, EnglishInputSourceIdentifiers) {
  EXPECT_TRUE(isEnglishInputSourceID("com.apple.keylayout.ABC"));
  EXPECT_TRUE(isEnglishInputSourceID("com.apple.keylayout.US"));
  EXPECT_TRUE(isEnglishInputSourceID("com.apple.keylayout.British-English"));
  EXPECT_TRUE(isEnglishInputSourceID("en"));
  EXPECT_TRUE(isEnglishInputSourceID("EN"));
  EXPECT_TRUE(isEnglishInputSourceID("en-GB"));
  EXPECT_TRUE(isEnglishInputSourceID("en_US"));
  EXPECT_TRUE(isEnglishInputSourceID("En_au"));
  EXPECT_FALSE(isEnglishInputSourceID("com.apple.keylayout.Thai"));
  EXPECT_FALSE(isEnglishInputSourceID("com.apple.keylayout.Russian"));
  EXPECT_FALSE(isEnglishInputSourceID("us"));      // "US" is matched case-sensitively
  EXPECT_FALSE(isEnglishInputSourceID("abc"));
  EXPECT_FALSE(isEnglishInputSourceID("eng"));     // neither "en" nor "en-"/"en_"
  EXPECT_FALSE(isEnglishInputSourceID("french"));  // contains "en" but is not English
  EXPECT_FALSE(isEnglishInputSourceID(""));
}

TEST(LocalizationTextFunctionsTest, XKeyboardLayoutIdentifiersByTheirLayoutName) {
  EXPECT_TRUE(isEnglishInputSourceID("xkb:us"));
  EXPECT_TRUE(isEnglishInputSourceID("xkb:us:dvorak"));
  EXPECT_TRUE(isEnglishInputSourceID("xkb:gb"));
  EXPECT_FALSE(isEnglishInputSourceID("xkb:th"));
  EXPECT_FALSE(isEnglishInputSourceID("xkb:ru"));  // holds "ru", not "us"
  EXPECT_EQ(xkbSourceLanguage("xkb:th"), "th");
  EXPECT_EQ(xkbSourceLanguage("xkb:th:pat"), "th");
  EXPECT_EQ(xkbSourceLanguage("xkb:la"), "lo");
  EXPECT_EQ(xkbSourceLanguage("xkb:latam"), "");  // Spanish, not Lao
  EXPECT_EQ(xkbSourceLanguage("xkb:vn"), "vi");
  EXPECT_EQ(xkbSourceLanguage("com.apple.keylayout.Thai"), "");
  EXPECT_EQ(inputSourceDisplayName("xkb:th:tis"), "ไทย (TH)");
  EXPECT_EQ(inputSourceDisplayName("xkb:la"), "ลาว (LO)");
  EXPECT_EQ(inputSourceDisplayName("xkb:us"), "อังกฤษ (EN)");
}

TEST(LocalizationTextFunctionsTest, InputSourceDisplayNames) {
  EXPECT_EQ(inputSourceDisplayName("com.apple.keylayout.ABC"), "อังกฤษ (EN)");
  EXPECT_EQ(inputSourceDisplayName("com.apple.keylayout.Thai"), "ไทย (TH)");
  EXPECT_EQ(inputSourceDisplayName("com.apple.keylayout.Thai-PattaChote"), "ไทย (TH)");
  EXPECT_EQ(inputSourceDisplayName("org.example.keylayout.Pattajoti"), "ไทย (TH)");
  EXPECT_EQ(inputSourceDisplayName("org.example.KEDMANEE"), "ไทย (TH)");
  EXPECT_EQ(inputSourceDisplayName("com.apple.keylayout.Lao"), "ลาว (LO)");
  EXPECT_EQ(inputSourceDisplayName("com.example.Foo"), "FOO");
  EXPECT_EQ(inputSourceDisplayName("com.example.Foo."), "FOO");  // empty components are skipped
  EXPECT_EQ(inputSourceDisplayName("Vietnamese"), "VIETNAMESE");
  EXPECT_EQ(inputSourceDisplayName("..."), "...");  // no component at all: the whole identifier
  EXPECT_EQ(inputSourceDisplayName(""), "");
}

TEST(LocalizationTextFunctionsTest, MiddleTruncationCountsGraphemeClusters) {
  const std::string fourteen = "abcdefghijklmn";
  ASSERT_EQ(fourteen.size(), 14u);
  EXPECT_EQ(middleTruncated(fourteen, 14), fourteen);
  EXPECT_EQ(middleTruncated("abcdefghijklmno", 14), "abcdef…jklmno");  // 6 + 1 + 6
  EXPECT_EQ(middleTruncated("abcdefghijklmno", 15), "abcdefghijklmno");
  EXPECT_EQ(middleTruncated("abcdefghij", 5), "ab…ij");
  EXPECT_EQ(middleTruncated("abcdefghij", 4), "a…j");  // h = 1 for an even maximum
  EXPECT_EQ(middleTruncated("abc", 1), "…");
  EXPECT_EQ(middleTruncated("abc", 0), "");
  EXPECT_EQ(middleTruncated("abc", -3), "");
  EXPECT_EQ(middleTruncated("", 14), "");

  // "สวัสดีครับ" is 10 code points but 7 clusters: ส วั ส ดี ค รั บ. Neither the
  // vowel above nor the tone marks may be cut off their consonant.
  const std::string hello = "สวัสดีครับ";
  EXPECT_EQ(middleTruncated(hello, 7), hello);
  EXPECT_EQ(middleTruncated(hello, 5), "สวั…รับ");
  // 12 clusters (ที่ นี่ มี น้ำ ใ ส ส ะ อ า ด ดี) fit the confirmation's maximum of 14;
  // three more letters make 15, cut to 6 + 1 + 6 clusters.
  const std::string thai = "ที่นี่มีน้ำใสสะอาดดี";
  EXPECT_EQ(middleTruncated(thai, 14), thai);
  const std::string longer = "abc" + thai;
  EXPECT_EQ(middleTruncated(longer, 14), "abcที่นี่มี…สะอาดดี");
  // Emoji sequences are single clusters as well.
  EXPECT_EQ(middleTruncated("👍🏽👍🏽👍🏽👍🏽", 3), "👍🏽…👍🏽");
}

TEST(LocalizationTextFunctionsTest, DifferingCharacterCountComparesScalars) {
  EXPECT_EQ(differingCharacterCount("abc", "abd"), 1);
  EXPECT_EQ(differingCharacterCount("abc", "abcdef"), 3);
  EXPECT_EQ(differingCharacterCount("abcdef", "xyz"), 3);  // lengths differ: characters are not compared
  EXPECT_EQ(differingCharacterCount("abc", "abc"), 0);
  EXPECT_EQ(differingCharacterCount("", ""), 0);
  EXPECT_EQ(differingCharacterCount("", "ได้"), 3);  // ไ ด ้: scalars, not clusters or bytes
  // A word typed on the wrong layout and its conversion: same length, every position differs.
  EXPECT_EQ(differingCharacterCount("l;ylfu", "สวัสดี"), 6);
  EXPECT_EQ(differingCharacterCount("สวัสดี", "สวัสดิ"), 1);
}

TEST(LocalizationTextFunctionsTest, FormatFillsPlaceholdersInOrder) {
  EXPECT_EQ(formatLocalized("Paused for %d seconds", {"12"}), "Paused for 12 seconds");
  EXPECT_EQ(formatLocalized("Learned «%@ → %@»", {"teh", "the"}), "Learned «teh → the»");
  EXPECT_EQ(formatLocalized("Goal: %d%% accuracy", {"95"}), "Goal: 95% accuracy");
  EXPECT_EQ(formatLocalized("100% sure", {}), "100% sure");
  EXPECT_EQ(formatLocalized("%.1f and %s stay", {"x"}), "%.1f and %s stay");
  EXPECT_EQ(formatLocalized("%@ and %@", {"one"}), "one and %@");  // missing argument: kept visible
  EXPECT_EQ(formatLocalized("trailing %", {"x"}), "trailing %");
  EXPECT_EQ(formatLocalized("%@", {"%d"}), "%d");  // arguments are not re-scanned

  const auto& table = LocalizedTable::shared();
  EXPECT_EQ(formatLocalized(table.localized("nudge_celebration_subtitle", "th", false), {"2.5", "42"}),
            "คุณประหยัดเวลากดลบไปแล้ว 2.5 นาที (ช่วยแก้คำผิดสะสม 42 คำ) ร่วมส่งตัวเลขเวลานี้ขึ้นแดชบอร์ดชุมชนไหมครับ?");
}

}  // namespace
}  // namespace tessa

namespace tessa {
namespace {

// Texts that named the other platform's computer, keys and trackpad, or
// spelled the hot keys with its glyphs, in every language that has them.
TEST(LocalizedTextsTest, TheTextsShownOnLinuxNameNoOtherPlatformsThings) {
  const std::set<std::string> keys = {"sync_subtitle",        "about_desc_free",          "about_feature_undo_desc",
                                      "settings_haptic",      "settings_haptic_desc",     "settings_switcher_grave_desc",
                                      "settings_per_doc_title", "settings_per_doc_desc", "habit_learned_sub",
                                      "habit_cancel",         "menu_haptic_unavailable"};
  for (const auto& list : allLists()) {
    for (const auto& p : list.pairs) {
      if (!keys.count(std::string(p.key))) continue;
      for (const char* word : {"Mac", "Apple", "TextEdit", "rackpad", "トラックパッド", "触控板", "Option", "⌃", "⇧"})
        EXPECT_EQ(p.text.find(word), std::string_view::npos) << list.code << " " << p.key << ": " << p.text;
    }
  }
}

}  // namespace
}  // namespace tessa
