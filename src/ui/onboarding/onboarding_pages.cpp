#include "ui/onboarding/onboarding_pages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/onboarding/onboarding_widgets.h"
#include "ui/system_colors.h"
#include "ui/symbol_icons.h"

namespace tessa {

namespace {

namespace font = onboarding_font;
using Color = OnboardingColor;
using Page = OnboardingModel::Page;

QColor color(Color c, QWidget* w) { return onboardingColor(c, w->palette()); }

QLabel* appIcon(QWidget* parent) {
  auto* icon = new QLabel(parent);
  icon->setObjectName("onboarding.appIcon");
  icon->setFixedSize(48, 48);
  icon->setPixmap(applicationIconPixmap(48, parent->devicePixelRatioF()));
  return icon;
}

// A centred column of header parts.
QVBoxLayout* header(QVBoxLayout* page, int spacing) {
  auto* column = new QVBoxLayout;
  column->setSpacing(spacing);
  page->addLayout(column);
  return column;
}

void addCentred(QVBoxLayout* column, QWidget* widget) { column->addWidget(widget, 0, Qt::AlignHCenter); }

// The light box the lists and descriptions stand in.
RoundedBox* listBox(QWidget* parent, const QString& name, double opacity, int padding, int spacing,
                    QVBoxLayout** content) {
  auto* box = new RoundedBox(withOpacity(parent->palette().color(QPalette::Base), opacity), 10, parent);
  box->setObjectName(name);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(padding, padding, padding, padding);
  layout->setSpacing(spacing);
  *content = layout;
  return box;
}

// ------------------------------------------------------- wording level

void buildLevelPage(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  auto* top = header(column, 8);
  addCentred(top, appIcon(page));
  addCentred(top, onboardingLabel(page, "onboarding.level.title", model.text("onboarding_level_welcome"), font::kTitle2,
                                  true));
  addCentred(top, onboardingLabel(page, "onboarding.level.subtitle", model.text("onboarding_level_subtitle"),
                                  font::kSubheadline, false, Color::secondary));

  auto* cards = new QVBoxLayout;
  cards->setSpacing(16);
  struct Level {
    CopywritingLevel level;
    const char* name;
    const char* title;
    const char* description;
  };
  for (const Level& level : {Level{CopywritingLevel::layman, "layman", "onboarding_level_layman_title",
                                   "onboarding_level_layman_desc"},
                             Level{CopywritingLevel::pro, "pro", "onboarding_level_pro_title", "onboarding_level_pro_desc"}}) {
    auto* card = new CardButton(page);
    card->setObjectName(QStringLiteral("onboarding.level.%1").arg(level.name));
    auto* inner = new QVBoxLayout(card);
    inner->setContentsMargins(12, 10, 12, 10);
    inner->setSpacing(4);
    inner->addWidget(onboardingLabel(card, "cardTitle", model.text(level.title), font::kHeadline, true, Color::primary,
                                     true));
    inner->addWidget(onboardingLabel(card, "cardDescription", model.text(level.description), font::kCaption, false,
                                     Color::secondary, true));
    inner->addStretch(1);
    card->setText(QString::fromStdString(model.text(level.title)));
    CopywritingLevel chosen = level.level;
    QObject::connect(card, &QAbstractButton::clicked, page, [&model, chosen] { model.chooseLevel(chosen); });
    cards->addWidget(card);
  }
  column->addLayout(cards);
  addCentred(column, onboardingLabel(page, "onboarding.level.note", model.text("onboarding_level_note"),
                                     font::kCaption2, false, Color::secondary));
}

// ---------------------------------------------------------- permission

RoundedBox* featureBox(OnboardingModel& model, QWidget* page, const QString& name, const std::string& symbol,
                       Color symbolColor, const std::string& headingKey, const std::vector<OnboardingFeature>& rows) {
  QVBoxLayout* content = nullptr;
  auto* box = listBox(page, name, 0.4, 12, 8, &content);
  box->setOutline(withOpacity(color(Color::secondary, page), 0.25), 1);
  auto* heading = new QHBoxLayout;
  heading->setSpacing(8);
  heading->addWidget(onboardingSymbol(box, name + ".symbol", symbol, font::kSubheadline, color(symbolColor, page)));
  heading->addWidget(onboardingLabel(box, name + ".heading", model.text(headingKey), font::kSubheadline, true));
  heading->addStretch(1);
  content->addLayout(heading);
  auto* list = new QVBoxLayout;
  list->setContentsMargins(4, 0, 0, 0);
  list->setSpacing(6);
  int index = 0;
  for (const auto& row : rows) {
    auto* feature = new FeatureRow(row.icon, row.text, color(row.color, page), box);
    feature->setObjectName(QStringLiteral("%1.row%2").arg(name).arg(index++));
    list->addWidget(feature);
  }
  content->addLayout(list);
  return box;
}

void buildPermissionPage(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  auto* hero = header(column, 6);
  addCentred(hero, appIcon(page));
  addCentred(hero, onboardingLabel(page, "onboarding.permission.name", onboarding_literal::kHeroName, font::kTitle2,
                                   true));
  addCentred(hero, onboardingLabel(page, "onboarding.permission.tagline", onboarding_literal::kHeroTagline,
                                   font::kHeadline, true));
  hero->addWidget(onboardingLabel(page, "onboarding.permission.subtitle", onboarding_literal::kHeroSubtitle,
                                  font::kSubheadline, false, Color::secondary, true, Qt::AlignHCenter));

  column->addWidget(featureBox(model, page, "onboarding.why", "checkmark.circle.fill", Color::green,
                               "onboarding_why_title", model.whyRows()));
  column->addWidget(featureBox(model, page, "onboarding.never", "shield.lefthalf.filled", Color::blue,
                               "onboarding_not_title", model.neverRows()));

  auto* block = new QVBoxLayout;
  block->setSpacing(8);
  if (model.isPermissionGranted()) {
    auto* granted = new QHBoxLayout;
    granted->setContentsMargins(0, 4, 0, 4);
    granted->setSpacing(8);
    granted->addStretch(1);
    granted->addWidget(onboardingSymbol(page, "onboarding.permission.grantedSymbol", "checkmark.circle.fill",
                                        font::kTitle3, color(Color::green, page)));
    granted->addWidget(onboardingLabel(page, "onboarding.permission.granted", model.text("onboarding_perm_granted"),
                                       font::kHeadline, true, Color::green));
    granted->addStretch(1);
    block->addLayout(granted);
    auto* next = onboardingButton(page, "onboarding.permission.continue", model.text("onboarding_btn_continue"),
                                  color(Color::green, page), 6);
    QObject::connect(next, &QPushButton::clicked, page, [&model] { model.continueAfterPermission(); });
    block->addWidget(next);
  } else {
    auto* grant = onboardingButton(page, "onboarding.permission.grant", model.text("onboarding_btn_grant"),
                                   color(Color::accent, page), 6);
    QObject::connect(grant, &QPushButton::clicked, page, [&model] { model.openAccessibilitySettings(); });
    block->addWidget(grant);
    auto* links = new QHBoxLayout;
    links->setContentsMargins(0, 2, 0, 0);
    links->setSpacing(16);
    links->addStretch(1);
    auto* repair = onboardingLinkButton(page, "onboarding.permission.troubleshoot",
                                        model.text("setup_accessibility_troubleshoot_link"), font::kCaption);
    QObject::connect(repair, &QPushButton::clicked, page, [&model] { model.troubleshoot(); });
    links->addWidget(repair);
    auto* bullet = onboardingLabel(page, "onboarding.permission.bullet", "•", font::kCaption);
    QPalette p = bullet->palette();
    p.setColor(QPalette::WindowText, withOpacity(color(Color::secondary, page), 0.4));
    bullet->setPalette(p);
    links->addWidget(bullet);
    auto* skip = onboardingLinkButton(page, "onboarding.permission.skip", model.text("onboarding_btn_skip"),
                                      font::kCaption);
    QObject::connect(skip, &QPushButton::clicked, page, [&model] { model.skipPermission(); });
    links->addWidget(skip);
    links->addStretch(1);
    block->addLayout(links);
  }
  column->addLayout(block);
  column->addWidget(onboardingLabel(page, "onboarding.permission.revokeNote", model.text("onboarding_revoke_note"),
                                    font::kCaption2, false, Color::secondary, true, Qt::AlignHCenter));
}

// -------------------------------------------------------- switcher key

void buildSwitcherPage(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  auto* top = header(column, 6);
  addCentred(top, onboardingSymbol(page, "onboarding.switcher.symbol", "keyboard.fill", 26, color(Color::accent, page)));
  addCentred(top, onboardingLabel(page, "onboarding.switcher.title", model.text("onboarding_switcher_title"),
                                  font::kTitle2, true));
  top->addWidget(onboardingLabel(page, "onboarding.switcher.subtitle", model.text("onboarding_switcher_subtitle"),
                                 font::kSubheadline, false, Color::secondary, true, Qt::AlignHCenter));

  auto* cards = new QVBoxLayout;
  cards->setSpacing(10);
  for (const auto& content : model.switcherCards()) {
    auto* card = new CardButton(page);
    card->setObjectName(QStringLiteral("onboarding.switcher.card%1").arg(rawValue(content.key)));
    card->setText(QString::fromStdString(content.title));
    card->setOutlined(content.selected);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(12);
    auto* symbol = onboardingSymbol(card, "cardSymbol", content.symbol, font::kTitle2, color(content.symbolColor, page));
    auto* symbolHolder = new QWidget(card);
    symbolHolder->setFixedWidth(32);
    auto* holderLayout = new QHBoxLayout(symbolHolder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holderLayout->addWidget(symbol, 0, Qt::AlignCenter);
    row->addWidget(symbolHolder);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(onboardingLabel(card, "cardTitle", content.title, font::kHeadline, true));
    titleRow->addStretch(1);
    if (!content.badge.empty()) {
      auto* badge = new RoundedBox(withOpacity(color(Color::orange, page), 0.2), 4, card);
      badge->setObjectName("cardBadge");
      auto* badgeLayout = new QHBoxLayout(badge);
      badgeLayout->setContentsMargins(6, 2, 6, 2);
      badgeLayout->addWidget(onboardingLabel(badge, "cardBadgeText", content.badge, font::kCaption2, true,
                                             Color::orange));
      titleRow->addWidget(badge);
    }
    texts->addLayout(titleRow);
    texts->addWidget(onboardingLabel(card, "cardDescription", content.description, font::kCaption, false,
                                     Color::secondary, true));
    texts->addStretch(1);
    row->addLayout(texts, 1);
    SwitcherKey key = content.key;
    QObject::connect(card, &QAbstractButton::clicked, page, [&model, key] { model.chooseSwitcher(key); });
    cards->addWidget(card);
  }
  column->addLayout(cards);

  // An orange box: the warning sign beside its texts (which it adopts).
  auto addWarning = [&](const char* name, std::initializer_list<QLabel*> lines) {
    auto* warning = new RoundedBox(withOpacity(color(Color::orange, page), 0.12), 8, page);
    warning->setObjectName(name);
    auto* row = new QHBoxLayout(warning);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(8);
    row->addWidget(onboardingSymbol(warning, "warningSymbol", "exclamationmark.triangle.fill", font::kCaption,
                                    color(Color::orange, page)),
                   0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    for (QLabel* line : lines) texts->addWidget(line);
    row->addLayout(texts, 1);
    column->addWidget(warning);
  };
  if (std::string taken = model.switcherTakenWarning(); !taken.empty())
    addWarning("onboarding.switcher.takenWarning",
               {onboardingLabel(page, "takenWarningText", taken, font::kCaption, false, Color::primary, true)});
  if (model.showsSpotlightWarning())
    addWarning("onboarding.switcher.warning",
               {onboardingLabel(page, "warningTitle", onboarding_literal::kSpotlightWarningTitle, font::kCaption, true,
                                Color::primary, true),
                onboardingLabel(page, "warningBody", onboarding_literal::kSpotlightWarningBody, font::kCaption2,
                                false, Color::secondary, true)});
  column->addWidget(onboardingLabel(page, "onboarding.switcher.footer", onboarding_literal::kSwitcherFooter,
                                    font::kCaption2, false, Color::secondary, true, Qt::AlignHCenter));
}

// ------------------------------------------------------ start at login

void buildStartupPage(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  auto* top = header(column, 8);
  addCentred(top, onboardingSymbol(page, "onboarding.startup.symbol", "power.circle.fill", 40, color(Color::accent, page)));
  addCentred(top, onboardingLabel(page, "onboarding.startup.title", model.text("onboarding_startup_title"),
                                  font::kTitle2, true));
  top->addWidget(onboardingLabel(page, "onboarding.startup.subtitle", model.text("onboarding_startup_subtitle"),
                                 font::kSubheadline, false, Color::secondary, true, Qt::AlignHCenter));

  QVBoxLayout* content = nullptr;
  auto* box = listBox(page, "onboarding.startup.descriptionBox", 0.6, 12, 0, &content);
  content->addWidget(onboardingLabel(box, "onboarding.startup.description", model.text("onboarding_startup_desc"),
                                     font::kCaption, false, Color::secondary, true));
  column->addWidget(box);

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(12);
  auto* enable = onboardingButton(page, "onboarding.startup.enable", model.text("onboarding_startup_btn_enable"),
                                  color(Color::accent, page), 6);
  QObject::connect(enable, &QPushButton::clicked, page, [&model] { model.enableAutoStart(); });
  buttons->addWidget(enable);
  auto* skip = onboardingButton(page, "onboarding.startup.skip", model.text("onboarding_startup_btn_skip"), QColor(), 4);
  QObject::connect(skip, &QPushButton::clicked, page, [&model] { model.skipAutoStart(); });
  buttons->addWidget(skip);
  column->addLayout(buttons);
  column->addWidget(onboardingLabel(page, "onboarding.startup.note", model.text("onboarding_startup_note"),
                                    font::kCaption2, false, Color::secondary, true, Qt::AlignHCenter));
}

// -------------------------------------------------- statistics consent

void buildTelemetryPage(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  auto* top = header(column, 8);
  addCentred(top, onboardingSymbol(page, "onboarding.telemetry.symbol", "chart.bar.xaxis", 40,
                                   color(Color::accent, page)));
  top->addWidget(onboardingLabel(page, "onboarding.telemetry.title", model.text("onboarding_telemetry_title"),
                                 font::kTitle2, true, Color::primary, true, Qt::AlignHCenter));
  top->addWidget(onboardingLabel(page, "onboarding.telemetry.subtitle", model.text("onboarding_telemetry_subtitle"),
                                 font::kSubheadline, false, Color::secondary, true, Qt::AlignHCenter));

  QVBoxLayout* content = nullptr;
  auto* box = listBox(page, "onboarding.telemetry.points", 0.6, 10, 10, &content);
  int index = 0;
  for (const auto& point : model.telemetryPoints()) {
    auto* row = new FeatureRow(point.icon, point.text, color(point.color, page), box);
    row->setObjectName(QStringLiteral("onboarding.telemetry.point%1").arg(++index));
    content->addWidget(row);
  }
  column->addWidget(box);

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(12);
  auto* agree = onboardingButton(page, "onboarding.telemetry.agree", model.text("onboarding_telemetry_btn_agree"),
                                 color(Color::accent, page), 6);
  QObject::connect(agree, &QPushButton::clicked, page, [&model] { model.answerTelemetry(true); });
  buttons->addWidget(agree);
  auto* decline = onboardingButton(page, "onboarding.telemetry.decline",
                                   model.text("onboarding_telemetry_btn_decline"), QColor(), 4);
  QObject::connect(decline, &QPushButton::clicked, page, [&model] { model.answerTelemetry(false); });
  buttons->addWidget(decline);
  auto* inspect = onboardingLinkButton(page, "onboarding.telemetry.inspect",
                                       model.text("onboarding_telemetry_btn_inspect"), font::kCaption);
  QObject::connect(inspect, &QPushButton::clicked, page, [&model] { model.inspectPayload(); });
  buttons->addWidget(inspect, 0, Qt::AlignHCenter);
  column->addLayout(buttons);
  column->addWidget(onboardingLabel(page, "onboarding.telemetry.note", model.text("onboarding_telemetry_note"),
                                    font::kCaption2, false, Color::secondary, true, Qt::AlignHCenter));
}

// --------------------------------------------------------- cheat sheet

// The box of hot keys, with the instant-undo hint where it applies.
void addHotkeyShortcuts(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  QVBoxLayout* content = nullptr;
  auto* box = listBox(page, "onboarding.hotkey.shortcuts", 0.6, 12, 8, &content);
  content->addWidget(onboardingLabel(box, "onboarding.hotkey.title", model.text("onboarding_hotkey_title"),
                                     font::kHeadline, true));
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(6);
  int index = 0;
  for (const auto& row : model.hotkeyRows()) {
    auto* pill = new HotkeyPill(row.keys, box);
    pill->setObjectName(QStringLiteral("onboarding.hotkey.keys%1").arg(index));
    grid->addWidget(pill, index, 0, Qt::AlignLeft | Qt::AlignVCenter);
    auto* cell = new QHBoxLayout;
    cell->setSpacing(4);
    cell->addWidget(onboardingLabel(box, QStringLiteral("onboarding.hotkey.text%1").arg(index), row.text,
                                    font::kCaption, false, Color::primary, true),
                    1);
    if (row.optionBadge) {
      auto* badge = new RoundedBox(withOpacity(color(Color::blue, page), 0.15), 3, box);
      badge->setObjectName(QStringLiteral("onboarding.hotkey.badge%1").arg(index));
      auto* badgeLayout = new QHBoxLayout(badge);
      badgeLayout->setContentsMargins(4, 1, 4, 1);
      badgeLayout->addWidget(onboardingLabel(badge, "badgeText", onboarding_literal::kOptionBadge, 9, true, Color::blue));
      cell->addWidget(badge, 0, Qt::AlignVCenter);
    }
    grid->addLayout(cell, index, 1);
    ++index;
  }
  grid->setColumnStretch(1, 1);
  content->addLayout(grid);
  if (model.showsInstantUndoHint()) {
    auto* hint = new QHBoxLayout;
    hint->setContentsMargins(0, 2, 0, 0);
    hint->setSpacing(6);
    hint->addWidget(onboardingSymbol(box, "onboarding.hotkey.hintSymbol", "delete.backward.fill", font::kCaption2,
                                     color(Color::orange, page)));
    hint->addWidget(onboardingLabel(box, "onboarding.hotkey.hint", model.text("onboarding_hotkey_instant_undo"),
                                    font::kCaption2, false, Color::secondary, true), 1);
    content->addLayout(hint);
  }
  column->addWidget(box);
}

// The sandbox's prompt and its examples, each a raw text and its target.
void addSandboxExamples(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  auto* prompt = new QVBoxLayout;
  prompt->setSpacing(6);
  prompt->addWidget(onboardingLabel(page, "onboarding.sandbox.prompt", model.text("onboarding_sandbox_prompt"),
                                    font::kCaption, false, Color::secondary, true));
  auto* examples = new QHBoxLayout;
  examples->setSpacing(12);
  examples->addStretch(1);
  int index = 0;
  for (const auto& example : model.sandboxExamples()) {
    auto* item = new QVBoxLayout;
    item->setSpacing(2);
    auto* raw = new RoundedBox(withOpacity(color(Color::secondary, page), 0.15), 5, page);
    raw->setObjectName(QStringLiteral("onboarding.sandbox.example%1").arg(index));
    auto* rawLayout = new QHBoxLayout(raw);
    rawLayout->setContentsMargins(8, 3, 8, 3);
    auto* rawLabel = onboardingLabel(raw, QStringLiteral("onboarding.sandbox.raw%1").arg(index), example.raw,
                                     font::kCaption);
    QFont mono = rawLabel->font();
    mono.setFamily(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    rawLabel->setFont(mono);
    rawLayout->addWidget(rawLabel);
    item->addWidget(raw, 0, Qt::AlignHCenter);
    item->addWidget(onboardingLabel(page, QStringLiteral("onboarding.sandbox.target%1").arg(index),
                                    "→ " + example.target, font::kCaption2, false, Color::secondary),
                    0, Qt::AlignHCenter);
    examples->addLayout(item);
    ++index;
  }
  examples->addStretch(1);
  prompt->addLayout(examples);
  column->addLayout(prompt);
}

// The field to try the examples in.
void addSandboxField(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  auto* field = new QLineEdit(page);
  field->setObjectName("onboarding.sandbox.field");
  field->setPlaceholderText(QString::fromStdString(model.text("onboarding_sandbox_placeholder")));
  field->setAccessibleName(field->placeholderText());
  field->setAccessibleDescription(QString::fromStdString(model.text("onboarding_sandbox_prompt")));
  field->setText(QString::fromStdString(model.sandboxText()));
  QFont fieldFont = field->font();
  fieldFont.setPixelSize(16);
  field->setFont(fieldFont);
  QColor ring = withOpacity(color(Color::accent, page), 0.4);
  field->setStyleSheet(QStringLiteral("QLineEdit { padding: 10px; border-radius: 8px; border: 1.5px solid %1;"
                                      " background: palette(base); }")
                           .arg(ring.name(QColor::HexArgb)));
  QObject::connect(field, &QLineEdit::textEdited, page,
                   [&model](const QString& text) { model.setSandboxText(text.toStdString()); });
  column->addWidget(field);
}

void buildHotkeyPage(OnboardingModel& model, QWidget* page, QVBoxLayout* column) {
  auto* top = header(column, 4);
  top->addWidget(onboardingLabel(page, "onboarding.hotkey.readyTitle", model.text("onboarding_sandbox_ready_title"),
                                 font::kTitle2, true, Color::primary, true, Qt::AlignHCenter));
  top->addWidget(onboardingLabel(page, "onboarding.hotkey.readySubtitle",
                                 model.text("onboarding_sandbox_ready_subtitle"), font::kSubheadline, false,
                                 Color::secondary, true, Qt::AlignHCenter));

  addHotkeyShortcuts(model, page, column);
  addSandboxExamples(model, page, column);
  addSandboxField(model, page, column);

  auto* finish = onboardingButton(page, "onboarding.hotkey.finish", model.text("onboarding_btn_get_started"),
                                  color(Color::accent, page), 6);
  QObject::connect(finish, &QPushButton::clicked, page, [&model] { model.finish(); });
  column->addWidget(finish);
}

}  // namespace

const char* onboardingPageObjectName(Page page) {
  switch (page) {
    case Page::level: return "onboarding.page.level";
    case Page::permission: return "onboarding.page.permission";
    case Page::switcher: return "onboarding.page.switcher";
    case Page::startup: return "onboarding.page.startup";
    case Page::telemetry: return "onboarding.page.telemetry";
    case Page::hotkey: return "onboarding.page.hotkey";
  }
  return "onboarding.page.hotkey";
}

QWidget* makeOnboardingPage(OnboardingModel& model, QWidget* parent) {
  Page kind = model.page();
  auto* page = new QWidget(parent);
  page->setObjectName(onboardingPageObjectName(kind));
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(OnboardingModel::pageSpacing(kind));
  switch (kind) {
    case Page::level: buildLevelPage(model, page, column); break;
    case Page::permission: buildPermissionPage(model, page, column); break;
    case Page::switcher: buildSwitcherPage(model, page, column); break;
    case Page::startup: buildStartupPage(model, page, column); break;
    case Page::telemetry: buildTelemetryPage(model, page, column); break;
    case Page::hotkey: buildHotkeyPage(model, page, column); break;
  }
  return page;
}

}  // namespace tessa
