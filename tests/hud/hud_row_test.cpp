#include "hud/hud_row.h"

#include <gtest/gtest.h>

#include "l10n/localization.h"

namespace tessa {
namespace {

using K = DisplayState::Kind;

HudLocalizer inLanguage(std::string language) {
  return [language](const std::string& key) { return LocalizedTable::shared().localized(key, language, false); };
}

DisplayState forward(int64_t score, std::string origWord = "l;ylfu", HudCallback onUndo = {}) {
  return DisplayState::confirmedForward("สวัสดี", std::move(origWord), "ไทย (TH)", score, 5.0, std::move(onUndo), {});
}

const HudButton* buttonOf(const HudRow& row, HudButtonRole role) {
  for (const auto& b : row.buttons)
    if (b.role == role) return &b;
  return nullptr;
}

TEST(HudRowTest, ScoreChoosesBadgeTextBadgeColourAndRingColour) {
  struct Expected {
    int64_t score;
    std::string badge;
    HudColor badgeColor, ringColor;
  };
  const std::vector<Expected> table = {
      {-1, "Low", HudColor::red, HudColor::orange},
      {0, "Low", HudColor::red, HudColor::orange},
      {1, "Low", HudColor::red, HudColor::orange},
      {2, "Medium", HudColor::orange, HudColor::orange},
      {3, "High", HudColor::green, HudColor::green},
      {4, "Personal", HudColor::purple, HudColor::purple},
      {5, "Adjacent Key", HudColor::teal, HudColor::teal},
      {6, "สระ/วรรณยุกต์", HudColor::orange, HudColor::green},
      {7, "กู้คืนประโยค", HudColor::indigo, HudColor::green},
      {8, "High", HudColor::green, HudColor::green},
      {42, "High", HudColor::green, HudColor::green},
  };
  for (const auto& e : table) {
    SCOPED_TRACE("score " + std::to_string(e.score));
    HudRow row = buildHudRow(forward(e.score), false, false, inLanguage("en"));
    ASSERT_TRUE(row.badge);
    EXPECT_EQ(row.badge->text, e.badge);
    EXPECT_EQ(row.badge->color, e.badgeColor);
    ASSERT_TRUE(row.mark);
    EXPECT_EQ(row.mark->color, e.ringColor);
    ASSERT_TRUE(buttonOf(row, HudButtonRole::undo));
    EXPECT_EQ(buttonOf(row, HudButtonRole::undo)->countdown->color, e.ringColor);
  }
  // The localised badges follow the application language; the two fixed
  // ones are Thai in every language.
  EXPECT_EQ(hudScoreStyle(5, inLanguage("th")).badgeText, "ปุ่มใกล้เคียง");
  EXPECT_EQ(hudScoreStyle(1, inLanguage("th")).badgeText, "มั่นใจต่ำ");
  EXPECT_EQ(hudScoreStyle(6, inLanguage("en")).badgeText, "สระ/วรรณยุกต์");
}

TEST(HudRowTest, ConversionDetailFollowsExpiryOriginalWordAndScore) {
  auto detail = [](const DisplayState& s, bool expired = false) {
    return *buildHudRow(s, expired, false, inLanguage("th")).detail;
  };
  EXPECT_EQ(detail(forward(1)), "แก้จาก «l;ylfu» → ไทย (TH)");
  EXPECT_EQ(detail(forward(3)), "แก้จาก «l;ylfu» → ไทย (TH)");
  EXPECT_EQ(detail(forward(4)), "แก้จาก «l;ylfu»");
  EXPECT_EQ(detail(forward(5)), "แก้จาก «l;ylfu» (ไทย (TH))");
  EXPECT_EQ(detail(forward(6)), "แก้จาก «l;ylfu» → ไทย (TH)");
  // A restored sentence carries its own description.
  EXPECT_EQ(detail(forward(7, "แก้ 3 จุดในประโยค")), "แก้ 3 จุดในประโยค");
  // No original word wins over the score, and expiry over everything.
  EXPECT_EQ(detail(forward(4, "")), "→ ไทย (TH)");
  EXPECT_EQ(detail(forward(7, "")), "→ ไทย (TH)");
  EXPECT_EQ(detail(forward(5), true), "หมดเวลายกเลิกแล้ว · ปรับเวลาได้ในตั้งค่า");
  EXPECT_EQ(detail(forward(5, ""), true), "หมดเวลายกเลิกแล้ว · ปรับเวลาได้ในตั้งค่า");
}

TEST(HudRowTest, ExpiredConversionDimsItsControlsAndDisablesUndo) {
  int undos = 0;
  auto state = forward(5, "l;ylfu", [&] { ++undos; });

  HudRow live = buildHudRow(state, false, false, inLanguage("en"));
  EXPECT_EQ(live.mark->opacity, 1.0);
  const HudButton* undo = buttonOf(live, HudButtonRole::undo);
  ASSERT_TRUE(undo);
  EXPECT_TRUE(undo->enabled);
  EXPECT_FALSE(undo->countdown->isExpired);
  EXPECT_EQ(undo->countdown->duration, 5.0);
  EXPECT_EQ(undo->help, "ยกเลิกการแปลง (Ctrl+Shift+Z)");
  EXPECT_EQ(undo->accessibilityLabel, "ย้อนกลับการแปลงคำ");
  EXPECT_EQ(undo->accessibilityHint, "สลับคำกลับเป็น l;ylfu");
  undo->onClick();
  EXPECT_EQ(undos, 1);
  const HudButton* add = buttonOf(live, HudButtonRole::addToVocabulary);
  ASSERT_TRUE(add);
  EXPECT_EQ(add->symbol->opacity, 0.85);
  EXPECT_EQ(add->help, "จำคำว่า «l;ylfu» (Ctrl+Shift+A)");
  EXPECT_EQ(add->accessibilityLabel, "เพิ่มคำว่า l;ylfu เข้าคลังคำศัพท์");

  HudRow expired = buildHudRow(state, true, false, inLanguage("en"));
  EXPECT_EQ(expired.mark->opacity, 0.25);
  EXPECT_FALSE(buttonOf(expired, HudButtonRole::undo)->enabled);
  EXPECT_TRUE(buttonOf(expired, HudButtonRole::undo)->countdown->isExpired);
  EXPECT_EQ(buttonOf(expired, HudButtonRole::addToVocabulary)->symbol->opacity, 0.3);
  // The badge and the ring colour stay.
  EXPECT_EQ(expired.badge->color, HudColor::teal);
  EXPECT_EQ(buttonOf(expired, HudButtonRole::undo)->countdown->color, HudColor::teal);
}

TEST(HudRowTest, RevertedOffersRememberingOnlyWithAnAction) {
  HudRow plain = buildHudRow(DisplayState::confirmedReverted("ย้อนกลับแล้ว", "", "l;ylfu"), false, true, {});
  EXPECT_FALSE(plain.separator);
  EXPECT_TRUE(plain.buttons.empty());
  EXPECT_FALSE(plain.detail) << "an empty sub-message leaves the detail line out";
  EXPECT_FALSE(plain.hint);
  EXPECT_EQ(plain.symbol->name, "arrow.uturn.backward");
  EXPECT_EQ(plain.symbol->color, HudColor::orange);

  int added = 0;
  HudRow offer = buildHudRow(
      DisplayState::confirmedReverted("ย้อนกลับแล้ว", "พิมพ์ต่อได้เลย", "l;ylfu", [&] { ++added; }), false, false, {});
  EXPECT_TRUE(offer.separator);
  ASSERT_EQ(offer.buttons.size(), 1u);
  EXPECT_EQ(offer.buttons[0].role, HudButtonRole::addToVocabulary);
  EXPECT_EQ(offer.buttons[0].help, "จำคำว่า «l;ylfu» (Ctrl+Shift+A)");
  EXPECT_EQ(offer.buttons[0].accessibilityLabel, "เพิ่มคำว่า l;ylfu เข้าคลังคำศัพท์");
  EXPECT_EQ(*offer.detail, "พิมพ์ต่อได้เลย");
  offer.buttons[0].onClick();
  EXPECT_EQ(added, 1);
}

TEST(HudRowTest, HintLineOnlyForProposalsAndConversionsAndOnlyWhileAllowed) {
  const std::vector<DisplayState> states = {
      DisplayState::ask("l;ylfu", "สวัสดี", "แป้นไทย", 3, {}, {}),
      forward(3),
      DisplayState::confirmedReverted("m", "s", "w", [] {}),
      DisplayState::confirmedRedo("สวัสดี", "ไทย (TH)"),
      DisplayState::status("m", "s", "info.circle", HudColor::white),
      DisplayState::statusProgress("m", "hourglass", 2),
      DisplayState::actionable("m", "s", "book", HudColor::white, "Go", [] {}),
      DisplayState::actionableCountdown("m", "s", "book", HudColor::white, 3, "Go", [] {}),
      DisplayState::idle(),
  };
  for (const auto& s : states) {
    SCOPED_TRACE(displayStateKindName(s.kind()));
    EXPECT_FALSE(buildHudRow(s, false, false, {}).hint);
    auto hint = buildHudRow(s, false, true, {}).hint;
    if (s.kind() == K::ask) {
      EXPECT_EQ(hint, "Ctrl+Shift+O ยืนยัน · Esc ยกเลิก");
    } else if (s.kind() == K::confirmedForward) {
      EXPECT_EQ(hint, "Ctrl+Shift+Z ยกเลิก · Ctrl+Shift+A จำคำ");
    } else {
      EXPECT_FALSE(hint);
    }
    EXPECT_EQ(buildHudRow(s, false, false, {}).drawsPlate, s.kind() != K::idle);
  }
}

TEST(HudRowTest, StatusRowsColourTheRightElementAndDropAnEmptyDetail) {
  HudRow status = buildHudRow(DisplayState::status("Ready", "", "play.circle.fill", HudColor::green), false, false, {});
  EXPECT_EQ(status.titleColor, HudColor::green);
  EXPECT_EQ(status.symbol->color, HudColor::white);
  EXPECT_EQ(status.symbol->pointSize, 16);
  EXPECT_TRUE(status.symbol->bold);
  EXPECT_FALSE(status.detail);
  EXPECT_FALSE(status.separator);

  int actions = 0;
  HudRow actionable = buildHudRow(
      DisplayState::actionable("Paused", "Press to resume", "pause.circle.fill", HudColor::orange, "Resume",
                               [&] { ++actions; }),
      false, false, {});
  EXPECT_EQ(actionable.symbol->color, HudColor::orange);
  EXPECT_EQ(actionable.titleColor, HudColor::white);
  EXPECT_EQ(*actionable.detail, "Press to resume");
  EXPECT_TRUE(actionable.emphasisedDetail);
  EXPECT_TRUE(actionable.separator);
  ASSERT_EQ(actionable.buttons.size(), 1u);
  EXPECT_EQ(actionable.buttons[0].title, "Resume");
  EXPECT_EQ(actionable.buttons[0].accessibilityLabel, "Resume");
  actionable.buttons[0].onClick();
  EXPECT_EQ(actions, 1);

  // The two rings: a status fills, a countdown drains and is not announced.
  HudRow progress = buildHudRow(DisplayState::statusProgress("Paused for 5 seconds", "hourglass", 5), false, false, {});
  EXPECT_FALSE(progress.symbol);
  ASSERT_TRUE(progress.ring);
  EXPECT_FALSE(progress.ring->drains);
  EXPECT_EQ(progress.ring->icon, "hourglass");
  EXPECT_FALSE(progress.detail);
  HudRow countdown = buildHudRow(
      DisplayState::actionableCountdown("Paused", "", "pause.circle.fill", HudColor::red, 3, "Resume", {}), false,
      false, {});
  ASSERT_TRUE(countdown.ring);
  EXPECT_TRUE(countdown.ring->drains);
  EXPECT_FALSE(countdown.ring->accessible);
  EXPECT_EQ(countdown.ring->duration, 3);
  EXPECT_FALSE(countdown.detail);
  EXPECT_EQ(countdown.titleColor, HudColor::white) << "the countdown row does not use messageColor";
}

TEST(HudRowTest, ProposalAndRedoRows) {
  int accepted = 0, dismissed = 0;
  HudRow ask = buildHudRow(DisplayState::ask("l;ylfu", "สวัสดี", "แป้นไทย", 2, [&] { ++accepted; },
                                             [&] { ++dismissed; }),
                           false, false, inLanguage("th"));
  ASSERT_TRUE(ask.askTitle);
  EXPECT_EQ(ask.askTitle->currentWord, "l;ylfu");
  EXPECT_EQ(ask.askTitle->suggestedWord, "สวัสดี");
  EXPECT_EQ(ask.badge->text, "มั่นใจกลาง");
  EXPECT_EQ(*ask.detail, "แป้นไทย");
  ASSERT_EQ(ask.buttons.size(), 2u);
  EXPECT_EQ(ask.buttons[0].accessibilityLabel, "ยอมรับ: สวัสดี");
  EXPECT_EQ(ask.buttons[0].symbol->color, HudColor::green);
  EXPECT_EQ(ask.buttons[1].help, "ไม่ใช่ ยังคงพิมพ์ต่อ");
  EXPECT_EQ(ask.buttons[1].accessibilityLabel, "ปิดคำแนะนำ");
  ask.buttons[0].onClick();
  ask.buttons[1].onClick();
  EXPECT_EQ(accepted, 1);
  EXPECT_EQ(dismissed, 1);

  HudRow redo = buildHudRow(DisplayState::confirmedRedo("สวัสดี", "ไทย (TH)"), false, true, {});
  EXPECT_EQ(redo.title, "แปลงเป็น «สวัสดี» อีกครั้ง (Redo)");
  EXPECT_EQ(*redo.detail, "จุดเก่าที่สุดที่จำไว้ · กด Ctrl+Shift+X เพื่อไปภาษาอื่นต่อ");
  EXPECT_EQ(redo.symbol->color, HudColor::green);
  EXPECT_TRUE(redo.buttons.empty());
}

TEST(HudRowTest, RingProgressRunsLinearlyOverItsDuration) {
  EXPECT_DOUBLE_EQ(hudRingProgress(0, 3, false), 0.0);
  EXPECT_DOUBLE_EQ(hudRingProgress(1.5, 3, false), 0.5);
  EXPECT_DOUBLE_EQ(hudRingProgress(3, 3, false), 1.0);
  EXPECT_DOUBLE_EQ(hudRingProgress(10, 3, false), 1.0);
  EXPECT_DOUBLE_EQ(hudRingProgress(0, 3, true), 1.0);
  EXPECT_DOUBLE_EQ(hudRingProgress(0.75, 3, true), 0.75);
  EXPECT_DOUBLE_EQ(hudRingProgress(3, 3, true), 0.0);
  // Before its start (a clock read just ahead of it) and with no duration.
  EXPECT_DOUBLE_EQ(hudRingProgress(-1, 3, true), 1.0);
  EXPECT_DOUBLE_EQ(hudRingProgress(0, 0, true), 0.0);
  EXPECT_DOUBLE_EQ(hudRingProgress(0, 0, false), 1.0);
}

}  // namespace
}  // namespace tessa
