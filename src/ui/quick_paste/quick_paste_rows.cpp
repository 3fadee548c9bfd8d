// The quick-paste panel's list: one row per entry on show (its body by
// kind, its buttons, its look while hovered or selected), built again only
// when the entries change.
#include "ui/quick_paste/quick_paste_panel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/quick_paste/quick_paste_preview.h"
#include "ui/quick_paste/quick_paste_widgets.h"
#include "ui/sheets/sheet_parts.h"
#include "ui/symbol_icons.h"

namespace tessa {
namespace {

using namespace quick_paste;
using parts::qs;
using parts::TextStyle;
using Item = CopyCacheItem;

std::string rowSignature(const QuickPasteRowModel& r) {
  return r.id + '\x1f' + std::to_string(r.number) + '\x1f' + r.title + '\x1f' + r.detail + '\x1f' + r.sourceAppName +
         '\x1f' + r.suggestion.value_or("") + '\x1f' + r.keywordBadge.value_or("") + '\x1f' +
         (r.pinned ? "p" : "") + '\x1f' + r.sizeText + '\x1f' + std::to_string(r.thumbnailBase64.size());
}

}  // namespace

QPixmap QuickPastePanelWindow::thumbnail(const std::string& id, const std::string& base64) {
  QString key = qs(id);
  auto it = thumbnails_.find(key);
  if (it != thumbnails_.end()) return it.value();
  QImage image;
  if (!base64.empty()) image.loadFromData(QByteArray::fromBase64(QByteArray::fromStdString(base64)));
  QPixmap pixmap;
  if (!image.isNull())
    pixmap = QPixmap::fromImage(
        image.scaled(36, 36, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation).copy(0, 0, 36, 36));
  thumbnails_.insert(key, pixmap);
  return pixmap;
}

std::optional<Item> QuickPastePanelWindow::visibleItem(const std::string& id) const {
  for (auto& item : controller_.manager().filteredItems())
    if (item.id == id) return item;
  return std::nullopt;
}

void QuickPastePanelWindow::fillTextBody(QWidget* body, const QuickPasteRowModel& row) {
  const QColor blue = parts::pageColor(HudColor::blue);
  const std::string id = row.id;
  auto* v = new QVBoxLayout(body);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(3);
  auto* line = new QHBoxLayout;
  line->setSpacing(6);
  if (row.keywordBadge)
    line->addWidget(
        badge(body, "quickPasteRowKeyword", qs(*row.keywordBadge), blue, alpha(blue, 0.15), 11, true, true));
  if (row.richTextBadge) {
    QColor purple = parts::pageColor(HudColor::purple);
    line->addWidget(badge(body, "quickPasteRowRtf", "RTF", purple, alpha(purple, 0.15), 9, true, true));
  }
  line->addWidget(elided(body, "quickPasteRowTitle", qs(row.title), TextStyle::body,
                         row.selected ? QFont::DemiBold : QFont::Normal, palette().color(QPalette::WindowText)),
                  1);
  line->addWidget(sourceLabel(body, row));
  v->addLayout(line);
  if (row.suggestion) {
    auto* s = new QHBoxLayout;
    s->setSpacing(6);
    s->addWidget(parts::symbol(body, "quickPasteRowSparkles", "sparkles", 11, blue));
    s->addWidget(elided(body, "quickPasteRowSuggestion", qs(*row.suggestion), TextStyle::caption2, QFont::Medium,
                        blue),
                 1);
    auto* convert = new QPushButton(qs(row.pasteConvertedLabel), body);
    convert->setObjectName("quickPasteRowPasteConverted");
    convert->setCursor(Qt::PointingHandCursor);
    QFont f = monospaced(convert->font());
    f.setPixelSize(10);
    f.setBold(true);
    convert->setFont(f);
    convert->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: %2; border: none; border-radius: 4px; "
                       "padding: 2px 6px; }")
            .arg(rgba(blue), rgba(alpha(blue, 0.15))));
    connect(convert, &QPushButton::clicked, this, [this, id] {
      if (auto item = visibleItem(id)) controller_.paste(*item, true);
    });
    s->addWidget(convert);
    v->addLayout(s);
  }
}

void QuickPastePanelWindow::fillImageBody(QWidget* body, const QuickPasteRowModel& row) {
  auto* h = new QHBoxLayout(body);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(8);
  QPixmap thumb = thumbnail(row.id, row.thumbnailBase64);
  auto* picture = new QLabel(body);
  picture->setFixedSize(36, 36);
  if (!thumb.isNull()) {
    picture->setObjectName("quickPasteRowThumbnail");
    picture->setPixmap(thumb);
  } else {
    picture->setObjectName("quickPasteRowThumbnailPlaceholder");
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(symbolPixmap("photo", 14, secondary(), false, devicePixelRatioF()));
    picture->setStyleSheet(QStringLiteral("QLabel { background: %1; border-radius: 4px; }")
                               .arg(rgba(alpha(secondary(), 0.25))));
  }
  h->addWidget(picture);
  auto* v = new QVBoxLayout;
  v->setSpacing(2);
  auto* line = new QHBoxLayout;
  line->addWidget(elided(body, "quickPasteRowTitle", qs(row.title), TextStyle::body,
                         row.selected ? QFont::DemiBold : QFont::Normal, palette().color(QPalette::WindowText)),
                  1);
  line->addWidget(sourceLabel(body, row));
  v->addLayout(line);
  auto* size = parts::label(body, "quickPasteRowDetail", qs(row.detail), TextStyle::caption2, QFont::Normal, false);
  parts::setTextColor(size, secondary());
  v->addWidget(size);
  h->addLayout(v, 1);
}

// Files, links and colours: a symbol or swatch beside two lines.
void QuickPastePanelWindow::fillIconBody(QWidget* body, const QuickPasteRowModel& row) {
  const QColor blue = parts::pageColor(HudColor::blue);
  auto* h = new QHBoxLayout(body);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(8);
  if (row.kind == QuickPasteRowKind::color) {
    auto* swatch = new QLabel(body);
    swatch->setObjectName("quickPasteRowSwatch");
    swatch->setFixedSize(24, 24);
    QColor c = QColor::fromRgbF(static_cast<float>(row.red), static_cast<float>(row.green),
                                static_cast<float>(row.blue), 1.0f);
    swatch->setProperty("swatchColor", c);
    swatch->setStyleSheet(QStringLiteral("QLabel { background: %1; border: 1px solid %2; border-radius: 4px; }")
                              .arg(rgba(c), rgba(alpha(secondary(), 0.5))));
    h->addWidget(swatch);
  } else {
    h->addWidget(parts::symbol(body, "quickPasteRowSymbol",
                               row.kind == QuickPasteRowKind::webURL ? "globe" : row.symbol, 16, blue));
  }
  auto* v = new QVBoxLayout;
  v->setSpacing(2);
  auto* line = new QHBoxLayout;
  QFont::Weight weight = QFont::Bold;
  auto* title = elided(body, "quickPasteRowTitle", qs(row.title), TextStyle::body, weight,
                       palette().color(QPalette::WindowText));
  if (row.kind == QuickPasteRowKind::color) title->setFont(monospaced(title->font()));
  line->addWidget(title, 1);
  line->addWidget(sourceLabel(body, row));
  v->addLayout(line);
  auto* second = new QHBoxLayout;
  if (!row.detail.empty())
    second->addWidget(elided(body, "quickPasteRowDetail", qs(row.detail), TextStyle::caption2, QFont::Normal,
                             secondary()),
                      1);
  if (row.kind == QuickPasteRowKind::files) {
    if (row.detail.empty()) second->addStretch(1);
    auto* size =
        parts::label(body, "quickPasteRowSize", qs(row.sizeText), TextStyle::caption2, QFont::Normal, false);
    parts::setTextColor(size, secondary());
    second->addWidget(size);
  }
  v->addLayout(second);
  h->addLayout(v, 1);
}

// Where the entry was copied from, at the end of the first line of every
// kind of row.
QLabel* QuickPastePanelWindow::sourceLabel(QWidget* body, const QuickPasteRowModel& row) {
  auto* source = parts::label(body, "quickPasteRowSource", qs(row.sourceAppName), TextStyle::caption2,
                              QFont::Normal, false);
  parts::setTextColor(source, secondary());
  return source;
}

// The preview, pin and delete buttons; built hidden on a row that is neither
// hovered nor selected, and shown when it becomes one.
QWidget* QuickPastePanelWindow::makeRowButtons(QWidget* frame, const QuickPasteRowModel& row) {
  const std::string id = row.id;
  auto* buttons = new QWidget(frame);
  buttons->setObjectName("quickPasteRowButtons");
  auto* b = new QHBoxLayout(buttons);
  b->setContentsMargins(0, 0, 0, 0);
  b->setSpacing(4);
  for (const auto& button : row.buttons) {
    const char* name = button.action == QuickPasteRowAction::preview ? "quickPasteRowPreview"
                       : button.action == QuickPasteRowAction::pin   ? "quickPasteRowPin"
                                                                     : "quickPasteRowDelete";
    auto* tb = symbolButton(buttons, name, button.symbol, 11, namedColor(button.color), qs(button.tooltip));
    QuickPasteRowAction action = button.action;
    connect(tb, &QToolButton::clicked, this, [this, id, action] {
      if (action == QuickPasteRowAction::pin) {
        controller_.togglePin(id);
      } else if (action == QuickPasteRowAction::remove) {
        controller_.deleteItem(id);
      } else if (auto item = visibleItem(id)) {
        controller_.openPreview(*item);
      }
    });
    b->addWidget(tb);
  }
  return buttons;
}

QWidget* QuickPastePanelWindow::makeRow(const QuickPasteRowModel& row) {
  auto* frame = new ClickFrame(list_->widget());
  frame->setObjectName(QStringLiteral("quickPasteRow_%1").arg(row.number));
  frame->setProperty("entryID", qs(row.id));
  auto* outer = new QHBoxLayout(frame);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->setSpacing(8);

  auto* number = new QLabel(qs(row.numberBadge), frame);
  number->setObjectName("quickPasteRowNumber");
  number->setAccessibleName(qs(row.numberAccessibility));
  {
    QFont f = monospaced(number->font());
    f.setPixelSize(11);
    f.setBold(true);
    number->setFont(f);
  }
  number->setAlignment(Qt::AlignCenter);
  number->setMinimumWidth(20);
  outer->addWidget(number, 0, Qt::AlignTop);

  auto* body = new QWidget(frame);
  body->setObjectName("quickPasteRowBody");
  const std::string id = row.id;
  const int rowNumber = row.number;
  switch (row.kind) {
    case QuickPasteRowKind::text: fillTextBody(body, row); break;
    case QuickPasteRowKind::image: fillImageBody(body, row); break;
    case QuickPasteRowKind::files:
    case QuickPasteRowKind::webURL:
    case QuickPasteRowKind::color: fillIconBody(body, row); break;
  }
  outer->addWidget(body, 1);
  outer->addWidget(makeRowButtons(frame, row), 0, Qt::AlignVCenter);

  frame->onClick = [this, id] {
    if (auto item = visibleItem(id)) controller_.paste(*item, false);
  };
  frame->onEnter = [this, id, rowNumber] { controller_.hoverEnter(id, rowNumber); };
  frame->onLeave = [this, id] { controller_.hoverExit(id); };
  return frame;
}

void QuickPastePanelWindow::applyRowState(QFrame* frame, const QuickPasteRowModel& row) {
  QColor background = row.selected  ? alpha(accent(), 0.14)
                      : row.hovered ? alpha(controlBackground(), 0.6)
                                    : alpha(controlBackground(), 0.25);
  QString border = row.selected  ? rgba(alpha(accent(), 0.4))
                   : row.pinned  ? rgba(alpha(parts::pageColor(HudColor::orange), 0.3))
                                 : QStringLiteral("transparent");
  frame->setStyleSheet(QStringLiteral("QFrame#%1 { background: %2; border: 1px solid %3; border-radius: 8px; }")
                           .arg(frame->objectName(), rgba(background), border));
  frame->setProperty("selected", row.selected);
  frame->setProperty("hovered", row.hovered);
  if (auto* number = frame->findChild<QLabel*>("quickPasteRowNumber")) {
    QColor bg = row.selected ? accent()
                : row.pinned ? alpha(parts::pageColor(HudColor::orange), 0.2)
                             : alpha(secondary(), 0.25);
    QColor fg = row.selected ? QColor(Qt::white)
                : row.pinned ? parts::pageColor(HudColor::orange)
                             : palette().color(QPalette::WindowText);
    int pad = row.numberBadge == "•" ? 6 : 5;
    number->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 4px; padding: 3px %3px; }")
                              .arg(rgba(fg), rgba(bg))
                              .arg(pad));
  }
  if (auto* title = frame->findChild<QLabel*>("quickPasteRowTitle");
      title && (row.kind == QuickPasteRowKind::text || row.kind == QuickPasteRowKind::image)) {
    QFont f = title->font();
    f.setWeight(row.selected ? QFont::DemiBold : QFont::Normal);
    title->setFont(f);
  }
  if (auto* buttons = frame->findChild<QWidget*>("quickPasteRowButtons"))
    buttons->setVisible(row.buttonsVisible);
}

void QuickPastePanelWindow::rebuildList() {
  auto rows = controller_.rows();
  const bool empty = rows.empty();
  list_->setVisible(!empty);
  emptyState_->setVisible(empty);
  if (empty) {
    auto state = controller_.emptyState();
    emptySymbol_->setPixmap(symbolPixmap(state.symbol, 32, alpha(secondary(), 0.6), false, devicePixelRatioF()));
    emptySymbol_->setProperty("symbol", qs(state.symbol));
    emptyMessage_->setText(qs(state.message));
  }
  std::vector<std::string> signatures;
  for (const auto& r : rows) signatures.push_back(rowSignature(r));
  auto* layout = static_cast<QVBoxLayout*>(list_->widget()->layout());
  if (signatures != rowSignatures_) {
    clearLayout(layout);
    rowFrames_.clear();
    for (const auto& r : rows) {
      auto* frame = static_cast<QFrame*>(makeRow(r));
      layout->addWidget(frame);
      rowFrames_.push_back(frame);
    }
    layout->addStretch(1);
    rowSignatures_ = std::move(signatures);
    // Thumbnails of entries no longer listed are dropped.
    for (auto it = thumbnails_.begin(); it != thumbnails_.end();) {
      bool listed = std::any_of(rows.begin(), rows.end(), [&](const auto& r) { return qs(r.id) == it.key(); });
      it = listed ? std::next(it) : thumbnails_.erase(it);
    }
  }
  const int selected = controller_.manager().selectedIndex.get();
  for (size_t k = 0; k < rows.size() && k < rowFrames_.size(); ++k) {
    applyRowState(rowFrames_[k], rows[k]);
    // Follow the keys, not the pointer: a hovered row is already in view.
    if (rows[k].selected && !rows[k].hovered && selected != lastSelectedShown_)
      list_->ensureWidgetVisible(rowFrames_[k], 0, 6);
  }
  lastSelectedShown_ = selected;
}

}  // namespace tessa
