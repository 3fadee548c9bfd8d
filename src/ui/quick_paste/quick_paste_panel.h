#pragma once
// The quick-paste panel's window: a frameless floating panel with the search
// field, the category tabs, the history list, the footer and, over all of it,
// the preview of one entry. It draws what its QuickPastePanelController says
// and hands it every key, click and hover; the list state stays in the
// clipboard history's manager.
#include <optional>
#include <string>

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "ui/coalesced_call.h"
#include "app_core/quick_paste/quick_paste_panel_controller.h"

class QFrame;
class QLabel;
class QLineEdit;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class QHBoxLayout;

namespace tessa {

class QuickPastePanelWindow final : public QWidget, public QuickPastePanelView {
  Q_OBJECT
 public:
  // [design] the search field's text size; [ours] the least it steps down to
  // so that its placeholder fits.
  static constexpr int kSearchFontSize = 13;
  static constexpr int kSmallestSearchFontSize = 11;  // [ours]

  explicit QuickPastePanelWindow(QuickPastePanelController& controller);
  ~QuickPastePanelWindow() override;

  // QuickPastePanelView
  void showAt(double x, double y) override;
  void orderOut() override;
  bool isVisible() const override { return QWidget::isVisible(); }
  std::optional<std::pair<double, double>> pointerLocation() const override;
  void refresh() override;

  // Whether the window is drawn see-through (a compositing manager runs).
  bool isTranslucent() const { return translucent_; }

  // How many times a full preview image was decoded (each entry once while
  // its preview stays open).
  int previewDecodeCount() const { return previewDecodes_; }
  // Whether the decoded preview image is held.
  bool holdsPreviewImage() const { return !previewImage_.isNull(); }

  // The key in the platform's codes: Ctrl is Command, Alt is Option, the
  // keypad's Enter and digits are keys of their own. None for a key the
  // panel has no use for.
  static std::optional<QuickPasteKey> translateKey(int qtKey, Qt::KeyboardModifiers modifiers,
                                                   quint32 nativeScanCode);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void build();
  // The panel's parts, top to bottom; each adds to `column`.
  void buildHeader(QVBoxLayout* column);
  void buildTabsBar(QVBoxLayout* column);
  void buildList(QVBoxLayout* column);
  void buildEmptyState(QVBoxLayout* column);
  void buildFooter(QVBoxLayout* column);
  void rebuildTabs();
  void rebuildList();
  void rebuildPreview();
  void scheduleRefresh();
  void startPreviewDecode(const std::string& id, const std::string& vaultID);
  QWidget* makeRow(const QuickPasteRowModel& row);
  void fillTextBody(QWidget* body, const QuickPasteRowModel& row);
  void fillImageBody(QWidget* body, const QuickPasteRowModel& row);
  void fillIconBody(QWidget* body, const QuickPasteRowModel& row);
  QLabel* sourceLabel(QWidget* body, const QuickPasteRowModel& row);
  void fitSearchFont();
  QWidget* makeRowButtons(QWidget* frame, const QuickPasteRowModel& row);
  void applyRowState(QFrame* frame, const QuickPasteRowModel& row);
  std::optional<CopyCacheItem> visibleItem(const std::string& id) const;
  QPixmap thumbnail(const std::string& id, const std::string& base64);

  QuickPastePanelController& controller_;
  Subscription managerSubscription_;
  CoalescedCall refreshSoon_{this, [this] { refresh(); }};
  bool wasActive_ = false;
  int lastSelectedShown_ = -2;

  QWidget* content_ = nullptr;
  QLineEdit* search_ = nullptr;
  QToolButton* clearSearch_ = nullptr;
  QHBoxLayout* tabsLayout_ = nullptr;
  QWidget* tabsBar_ = nullptr;
  QScrollArea* list_ = nullptr;
  QWidget* emptyState_ = nullptr;
  QLabel* emptySymbol_ = nullptr;
  QLabel* emptyMessage_ = nullptr;
  QWidget* overlay_ = nullptr;
  QWidget* pane_ = nullptr;
  QLabel* shareBadge_ = nullptr;
  QLabel* vaultBadge_ = nullptr;
  QLabel* keyHints_ = nullptr;
  QLabel* escHint_ = nullptr;

  // The rows on show and what they were built from; a change of hover or
  // selection restyles them, a change of entries builds them again.
  std::vector<std::string> rowSignatures_;
  std::vector<QFrame*> rowFrames_;
  std::string languageShown_;

  std::string previewShownID_;
  std::string previewImageID_;
  QImage previewImage_;
  int previewGeneration_ = 0;
  bool translucent_ = true;
  int previewDecodes_ = 0;
  QHash<QString, QPixmap> thumbnails_;
};

}  // namespace tessa
