#pragma once
// The keyboard settings page (tab 2): the switcher key as five option cards,
// the boxes that explain the chosen key, start at login, the wording level
// and haptic feedback. A thin view over KeyboardSettingsModel; it redraws
// whenever the engine announces a change.

#include <QMessageBox>
#include <QPointer>

#include <atomic>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "ui/coalesced_call.h"
#include "app_core/dashboard/keyboard_settings_model.h"
#include "base/observable.h"
#include "ui/dashboard/pages/page_parts.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tessa {

class OptionCard;

class KeyboardSettingsPage final : public PageScrollArea {
  Q_OBJECT

 public:
  KeyboardSettingsPage(EngineSettings settings, EngineAccessibility accessibility, EngineContext context,
                       HudNotices hud, LoginItemAccess loginItems, QWidget* parent = nullptr);
  ~KeyboardSettingsPage() override;

  KeyboardSettingsModel& model() { return model_; }
  // Reads everything again and shows it; runs after each engine change.
  void refresh();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void build();
  // One builder per box, in the page's order; each returns its box.
  QWidget* buildSwitchKeyBox();
  QWidget* buildSpotlightBox();
  QWidget* buildNoteBox();
  QWidget* buildCompatibilityBox();
  QWidget* buildStartupBox();
  QWidget* buildAppearanceBox();
  QWidget* buildHapticBox();
  void buildSecurityButton();
  // Shows `key`'s text on `target` at every refresh.
  void localize(QObject* target, const std::string& key);
  void refreshLayout();
  void scheduleRefresh();
  QComboBox* intensityPicker(const char* key, const char* accessibleName, const char* name, QWidget* parent);

  KeyboardSettingsModel model_;
  const EngineSettings& settings_;
  Subscription engineChanges_;
  CoalescedCall refreshSoon_{this, [this] { refresh(); }};
  // What the texts and boxes were last laid out for: the engine announces
  // every write, counters included, so the page compares what it shows.
  struct ShownState {
    std::string language;
    CopywritingLevel level;
    SwitcherKey key;
    bool haptic, securityButton, spotlightWarning;
    std::string switcherTaken;  // the warning that another program keeps the key
    bool operator==(const ShownState&) const = default;
  };
  std::optional<ShownState> shownState_;

  QWidget* content_ = nullptr;
  std::vector<std::pair<SwitcherKey, OptionCard*>> cards_;
  QWidget* takenWarning_ = nullptr;
  QLabel* takenText_ = nullptr;
  QGroupBox* spotlightBox_ = nullptr;
  QGroupBox* noteBox_ = nullptr;
  QLabel* noteHeading_ = nullptr;
  std::vector<QLabel*> noteLines_;
  QCheckBox* loginToggle_ = nullptr;
  QPushButton* levelLayman_ = nullptr;
  QPushButton* levelPro_ = nullptr;
  QCheckBox* hapticToggle_ = nullptr;
  QLabel* hapticUnavailable_ = nullptr;
  QWidget* intensityRows_ = nullptr;
  std::map<std::string, QComboBox*> intensityPickers_;
  QPushButton* securityButton_ = nullptr;
  QPointer<QMessageBox> consent_;  // the question before the grant, while open
  // Texts looked up by key at every refresh, so a change of level shows.
  std::vector<std::pair<QObject*, std::string>> localizedTexts_;
};

}  // namespace tessa
