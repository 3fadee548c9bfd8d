#include "ui/quick_paste/quick_paste_panel.h"

#include <atomic>
#include <memory>

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/hud/hud_window.h"
#include "ui/quick_paste/quick_paste_preview.h"
#include "ui/quick_paste/quick_paste_widgets.h"
#include "ui/screen_geometry.h"
#include "ui/sheets/sheet_parts.h"
#include "ui/symbol_icons.h"

#ifdef TESSAVINOR_HAVE_X11
#include "platform/x11/x11_event_system.h"
#endif

namespace tessa {
namespace {

using namespace quick_paste;
using parts::qs;
using parts::TextStyle;
using Item = CopyCacheItem;

}  // namespace

QuickPastePanelWindow::QuickPastePanelWindow(QuickPastePanelController& controller)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), controller_(controller) {
  setObjectName("quickPastePanel");
  // Without a compositing manager the see-through parts of a window come out
  // black and the list unreadable; there the panel is drawn opaque, with
  // square corners.
  translucent_ = windowSystemComposites(QGuiApplication::platformName());
  if (translucent_) setAttribute(Qt::WA_TranslucentBackground);
  setFixedSize(static_cast<int>(QuickPastePanelController::kWidth),
               static_cast<int>(QuickPastePanelController::kHeight));
  build();
  managerSubscription_ = controller_.manager().subscribeWillChange([this] { scheduleRefresh(); });
  refresh();
}

QuickPastePanelWindow::~QuickPastePanelWindow() {
  ++previewGeneration_;
  if (controller_.view() == this) controller_.setView(nullptr);
}

void QuickPastePanelWindow::build() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);
  content_ = new QWidget(this);
  content_->setObjectName("quickPasteContent");
  root->addWidget(content_);
  auto* column = new QVBoxLayout(content_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  buildHeader(column);
  buildTabsBar(column);
  buildList(column);
  buildEmptyState(column);
  buildFooter(column);

  overlay_ = new Backdrop(this);
  overlay_->setObjectName("quickPastePreviewOverlay");
  static_cast<Backdrop*>(overlay_)->onClick = [this] { controller_.closePreview(); };
  overlay_->hide();

  connect(search_, &QLineEdit::textEdited, this,
          [this](const QString& text) { controller_.setSearchText(text.toStdString()); });
  connect(search_, &QLineEdit::returnPressed, this, [this] { controller_.submitSearch(); });
  connect(clearSearch_, &QToolButton::clicked, this, [this] { controller_.setSearchText(""); });
  search_->installEventFilter(this);
  installEventFilter(this);
}

// Header: search, clear, the Escape hint. The search field keeps the rest of
// the panel's width, so its whole placeholder shows in either language.
void QuickPastePanelWindow::buildHeader(QVBoxLayout* column) {
  auto* header = new QWidget(content_);
  header->setObjectName("quickPasteHeader");
  auto* h = new QHBoxLayout(header);
  h->setContentsMargins(10, 10, 10, 10);
  h->setSpacing(8);
  h->addWidget(parts::symbol(header, "quickPasteSearchSymbol", "magnifyingglass", 13, secondary()));
  search_ = new QLineEdit(header);
  search_->setObjectName("quickPasteSearch");
  search_->setFrame(false);
  search_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
  {
    QFont f = search_->font();
    f.setPixelSize(kSearchFontSize);
    search_->setFont(f);
  }
  h->addWidget(search_, 1);
  clearSearch_ = symbolButton(header, "quickPasteClearSearch", "xmark.circle.fill", 13, secondary(), QString());
  clearSearch_->hide();
  h->addWidget(clearSearch_);
  escHint_ =
      badge(header, "quickPasteEscHint", "Esc", secondary(), alpha(secondary(), 0.25), 11, false, false, 5, 2, 4);
  h->addWidget(escHint_);
  column->addWidget(header);
  column->addWidget(parts::divider(content_));
}

// The category tabs.
void QuickPastePanelWindow::buildTabsBar(QVBoxLayout* column) {
  tabsBar_ = new QWidget(content_);
  tabsBar_->setObjectName("quickPasteTabs");
  tabsLayout_ = new QHBoxLayout(tabsBar_);
  tabsLayout_->setContentsMargins(8, 5, 8, 5);
  tabsLayout_->setSpacing(2);
  column->addWidget(tabsBar_);
  column->addWidget(parts::divider(content_));
}

// The list of entries.
void QuickPastePanelWindow::buildList(QVBoxLayout* column) {
  list_ = new QScrollArea(content_);
  list_->setObjectName("quickPasteList");
  list_->setWidgetResizable(true);
  list_->setFrameShape(QFrame::NoFrame);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* rowsHost = new QWidget(list_);
  rowsHost->setObjectName("quickPasteRows");
  if (translucent_) {
    list_->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    rowsHost->setAttribute(Qt::WA_TranslucentBackground);
  } else {
    // Drawn over the window's colour, or a scrolled or redrawn row leaves
    // its old pixels behind.
    rowsHost->setAutoFillBackground(true);
  }
  auto* rowsLayout = new QVBoxLayout(rowsHost);
  rowsLayout->setContentsMargins(10, 10, 10, 10);
  rowsLayout->setSpacing(6);
  rowsLayout->addStretch(1);
  list_->setWidget(rowsHost);
  list_->viewport()->setAutoFillBackground(!translucent_);
  column->addWidget(list_, 1);
}

// What shows instead of the list when nothing matches.
void QuickPastePanelWindow::buildEmptyState(QVBoxLayout* column) {
  emptyState_ = new QWidget(content_);
  emptyState_->setObjectName("quickPasteEmptyState");
  auto* e = new QVBoxLayout(emptyState_);
  e->setSpacing(8);
  e->addStretch(1);
  emptySymbol_ = new QLabel(emptyState_);
  emptySymbol_->setObjectName("quickPasteEmptySymbol");
  emptySymbol_->setAlignment(Qt::AlignCenter);
  e->addWidget(emptySymbol_);
  emptyMessage_ = parts::label(emptyState_, "quickPasteEmptyMessage", QString(), TextStyle::caption);
  emptyMessage_->setAlignment(Qt::AlignCenter);
  parts::setTextColor(emptyMessage_, secondary());
  e->addWidget(emptyMessage_);
  e->addStretch(1);
  column->addWidget(emptyState_, 1);
  column->addWidget(parts::divider(content_));
}

// Footer: the vault badge and the key hints.
void QuickPastePanelWindow::buildFooter(QVBoxLayout* column) {
  auto* footer = new QWidget(content_);
  footer->setObjectName("quickPasteFooter");
  auto* f = new QHBoxLayout(footer);
  f->setContentsMargins(12, 7, 12, 7);
  // The vault, and under it the screen-sharing note: the hints beside them
  // take two lines anyway.
  auto* left = new QVBoxLayout;
  left->setSpacing(3);
  auto* vault = new QHBoxLayout;
  vault->setSpacing(6);
  vault->addWidget(
      parts::symbol(footer, "quickPasteVaultSymbol", "shield.fill", 11, parts::pageColor(HudColor::green)));
  vaultBadge_ = parts::label(footer, "quickPasteVaultBadge", QString(), TextStyle::caption2, QFont::Normal, false);
  parts::setTextColor(vaultBadge_, secondary());
  vault->addWidget(vaultBadge_);
  left->addLayout(vault);
  shareBadge_ = badge(footer, "quickPasteShareBadge", QString(), parts::pageColor(HudColor::orange),
                      alpha(parts::pageColor(HudColor::orange), 0.12), 10, false, false, 6, 2, 4);
  left->addWidget(shareBadge_, 0, Qt::AlignLeft);
  f->addLayout(left);
  f->addSpacing(12);
  // The hints wrap to a second line rather than being cut where they are long.
  keyHints_ = parts::label(footer, "quickPasteKeyHints", QString(), TextStyle::caption2, QFont::Normal, true);
  keyHints_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  parts::setTextColor(keyHints_, secondary());
  f->addWidget(keyHints_, 1);
  column->addWidget(footer);
}

void QuickPastePanelWindow::scheduleRefresh() {
  // The manager announces a change before making it: draw on the next turn.
  refreshSoon_.request();
}

void QuickPastePanelWindow::refresh() {
  const QuickPasteTexts& t = controller_.texts();
  std::string language = t.thai ? "th" : "en";
  if (language != languageShown_) {
    languageShown_ = language;
    search_->setPlaceholderText(qs(t.searchPlaceholder));
    fitSearchFont();
    search_->setAccessibleName(qs(t.searchAccessibility));
    clearSearch_->setAccessibleName(qs(t.clearSearchAccessibility));
    clearSearch_->setToolTip(qs(t.clearSearchAccessibility));
    shareBadge_->setText(qs(t.shareBadge));
    shareBadge_->setToolTip(qs(t.shareBadgeTooltip));
    escHint_->setAccessibleName(qs(t.escapeAccessibility));
    vaultBadge_->setText(qs(t.vaultBadge));
    keyHints_->setText(qs(t.keyHints));
    rowSignatures_.clear();  // rows carry texts too
    previewShownID_.clear();
  }
  const std::string& searchText = controller_.manager().searchText.get();
  if (search_->text().toStdString() != searchText) search_->setText(qs(searchText));
  clearSearch_->setVisible(!searchText.empty());
  rebuildTabs();
  rebuildList();
  rebuildPreview();
}

void QuickPastePanelWindow::rebuildTabs() {
  clearLayout(tabsLayout_);
  for (const auto& tab : controller_.tabs()) {
    auto* frame = new ClickFrame(tabsBar_);
    static const char* kNames[] = {"all", "text", "image", "files", "color", "url"};
    QString name = QStringLiteral("quickPasteTab_%1").arg(kNames[static_cast<int>(tab.category)]);
    frame->setObjectName(name);
    frame->setCursor(Qt::PointingHandCursor);
    frame->setProperty("selected", tab.selected);
    QColor fg = tab.selected ? QColor(Qt::white) : secondary();
    frame->setStyleSheet(QStringLiteral("QFrame#%1 { background: %2; border-radius: 5px; }")
                             .arg(name, tab.selected ? rgba(accent()) : QStringLiteral("transparent")));
    auto* l = new QHBoxLayout(frame);
    l->setContentsMargins(6, 3, 6, 3);
    l->setSpacing(3);
    l->addWidget(parts::symbol(frame, "quickPasteTabSymbol", tab.symbol, 10, fg));
    auto* title = parts::label(frame, "quickPasteTabTitle", qs(tab.title), TextStyle::caption2,
                               tab.selected ? QFont::Bold : QFont::Normal, false);
    parts::setTextColor(title, fg);
    title->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    title->setMinimumWidth(title->fontMetrics().horizontalAdvance(title->text()) + 2);
    l->addWidget(title);
    if (tab.count > 0)
      l->addWidget(badge(frame, "quickPasteTabCount", QString::number(tab.count), fg,
                         tab.selected ? QColor(255, 255, 255, 64) : alpha(secondary(), 0.25), 9, true, true, 3));
    Item::Category category = tab.category;
    frame->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    frame->onClick = [this, category] { controller_.selectCategory(category); };
    tabsLayout_->addWidget(frame);
  }
  tabsLayout_->addStretch(1);
}

void QuickPastePanelWindow::startPreviewDecode(const std::string& id, const std::string& vaultID) {
  previewImageID_ = id;
  previewImage_ = QImage();
  const int generation = ++previewGeneration_;
  // The vault is opened here (it is the manager's, confined to this thread);
  // the slow part, decoding the picture, runs on a pool thread.
  std::optional<std::string> bytes;
  try {
    bytes = controller_.manager().openVault(vaultID);
  } catch (const std::exception&) {
    bytes.reset();
  }
  if (!bytes || bytes->empty()) return;
  ++previewDecodes_;
  QByteArray data = QByteArray::fromStdString(*bytes);
  QPointer<QuickPastePanelWindow> self(this);
  QThreadPool::globalInstance()->start([data, generation, self]() mutable {
    QImage image;
    image.loadFromData(data);
    data.clear();
    QMetaObject::invokeMethod(
        qApp,
        [self, generation, image = std::move(image)]() {
          if (!self || self->previewGeneration_ != generation) return;
          self->previewImage_ = image;
          self->previewShownID_.clear();
          self->rebuildPreview();
        },
        Qt::QueuedConnection);
  });
}

void QuickPastePanelWindow::rebuildPreview() {
  auto model = controller_.preview();
  if (!model) {
    overlay_->hide();
    previewShownID_.clear();
    if (!previewImageID_.empty() || !previewImage_.isNull()) {
      // Closed: the full picture is not kept.
      previewImageID_.clear();
      previewImage_ = QImage();
      ++previewGeneration_;
    }
    return;
  }
  if (model->body == QuickPastePreviewBody::image && previewImageID_ != model->id)
    startPreviewDecode(model->id, model->vaultID);
  if (model->body != QuickPastePreviewBody::image && !previewImageID_.empty()) {
    previewImageID_.clear();
    previewImage_ = QImage();
    ++previewGeneration_;
  }
  overlay_->setGeometry(rect());
  overlay_->show();
  overlay_->raise();
  if (previewShownID_ == model->id) return;
  previewShownID_ = model->id;

  delete pane_;
  pane_ = new QFrame(overlay_);
  pane_->setObjectName("quickPastePreviewPane");
  pane_->setStyleSheet(QStringLiteral("QFrame#quickPastePreviewPane { background: %1; border-radius: 12px; }")
                           .arg(rgba(palette().color(QPalette::Window))));
  pane_->setFixedWidth(420);
  auto* v = new QVBoxLayout(pane_);
  v->setContentsMargins(16, 16, 16, 16);
  v->setSpacing(12);
  auto* header = new QHBoxLayout;
  header->setSpacing(6);
  header->addWidget(parts::symbol(pane_, "quickPastePreviewSymbol", model->symbol, 14, accent()));
  header->addWidget(parts::label(pane_, "quickPastePreviewTitle", qs(model->title), TextStyle::headline,
                                 QFont::DemiBold, false));
  header->addStretch(1);
  auto* close = symbolButton(pane_, "quickPastePreviewClose", "xmark.circle.fill", 16, secondary(), QString());
  connect(close, &QToolButton::clicked, this, [this] { controller_.closePreview(); });
  header->addWidget(close);
  v->addLayout(header);
  v->addWidget(parts::divider(pane_));
  v->addWidget(quick_paste::makePreviewBody(*model, previewImageID_ == model->id ? previewImage_ : QImage(),
                                            palette().color(QPalette::WindowText), pane_));
  v->addWidget(parts::divider(pane_));
  auto* footer = new QHBoxLayout;
  footer->addStretch(1);
  auto* paste = new QPushButton(qs(model->pasteButton), pane_);
  paste->setObjectName("quickPastePreviewPaste");
  paste->setDefault(true);
  paste->setCursor(Qt::PointingHandCursor);
  paste->setStyleSheet(QStringLiteral("QPushButton { color: white; background: %1; border: none; border-radius: 5px; "
                                      "padding: 4px 10px; }")
                           .arg(rgba(accent())));
  connect(paste, &QPushButton::clicked, this, [this] { controller_.pastePreviewed(); });
  footer->addWidget(paste);
  v->addLayout(footer);
  pane_->adjustSize();
  QSize size = pane_->sizeHint();
  size.setHeight(std::min(size.height(), height() - 20));
  pane_->setGeometry((width() - 420) / 2, (height() - size.height()) / 2, 420, size.height());
  pane_->show();
}

void QuickPastePanelWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  overlay_->setGeometry(rect());
}

void QuickPastePanelWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  double radius = translucent_ ? 12 : 0;
  path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  if (!translucent_) p.fillRect(rect(), palette().color(QPalette::Window));
  p.fillPath(path, palette().color(QPalette::Window));
  p.setPen(QPen(alpha(palette().color(QPalette::WindowText), 0.15), 1));
  p.drawPath(path);
}

void QuickPastePanelWindow::showAt(double x, double y) {
  QRect primary = primaryScreenGeometry();
  QRect target = toQtRect(Rect{x, y, QuickPastePanelController::kWidth, QuickPastePanelController::kHeight}, primary);
  move(target.topLeft());
  wasActive_ = false;
  lastSelectedShown_ = -2;
  refresh();
  show();
  raise();
  activateWindow();
  search_->setFocus();
}

void QuickPastePanelWindow::orderOut() { hide(); }

std::optional<std::pair<double, double>> QuickPastePanelWindow::pointerLocation() const {
  QRect primary = primaryScreenGeometry();
  if (primary.isEmpty()) return std::nullopt;
  Rect r = fromQtRect(QRect(QCursor::pos(), QSize(1, 1)), primary);
  return std::make_pair(r.x, r.y);
}

void QuickPastePanelWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::ActivationChange) return;
  // Another window took the focus: hide without handing it back.
  const bool active = isActiveWindow();
  if (wasActive_ && !active && QWidget::isVisible()) controller_.windowDidResignKey();
  wasActive_ = active;
}

std::optional<QuickPasteKey> QuickPastePanelWindow::translateKey(int qtKey, Qt::KeyboardModifiers modifiers,
                                                                 quint32 nativeScanCode) {
  QuickPasteKey key;
  if (modifiers & Qt::ControlModifier) key.flags |= flags::command;
  if (modifiers & Qt::AltModifier) key.flags |= flags::option;
  if (modifiers & Qt::ShiftModifier) key.flags |= flags::shift;
  if (modifiers & Qt::MetaModifier) key.flags |= flags::control;
#ifdef TESSAVINOR_HAVE_X11
  // The key's position, not its character: the digit row types Thai
  // characters in the Thai layout and is still the digit row.
  if (nativeScanCode != 0) {
    if (auto code = X11EventSystem::keyCodeForX(nativeScanCode)) {
      key.keyCode = *code;
      return key;
    }
  }
#endif
  const bool keypad = modifiers & Qt::KeypadModifier;
  switch (qtKey) {
    case Qt::Key_Escape: key.keyCode = keycode::escape; break;
    case Qt::Key_Space: key.keyCode = keycode::space; break;
    case Qt::Key_Down: key.keyCode = keycode::down; break;
    case Qt::Key_Up: key.keyCode = keycode::up; break;
    case Qt::Key_Return: key.keyCode = keycode::returnKey; break;
    case Qt::Key_Enter: key.keyCode = keycode::keypadEnter; break;
    case Qt::Key_Backspace: key.keyCode = keycode::deleteKey; break;
    case Qt::Key_O: key.keyCode = keycode::o; break;
    default:
      if (qtKey >= Qt::Key_1 && qtKey <= Qt::Key_9 && !keypad) {
        static constexpr uint16_t kDigits[] = {keycode::one, keycode::two, keycode::three, keycode::four, keycode::five,
                                               keycode::six, keycode::seven, keycode::eight, keycode::nine};
        key.keyCode = kDigits[qtKey - Qt::Key_1];
        break;
      }
      return std::nullopt;
  }
  return key;
}

// The placeholder is set in 13 px; where this desktop's font is wider than
// the field has room for, the field steps down a pixel at a time (to 11 px
// at least) until the whole placeholder shows.
void QuickPastePanelWindow::fitSearchFont() {
  // The clear button shows only over a search, when the placeholder does not:
  // typing never changes the text's size.
  if (clearSearch_->isVisibleTo(this)) return;
  // QLineEdit keeps 2 pixels on either side of its text.
  const int room = search_->contentsRect().width() - 4;
  QFont f = search_->font();
  for (int size = kSearchFontSize; size >= kSmallestSearchFontSize; --size) {
    f.setPixelSize(size);
    if (QFontMetrics(f).horizontalAdvance(search_->placeholderText()) <= room) break;
  }
  if (f != search_->font()) search_->setFont(f);
}

bool QuickPastePanelWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == search_ && event->type() == QEvent::Resize) fitSearchFont();
  // Keys the search field passes on bubble up to the panel: each is seen once.
  const bool first = watched == search_ || !search_->hasFocus();
  if (event->type() == QEvent::KeyPress && first) {
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (auto key = translateKey(keyEvent->key(), keyEvent->modifiers(), keyEvent->nativeScanCode())) {
      if (controller_.handleKeyDown(*key)) {
        event->accept();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tessa
