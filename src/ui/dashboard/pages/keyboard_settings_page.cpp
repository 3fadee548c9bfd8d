#include "ui/dashboard/pages/keyboard_settings_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/dashboard/pages/option_card.h"
#include "ui/dashboard/pages/page_parts.h"
#include "ui/sheets/accessibility_consent_box.h"
#include "ui/system_colors.h"

namespace tessa {

using namespace page_parts;

KeyboardSettingsPage::KeyboardSettingsPage(EngineSettings settings, EngineAccessibility accessibility,
                                           EngineContext context, HudNotices hud, LoginItemAccess loginItems,
                                           QWidget* parent)
    : PageScrollArea(parent),
      model_(std::move(settings), std::move(accessibility), std::move(context), std::move(hud),
             std::move(loginItems)),
      settings_(model_.settings()) {
  build();
  refresh();
  engineChanges_ = settings_.subscribeWillChange([this] { scheduleRefresh(); });
}

KeyboardSettingsPage::~KeyboardSettingsPage() {
  // Its answer would reach the model, which goes with this page.
  if (consent_) {
    consent_->disconnect();
    delete consent_;
  }
}

void KeyboardSettingsPage::scheduleRefresh() {
  // The engine announces a change before storing it: read it once the write
  // is done, on this page's thread, and only while the page exists.
  refreshSoon_.request();
}

void KeyboardSettingsPage::showEvent(QShowEvent* event) {
  PageScrollArea::showEvent(event);
  // The search shortcut and other programs' keys change outside the engine:
  // read them again.
  refresh();
}

QComboBox* KeyboardSettingsPage::intensityPicker(const char* key, const char* accessibleName, const char* name,
                                                 QWidget* parent) {
  auto* picker = new QComboBox(parent);
  picker->setObjectName(name);
  picker->setAccessibleName(QString::fromUtf8(accessibleName));
  picker->setFixedWidth(120);
  for (const auto& option : KeyboardSettingsModel::hapticIntensityOptions())
    picker->addItem(qs(option.label), QVariant::fromValue<qlonglong>(option.value));
  std::string k = key;
  // Only the user's own pick writes; showing the current value does not.
  connect(picker, &QComboBox::activated, this, [this, picker, k](int index) {
    model_.pickIntensity(k, picker->itemData(index).toLongLong());
  });
  intensityPickers_[k] = picker;
  return picker;
}

void KeyboardSettingsPage::localize(QObject* target, const std::string& key) {
  localizedTexts_.emplace_back(target, key);
}

void KeyboardSettingsPage::build() {
  content_ = new QWidget(this);
  content_->setObjectName("keyboardSettingsContent");
  auto* column = new QVBoxLayout(content_);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(16);
  column->addWidget(buildSwitchKeyBox());
  column->addWidget(buildSpotlightBox());
  column->addWidget(buildNoteBox());
  column->addWidget(buildCompatibilityBox());
  column->addWidget(buildStartupBox());
  column->addWidget(buildAppearanceBox());
  column->addWidget(buildHapticBox());
  buildSecurityButton();
  column->addSpacing(8);
  column->addWidget(securityButton_, 0, Qt::AlignLeft);
  column->addStretch(1);

  setWidget(content_);
}

void KeyboardSettingsPage::buildSecurityButton() {
  securityButton_ = new QPushButton(content_);
  securityButton_->setObjectName("securityButton");
  securityButton_->setDefault(true);
  localize(securityButton_, "settings_btn_security");
  connect(securityButton_, &QPushButton::clicked, this, [this] {
    model_.openSecuritySettings();
    if (model_.consent().isAsking() && !consent_) consent_ = openAccessibilityConsent(this, model_.consent());
  });
}

// Switch key.
QWidget* KeyboardSettingsPage::buildSwitchKeyBox() {
  QVBoxLayout* inner = nullptr;
  auto* switchBox = box(KeyboardSettingsModel::kSwitchKeyBoxTitle, content_, "switchKeyBox", 10, &inner);
  auto* heading = new QHBoxLayout;
  auto* title = label({}, switchBox, "switcherTitle", kSubheadline);
  localize(title, "settings_switcher_title");
  heading->addWidget(title, 0, Qt::AlignBaseline);
  heading->addStretch(1);
  // The guide has nowhere to lead yet; the link stays for its place.
  heading->addWidget(linkButton(KeyboardSettingsModel::kGuideLink, "questionmark.circle", switchBox, "guideLink"), 0,
                     Qt::AlignBaseline);
  inner->addLayout(heading);
  auto* cardColumn = new QVBoxLayout;
  cardColumn->setSpacing(8);
  for (const auto& card : model_.switcherCards()) {
    auto* widget = new OptionCard(card.content, switchBox);
    widget->setObjectName(QStringLiteral("switcherCard%1").arg(rawValue(card.value)));
    SwitcherKey value = card.value;
    connect(widget, &QAbstractButton::clicked, this, [this, value] {
      model_.selectSwitcherKey(value);
      refresh();
    });
    cards_.emplace_back(value, widget);
    cardColumn->addWidget(widget);
  }
  inner->addLayout(cardColumn);
  // Another program keeps the chosen key: said right under the cards.
  takenWarning_ = new QWidget(switchBox);
  takenWarning_->setObjectName("switcherTakenWarning");
  auto* takenRow = new QHBoxLayout(takenWarning_);
  takenRow->setContentsMargins(0, 0, 0, 0);
  takenRow->setSpacing(8);
  takenRow->addWidget(symbol("exclamationmark.triangle.fill", kCallout, systemColor(HudColor::orange), takenWarning_),
                      0, Qt::AlignTop);
  takenText_ = label({}, takenWarning_, "switcherTakenText", kCallout, true);
  takenRow->addWidget(takenText_, 1);
  inner->addWidget(takenWarning_);
  return switchBox;
}

// The search shortcut in the way of Command + Space.
QWidget* KeyboardSettingsPage::buildSpotlightBox() {
  QVBoxLayout* inner = nullptr;
  QColor secondary = secondaryColor(this);
  spotlightBox_ = box({}, content_, "spotlightBox", 10, &inner);
  auto* warnRow = new QHBoxLayout;
  warnRow->setSpacing(8);
  warnRow->addWidget(symbol("exclamationmark.triangle.fill", kHeadline, systemColor(HudColor::orange), spotlightBox_));
  auto* warnTitle = label(KeyboardSettingsModel::kSpotlightHeading, spotlightBox_, "spotlightHeading", kHeadline);
  setWeight(warnTitle, QFont::DemiBold);
  warnRow->addWidget(warnTitle, 1);
  inner->addLayout(warnRow);
  auto* warnBody = label(KeyboardSettingsModel::kSpotlightBody, spotlightBox_, "spotlightBody", kCallout, true);
  setTextColor(warnBody, secondary);
  inner->addWidget(warnBody);
  auto* shortcuts = new QPushButton(KeyboardSettingsModel::kSpotlightButton, spotlightBox_);
  shortcuts->setObjectName("spotlightButton");
  connect(shortcuts, &QPushButton::clicked, this,
          [this] { model_.openURL(KeyboardSettingsModel::kShortcutSettingsURL); });
  inner->addWidget(shortcuts, 0, Qt::AlignLeft);
  return spotlightBox_;
}

// Notes on the chosen key; the lines are rebuilt for each key.
QWidget* KeyboardSettingsPage::buildNoteBox() {
  QVBoxLayout* inner = nullptr;
  QColor secondary = secondaryColor(this);
  noteBox_ = box(KeyboardSettingsModel::kNoteBoxTitle, content_, "noteBox", 12, &inner);
  auto* noteRow = new QHBoxLayout;
  noteRow->setSpacing(8);
  noteRow->addWidget(symbol("info.circle.fill", kTitle3, systemColor(HudColor::blue), noteBox_));
  noteHeading_ = label({}, noteBox_, "noteHeading", kSubheadline, true);
  noteRow->addWidget(noteHeading_, 1);
  inner->addLayout(noteRow);
  auto* lines = new QVBoxLayout;
  lines->setContentsMargins(4, 0, 0, 0);
  lines->setSpacing(8);
  for (int i = 0; i < 5; ++i) {
    auto* line = label({}, noteBox_, "", kCaption, true);
    line->setObjectName(QStringLiteral("noteLine%1").arg(i));
    line->setTextFormat(Qt::RichText);
    setTextColor(line, secondary);
    noteLines_.push_back(line);
    lines->addWidget(line);
  }
  inner->addLayout(lines);
  return noteBox_;
}

// Per-document input sources.
QWidget* KeyboardSettingsPage::buildCompatibilityBox() {
  QVBoxLayout* inner = nullptr;
  QColor secondary = secondaryColor(this);
  auto* compat = box(KeyboardSettingsModel::kCompatibilityBoxTitle, content_, "compatibilityBox", 10, &inner);
  auto* compatRow = new QHBoxLayout;
  compatRow->setSpacing(8);
  compatRow->addWidget(symbol("doc.badge.gearshape", kTitle3, systemColor(HudColor::orange), compat));
  auto* compatTitle = label({}, compat, "perDocTitle", kSubheadline, true);
  localize(compatTitle, "settings_per_doc_title");
  compatRow->addWidget(compatTitle, 1);
  inner->addLayout(compatRow);
  auto* compatBody = label({}, compat, "perDocDescription", kCaption, true);
  setTextColor(compatBody, secondary);
  localize(compatBody, "settings_per_doc_desc");
  inner->addWidget(compatBody);
  auto* perDoc = linkButton({}, "arrow.up.forward.app", compat, "perDocButton");
  localize(perDoc, "settings_per_doc_btn");
  connect(perDoc, &QPushButton::clicked, this,
          [this] { model_.openURL(KeyboardSettingsModel::kPerDocumentSettingsURL); });
  inner->addWidget(perDoc);
  // Another platform's settings pane opens nothing here.
  perDoc->setVisible(model_.canOpenURL(KeyboardSettingsModel::kPerDocumentSettingsURL));
  return compat;
}

// Start at login.
QWidget* KeyboardSettingsPage::buildStartupBox() {
  QVBoxLayout* inner = nullptr;
  QColor secondary = secondaryColor(this);
  auto* startup = box(KeyboardSettingsModel::kStartupBoxTitle, content_, "startupBox", 4, &inner);
  loginToggle_ = new QCheckBox(KeyboardSettingsModel::kStartupToggle, startup);
  loginToggle_->setObjectName("loginToggle");
  connect(loginToggle_, &QCheckBox::toggled, this, [this](bool on) {
    bool now = model_.setLoginItem(on);
    QSignalBlocker block(loginToggle_);
    loginToggle_->setChecked(now);
  });
  inner->addWidget(loginToggle_);
  auto* startupNote = label(KeyboardSettingsModel::kStartupNote, startup, "startupNote", kCaption2, true);
  setTextColor(startupNote, secondary);
  inner->addWidget(startupNote);
  if (!model_.isLoginItemAvailable()) {
    loginToggle_->setEnabled(false);
    auto* unavailable =
        label(KeyboardSettingsModel::kStartupUnavailable, startup, "startupUnavailable", kCaption2, true);
    setTextColor(unavailable, systemColor(HudColor::orange));
    inner->addWidget(unavailable);
  }
  return startup;
}

// Wording level.
QWidget* KeyboardSettingsPage::buildAppearanceBox() {
  QVBoxLayout* inner = nullptr;
  auto* appearance = box(KeyboardSettingsModel::kAppearanceBoxTitle, content_, "appearanceBox", 10, &inner);
  inner->addWidget(label(KeyboardSettingsModel::kLevelHeading, appearance, "levelHeading", kSubheadline));
  auto* segments = new QWidget(appearance);
  segments->setObjectName("levelPicker");
  segments->setAccessibleName(KeyboardSettingsModel::kLevelPickerLabel);
  auto* segmentRow = new QHBoxLayout(segments);
  segmentRow->setContentsMargins(0, 0, 0, 0);
  segmentRow->setSpacing(0);
  auto* group = new QButtonGroup(segments);
  auto segment = [&](const char* text, const char* name, CopywritingLevel level) {
    auto* b = new QPushButton(text, segments);
    b->setObjectName(name);
    b->setCheckable(true);
    group->addButton(b);
    connect(b, &QPushButton::clicked, this, [this, level] { model_.setCopywritingLevel(level); });
    segmentRow->addWidget(b);
    return b;
  };
  levelLayman_ = segment(KeyboardSettingsModel::kLevelLayman, "levelLayman", CopywritingLevel::layman);
  levelPro_ = segment(KeyboardSettingsModel::kLevelPro, "levelPro", CopywritingLevel::pro);
  segmentRow->addStretch(1);
  inner->addWidget(segments);
  return appearance;
}

// Haptic feedback.
QWidget* KeyboardSettingsPage::buildHapticBox() {
  QVBoxLayout* inner = nullptr;
  QColor secondary = secondaryColor(this);
  auto* haptic = box(KeyboardSettingsModel::kHapticBoxTitle, content_, "hapticBox", 10, &inner);
  auto* toggleRow = new QHBoxLayout;
  hapticToggle_ = new QCheckBox(haptic);
  hapticToggle_->setObjectName("hapticToggle");
  connect(hapticToggle_, &QCheckBox::toggled, this, [this](bool on) { model_.setHapticFeedbackEnabled(on); });
  toggleRow->addWidget(hapticToggle_, 0, Qt::AlignTop);
  auto* toggleTexts = new QVBoxLayout;
  toggleTexts->setSpacing(1);
  auto* hapticTitle = label({}, haptic, "hapticTitle", kSubheadline, true);
  localize(hapticTitle, "settings_haptic");
  toggleTexts->addWidget(hapticTitle);
  auto* hapticDesc = label({}, haptic, "hapticDescription", kCaption2, true);
  setTextColor(hapticDesc, secondary);
  localize(hapticDesc, "settings_haptic_desc");
  toggleTexts->addWidget(hapticDesc);
  hapticUnavailable_ = label({}, haptic, "hapticUnavailable", kCaption2, true);
  setTextColor(hapticUnavailable_, secondary);
  localize(hapticUnavailable_, "menu_haptic_unavailable");
  toggleTexts->addWidget(hapticUnavailable_);
  toggleRow->addLayout(toggleTexts, 1);
  inner->addLayout(toggleRow);
  intensityRows_ = new QWidget(haptic);
  intensityRows_->setObjectName("intensityRows");
  auto* rows = new QVBoxLayout(intensityRows_);
  rows->setContentsMargins(20, 0, 0, 0);
  rows->setSpacing(6);
  auto intensityRow = [&](const char* text, const char* key, const char* accessible, const char* name) {
    auto* row = new QHBoxLayout;
    row->addWidget(label(text, intensityRows_, "", kSubheadline));
    row->addStretch(1);
    row->addWidget(intensityPicker(key, accessible, name, intensityRows_));
    rows->addLayout(row);
  };
  intensityRow(KeyboardSettingsModel::kConfirmRow, KeyboardSettingsModel::kConfirmIntensityKey,
               KeyboardSettingsModel::kConfirmPickerLabel, "confirmIntensity");
  intensityRow(KeyboardSettingsModel::kAlertRow, KeyboardSettingsModel::kAlertIntensityKey,
               KeyboardSettingsModel::kAlertPickerLabel, "alertIntensity");
  inner->addWidget(intensityRows_);
  return haptic;
}

void KeyboardSettingsPage::refresh() {
  // The engine announces every write, counters included, several times a
  // second while typing; the texts and boxes are laid out again only when
  // something they show has changed.
  ShownState shown{settings_.appLanguage.get(),  settings_.appCopywritingLevel.get(), settings_.switcherKey.get(),
                   settings_.isHapticFeedbackEnabled.get(), model_.showsSecurityButton(),
                   model_.showsSpotlightWarning(), model_.switcherTakenWarning()};
  bool layoutChanged = shown != shownState_;
  shownState_ = shown;
  if (layoutChanged) refreshLayout();
  {
    QSignalBlocker block(loginToggle_);
    loginToggle_->setChecked(model_.loginToggleValue());
  }
  for (auto& [k, picker] : intensityPickers_) {
    QSignalBlocker block(picker);
    picker->setCurrentIndex(static_cast<int>(KeyboardSettingsModel::intensityIndex(model_.shownIntensity(k))));
  }
}

void KeyboardSettingsPage::refreshLayout() {
  for (auto& [target, key] : localizedTexts_) {
    QString text = qs(model_.text(key));
    if (auto* l = qobject_cast<QLabel*>(target)) l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(target)) b->setText(text);
  }

  SwitcherKey key = settings_.switcherKey.get();
  for (auto& [value, card] : cards_) card->setSelected(value == key);
  spotlightBox_->setVisible(model_.showsSpotlightWarning());
  takenWarning_->setVisible(!shownState_->switcherTaken.empty());
  takenText_->setText(qs(shownState_->switcherTaken));

  auto note = model_.noteBox();
  noteBox_->setVisible(note != KeyboardSettingsModel::NoteBox::none);
  noteHeading_->setText(qs(model_.noteHeading()));
  auto lines = model_.noteLines();
  for (size_t i = 0; i < noteLines_.size(); ++i) {
    noteLines_[i]->setVisible(i < lines.size());
    noteLines_[i]->setText(i < lines.size() ? withBoldMarks(qs(lines[i])) : QString());
  }

  bool pro = settings_.appCopywritingLevel.get() == CopywritingLevel::pro;
  levelLayman_->setChecked(!pro);
  levelPro_->setChecked(pro);
  {
    QSignalBlocker block(hapticToggle_);
    hapticToggle_->setChecked(settings_.isHapticFeedbackEnabled.get());
  }
  bool device = model_.hasHapticDevice();
  hapticToggle_->setEnabled(device);
  hapticUnavailable_->setVisible(!device);
  intensityRows_->setVisible(model_.showsIntensityRows());
  intensityRows_->setEnabled(device);
  securityButton_->setVisible(model_.showsSecurityButton());
  fitContent();
}

}  // namespace tessa
