#pragma once
// The clipboard settings page: the switch that turns the history on (off
// until the user chooses it), clear on quit and the quick-paste button; the
// pinned snippets with their add sheet; the history list with search, copy,
// pin, delete and clear all; and the privacy notes. Everything it changes
// goes through the clipboard history's manager; it redraws on each of the
// manager's changes.
#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <atomic>

#include "ui/coalesced_call.h"
#include "app_core/dashboard/copy_cache_settings_model.h"
#include "base/observable.h"
#include "ui/dashboard/pages/page_parts.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace tessa {

// The add-snippet sheet: the text, the optional keyword, Cancel and Save.
class AddSnippetSheet final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 420;
  AddSnippetSheet(CopyCacheSettingsModel& model, QWidget* parent);

 private:
  CopyCacheSettingsModel& model_;
  QPushButton* save_ = nullptr;
};

class CopyCacheSettingsPage final : public PageScrollArea {
  Q_OBJECT

 public:
  CopyCacheSettingsPage(CopyCacheSettingsEnvironment env, QWidget* parent = nullptr);
  ~CopyCacheSettingsPage() override;

  CopyCacheSettingsModel& model() { return model_; }
  // The sheet and the clear-all confirmation while they are open
  // (window-modal, opened with open()).
  AddSnippetSheet* addSnippetSheet() const { return sheet_; }
  QMessageBox* clearAllConfirmation() const { return confirmation_; }
  void refresh();

 private:
  void build();
  QGroupBox* buildOperationBox(QWidget* parent);
  QFrame* buildSetAsideNote(QWidget* parent);
  QGroupBox* buildPinnedBox(QWidget* parent);
  QGroupBox* buildHistoryBox(QWidget* parent);
  QGroupBox* buildPrivacyBox(QWidget* parent);
  QWidget* historyRow(const CopyCacheItem& item, QWidget* parent);
  QWidget* pinnedRow(size_t position, const CopyCacheItem& snippet, QWidget* parent);
  QPushButton* iconButton(const std::string& symbol, const QColor& color, const QString& toolTip,
                          QWidget* parent, const char* name);
  QPushButton* copyButton(const std::string& id, QWidget* parent);
  void rebuildLists();
  void scheduleRefresh();
  void showAddSnippetSheet();
  void showClearAllConfirmation();

  CopyCacheSettingsModel model_;
  Subscription managerChanges_;
  CoalescedCall refreshSoon_{this, [this] { refresh(); }};

  QCheckBox* enableSwitch_ = nullptr;
  QLabel* enabledNote_ = nullptr;
  QCheckBox* clearOnQuitSwitch_ = nullptr;
  QPushButton* openPanelButton_ = nullptr;
  QFrame* setAsideNote_ = nullptr;
  QLabel* setAsideTitle_ = nullptr;
  QLabel* setAsideDetail_ = nullptr;
  QPushButton* setAsideDismiss_ = nullptr;
  QGroupBox* pinnedBox_ = nullptr;
  QLabel* pinnedCount_ = nullptr;
  QLabel* pinnedEmpty_ = nullptr;
  QWidget* pinnedList_ = nullptr;
  QVBoxLayout* pinnedListLayout_ = nullptr;
  QGroupBox* historyBox_ = nullptr;
  QLabel* historyCount_ = nullptr;
  QLineEdit* searchField_ = nullptr;
  QPushButton* clearAllButton_ = nullptr;
  QLabel* historyEmpty_ = nullptr;
  QWidget* historyList_ = nullptr;
  QVBoxLayout* historyListLayout_ = nullptr;
  QPointer<AddSnippetSheet> sheet_;
  QPointer<QMessageBox> confirmation_;
};

}  // namespace tessa
