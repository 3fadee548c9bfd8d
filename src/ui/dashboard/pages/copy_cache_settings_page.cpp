#include "ui/dashboard/pages/copy_cache_settings_page.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextLayout>
#include <QVBoxLayout>

#include "clipboard/copy_cache_manager.h"
#include "ui/dashboard/pages/option_card.h"
#include "ui/symbol_icons.h"
#include "ui/system_colors.h"

namespace tessa {

using namespace page_parts;

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

// Group box titles, check boxes and buttons read "&" as a mnemonic mark.
QString plain(const char* text) { return u8(text).replace(QLatin1Char('&'), QStringLiteral("&&")); }

QColor tintColor(CopyButtonLook::Tint tint, const QWidget* widget) {
  switch (tint) {
    case CopyButtonLook::Tint::green: return systemColor(HudColor::green);
    case CopyButtonLook::Tint::red: return systemColor(HudColor::red);
    case CopyButtonLook::Tint::secondary: break;
  }
  return secondaryColor(widget);
}

// A rounded tile behind a row or a message.
void setTileBackground(QWidget* tile, double opacity, int radius) {
  QColor fill = withOpacity(tile->palette().color(QPalette::Base), opacity);
  QColor stroke = withOpacity(tile->palette().color(QPalette::PlaceholderText), 0.15);
  tile->setAttribute(Qt::WA_StyledBackground, true);
  tile->setStyleSheet(QStringLiteral("#%1 { background: %2; border: 1px solid %3; border-radius: %4px; }")
                          .arg(tile->objectName(), fill.name(QColor::HexArgb), stroke.name(QColor::HexArgb))
                          .arg(radius));
}

// A small text badge with a tinted background.
QLabel* badge(const QString& text, const QColor& color, QWidget* parent, const char* name, bool bold) {
  QLabel* l = label(text, parent, name, kCaption2);
  QFont f = l->font();
  f.setStyleHint(QFont::Monospace);
  f.setFamily(QStringLiteral("monospace"));
  f.setBold(bold);
  l->setFont(f);
  l->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 4px; padding: 1px 5px; }")
                       .arg(color.name(), withOpacity(color, 0.15).name(QColor::HexArgb)));
  l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  return l;
}

// Wrapped text that never takes more than two lines: a longer text shows
// its first two and is cut below them.
class TwoLineLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  int heightForWidth(int width) const override {
    // Measured on the text itself: Thai lines are drawn in a fallback font
    // taller than the label's own font says.
    QTextLayout layout(text(), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    for (int i = 0; i < 2; ++i) {
      QTextLine line = layout.createLine();
      if (!line.isValid()) break;
      line.setLineWidth(width);
      height += line.height();
    }
    layout.endLayout();
    return std::min(QLabel::heightForWidth(width), static_cast<int>(std::ceil(height)) + 2);
  }
  QSize sizeHint() const override {
    QSize hint = QLabel::sizeHint();
    return {hint.width(), std::min(hint.height(), heightForWidth(hint.width()))};
  }
};

QLabel* twoLineLabel(const QString& text, QWidget* parent, const char* name, int pixelSize, bool bold) {
  auto* l = new TwoLineLabel(text, parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  QFont f = l->font();
  f.setPixelSize(pixelSize);
  if (bold) f.setWeight(QFont::Bold);
  l->setFont(f);
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  l->setSizePolicy(policy);
  return l;
}

// The stored thumbnail, when its text is strict Base64 of an image.
QPixmap thumbnail(const std::string& base64) {
  if (base64.empty()) return {};
  auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(base64),
                                                QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded) return {};
  QImage image;
  if (!image.loadFromData(*decoded)) return {};
  return QPixmap::fromImage(image);
}

// `source` scaled to fill a `side` square (aspect kept), rounded.
QPixmap roundedSquare(const QPixmap& source, int side, qreal ratio) {
  QPixmap out(QSize(side, side) * ratio);
  out.setDevicePixelRatio(ratio);
  out.fill(Qt::transparent);
  QPainter painter(&out);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  QPainterPath clip;
  clip.addRoundedRect(QRectF(0, 0, side, side), 4, 4);
  painter.setClipPath(clip);
  QSizeF scaled = QSizeF(source.size()).scaled(side, side, Qt::KeepAspectRatioByExpanding);
  painter.drawPixmap(QRectF((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled.width(),
                            scaled.height()),
                     source, QRectF(source.rect()));
  painter.setClipping(false);
  painter.setPen(QPen(QColor(128, 128, 128, 51), 0.5));
  painter.drawPath(clip);
  return out;
}

void clearLayout(QVBoxLayout* layout) {
  while (QLayoutItem* item = layout->takeAt(0)) {
    if (QWidget* w = item->widget()) {
      // The row may hold the button whose click brought us here.
      w->hide();
      w->setObjectName(QString());
      w->deleteLater();
    }
    delete item;
  }
}

}  // namespace

// ------------------------------------------------------------------- sheet

AddSnippetSheet::AddSnippetSheet(CopyCacheSettingsModel& model, QWidget* parent) : QDialog(parent), model_(model) {
  setObjectName("addSnippetSheet");
  setWindowModality(Qt::WindowModal);
  setFixedWidth(kWidth);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(16);

  auto* header = new QHBoxLayout;
  QLabel* title = label(u8(CopyCacheSettingsModel::kSheetTitle), this, "addSnippetTitle", kHeadline);
  setWeight(title, QFont::DemiBold);
  header->addWidget(title);
  header->addStretch(1);
  auto* cancel = new QPushButton(plain(CopyCacheSettingsModel::kCancel), this);
  cancel->setObjectName("cancelSnippetButton");
  cancel->setFlat(true);
  QFont cf = cancel->font();
  cf.setPixelSize(kCaption);
  cancel->setFont(cf);
  header->addWidget(cancel);
  column->addLayout(header);

  auto* textColumn = new QVBoxLayout;
  textColumn->setSpacing(6);
  QLabel* textLabel = label(u8(CopyCacheSettingsModel::kSnippetTextLabel), this, "snippetTextLabel", kCaption, true);
  setTextColor(textLabel, secondaryColor(this));
  textColumn->addWidget(textLabel);
  auto* editor = new QPlainTextEdit(this);
  editor->setObjectName("snippetTextEditor");
  editor->setFixedHeight(100);
  QFont ef = editor->font();
  ef.setPixelSize(13);
  editor->setFont(ef);
  editor->setPlainText(QString::fromStdString(model_.newSnippetText()));
  textColumn->addWidget(editor);
  column->addLayout(textColumn);

  auto* keywordColumn = new QVBoxLayout;
  keywordColumn->setSpacing(6);
  QLabel* keywordLabel = label(u8(CopyCacheSettingsModel::kKeywordLabel), this, "snippetKeywordLabel", kCaption, true);
  setTextColor(keywordLabel, secondaryColor(this));
  keywordColumn->addWidget(keywordLabel);
  auto* keyword = new QLineEdit(this);
  keyword->setObjectName("snippetKeywordField");
  keyword->setPlaceholderText(u8(CopyCacheSettingsModel::kKeywordPlaceholder));
  QFont kf = keyword->font();
  kf.setPixelSize(kCaption);
  keyword->setFont(kf);
  keyword->setText(QString::fromStdString(model_.newSnippetKeyword()));
  keywordColumn->addWidget(keyword);
  column->addLayout(keywordColumn);

  auto* footer = new QHBoxLayout;
  footer->addStretch(1);
  save_ = new QPushButton(plain(CopyCacheSettingsModel::kSaveSnippet), this);
  save_->setObjectName("saveSnippetButton");
  save_->setDefault(true);
  footer->addWidget(save_);
  column->addLayout(footer);

  auto sync = [this] { save_->setEnabled(model_.canSaveSnippet()); };
  connect(editor, &QPlainTextEdit::textChanged, this, [this, editor, sync] {
    model_.setNewSnippetText(editor->toPlainText().toStdString());
    sync();
  });
  connect(keyword, &QLineEdit::textChanged, this,
          [this](const QString& text) { model_.setNewSnippetKeyword(text.toStdString()); });
  connect(cancel, &QPushButton::clicked, this, [this] {
    model_.cancelAddSnippet();
    reject();
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    model_.saveSnippet();
    accept();
  });
  sync();
}

// -------------------------------------------------------------------- page

CopyCacheSettingsPage::CopyCacheSettingsPage(CopyCacheSettingsEnvironment env, QWidget* parent)
    : PageScrollArea(parent), model_(env) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  build();
  refresh();
  model_.setOnChange([this] { scheduleRefresh(); });
  if (env.manager) managerChanges_ = env.manager->subscribeWillChange([this] { scheduleRefresh(); });
}

CopyCacheSettingsPage::~CopyCacheSettingsPage() {
  managerChanges_.reset();
  for (QDialog* dialog : {static_cast<QDialog*>(sheet_.data()), static_cast<QDialog*>(confirmation_.data())}) {
    if (!dialog) continue;
    dialog->disconnect(this);
    delete dialog;
  }
}

void CopyCacheSettingsPage::scheduleRefresh() {
  // The manager announces a change before making it: draw once it is made.
  refreshSoon_.request();
}

void CopyCacheSettingsPage::build() {
  auto* content = new QWidget(this);
  content->setObjectName("copyCacheContent");
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(16);
  column->addWidget(buildOperationBox(content));
  setAsideNote_ = buildSetAsideNote(content);
  column->addWidget(setAsideNote_);
  pinnedBox_ = buildPinnedBox(content);
  column->addWidget(pinnedBox_);
  historyBox_ = buildHistoryBox(content);
  column->addWidget(historyBox_);
  column->addWidget(buildPrivacyBox(content));
  column->addStretch(1);
  setWidget(content);
}

QGroupBox* CopyCacheSettingsPage::buildOperationBox(QWidget* parent) {
  QVBoxLayout* column = nullptr;
  QGroupBox* group = box(plain(CopyCacheSettingsModel::kOperationTitle), parent, "operationBox", 8, &column);
  enableSwitch_ = new QCheckBox(plain(CopyCacheSettingsModel::kEnableSwitch), group);
  enableSwitch_->setObjectName("copyCacheEnableSwitch");
  connect(enableSwitch_, &QCheckBox::toggled, this, [this](bool on) {
    model_.setEnabled(on);
    refresh();
  });
  column->addWidget(enableSwitch_);
  enabledNote_ = label({}, group, "copyCacheEnabledNote", kCaption, true);
  setTextColor(enabledNote_, secondaryColor(this));
  column->addWidget(enabledNote_);
  clearOnQuitSwitch_ = new QCheckBox(plain(CopyCacheSettingsModel::kClearOnQuitSwitch), group);
  clearOnQuitSwitch_->setObjectName("copyCacheClearOnQuitSwitch");
  connect(clearOnQuitSwitch_, &QCheckBox::toggled, this, [this](bool on) { model_.setClearOnQuit(on); });
  column->addWidget(clearOnQuitSwitch_);
  openPanelButton_ = new QPushButton(plain(CopyCacheSettingsModel::kOpenPanelButton), group);
  openPanelButton_->setObjectName("openQuickPasteButton");
  openPanelButton_->setIcon(QIcon(symbolPixmap("doc.on.clipboard.fill", kCaption, systemColor(HudColor::accent),
                                               false, devicePixelRatioF())));
  openPanelButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  connect(openPanelButton_, &QPushButton::clicked, this, [this] { model_.openQuickPaste(); });
  column->addWidget(openPanelButton_, 0, Qt::AlignLeft);
  return group;
}

QFrame* CopyCacheSettingsPage::buildSetAsideNote(QWidget* parent) {
  auto* note = new QFrame(parent);
  note->setObjectName("historySetAsideNote");
  setTileBackground(note, 0.6, 8);
  auto* row = new QHBoxLayout(note);
  row->setContentsMargins(12, 10, 12, 10);
  row->setSpacing(10);
  row->addWidget(symbol("exclamationmark.triangle.fill", kSubheadline, systemColor(HudColor::orange), note,
                        "historySetAsideSymbol"),
                 0, Qt::AlignTop);
  auto* text = new QVBoxLayout;
  text->setSpacing(4);
  setAsideTitle_ = label({}, note, "historySetAsideTitle", kSubheadline, true);
  setWeight(setAsideTitle_, QFont::DemiBold);
  text->addWidget(setAsideTitle_);
  setAsideDetail_ = label({}, note, "historySetAsideDetail", kCaption, true);
  // The path can be selected and copied.
  setAsideDetail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text->addWidget(setAsideDetail_);
  row->addLayout(text, 1);
  setAsideDismiss_ = new QPushButton(note);
  setAsideDismiss_->setObjectName("historySetAsideDismiss");
  connect(setAsideDismiss_, &QPushButton::clicked, this, [this] {
    model_.dismissSetAsideNote();
    refresh();
  });
  row->addWidget(setAsideDismiss_, 0, Qt::AlignTop);
  return note;
}

QGroupBox* CopyCacheSettingsPage::buildPinnedBox(QWidget* parent) {
  QVBoxLayout* column = nullptr;
  QGroupBox* group = box(plain(CopyCacheSettingsModel::kPinnedTitle), parent, "pinnedSnippetsBox", 8, &column);
  auto* header = new QHBoxLayout;
  header->setSpacing(8);
  QLabel* line = label(u8(CopyCacheSettingsModel::kPinnedHeader), group, "pinnedHeader", kSubheadline, true);
  header->addWidget(line, 1);
  pinnedCount_ = label({}, group, "pinnedCount", kCaption);
  setTextColor(pinnedCount_, secondaryColor(this));
  header->addWidget(pinnedCount_);
  auto* add = new QPushButton(plain(CopyCacheSettingsModel::kAddSnippetButton), group);
  add->setObjectName("addSnippetButton");
  QFont f = add->font();
  f.setPixelSize(kCaption);
  add->setFont(f);
  add->setIcon(QIcon(symbolPixmap("plus", kCaption, palette().color(QPalette::ButtonText), false,
                                  devicePixelRatioF())));
  connect(add, &QPushButton::clicked, this, [this] { showAddSnippetSheet(); });
  header->addWidget(add);
  column->addLayout(header);

  pinnedEmpty_ = label(u8(CopyCacheSettingsModel::kPinnedEmpty), group, "pinnedEmptyMessage", kCaption, true);
  setTextColor(pinnedEmpty_, secondaryColor(this));
  column->addWidget(pinnedEmpty_);
  pinnedList_ = new QWidget(group);
  pinnedList_->setObjectName("pinnedSnippetList");
  pinnedListLayout_ = new QVBoxLayout(pinnedList_);
  pinnedListLayout_->setContentsMargins(0, 0, 0, 0);
  pinnedListLayout_->setSpacing(6);
  column->addWidget(pinnedList_);
  return group;
}

QGroupBox* CopyCacheSettingsPage::buildHistoryBox(QWidget* parent) {
  QVBoxLayout* column = nullptr;
  QGroupBox* group = box(plain(CopyCacheSettingsModel::kHistoryTitle), parent, "historyBox", 10, &column);
  // The title and its count, then the search and clear all on a line of
  // their own: in one line the title would be squeezed into a narrow column.
  auto* titleLine = new QHBoxLayout;
  titleLine->setSpacing(6);
  QLabel* title = label(u8(CopyCacheSettingsModel::kHistoryHeader), group, "historyTitle", kSubheadline, true);
  titleLine->addWidget(title, 1);
  historyCount_ = label({}, group, "historyCount", kCaption);
  setTextColor(historyCount_, secondaryColor(this));
  titleLine->addWidget(historyCount_);
  column->addLayout(titleLine);
  auto* header = new QHBoxLayout;
  header->setSpacing(6);
  header->addWidget(symbol("magnifyingglass", kCaption, secondaryColor(this), group, "historySearchSymbol"));
  searchField_ = new QLineEdit(group);
  searchField_->setObjectName("historySearchField");
  searchField_->setPlaceholderText(u8(CopyCacheSettingsModel::kSearchPlaceholder));
  searchField_->setFixedWidth(140);
  QFont sf = searchField_->font();
  sf.setPixelSize(kCaption);
  searchField_->setFont(sf);
  connect(searchField_, &QLineEdit::textChanged, this, [this](const QString& text) {
    model_.setSearchText(text.toStdString());
    refresh();
  });
  header->addWidget(searchField_);
  header->addStretch(1);
  clearAllButton_ = new QPushButton(plain(CopyCacheSettingsModel::kClearAll), group);
  clearAllButton_->setObjectName("clearAllButton");
  QFont cf = clearAllButton_->font();
  cf.setPixelSize(kCaption);
  clearAllButton_->setFont(cf);
  clearAllButton_->setIcon(QIcon(symbolPixmap("trash", kCaption, systemColor(HudColor::red), false,
                                              devicePixelRatioF())));
  clearAllButton_->setStyleSheet(QStringLiteral("QPushButton { color: %1; }").arg(systemColor(HudColor::red).name()));
  connect(clearAllButton_, &QPushButton::clicked, this, [this] {
    model_.requestClearAll();
    showClearAllConfirmation();
  });
  header->addWidget(clearAllButton_);
  column->addLayout(header);

  historyEmpty_ = label({}, group, "historyEmptyMessage", kCaption, true);
  setTextColor(historyEmpty_, secondaryColor(this));
  historyEmpty_->setContentsMargins(10, 10, 10, 10);
  setTileBackground(historyEmpty_, 0.3, 8);
  column->addWidget(historyEmpty_);
  historyList_ = new QWidget(group);
  historyList_->setObjectName("historyList");
  historyListLayout_ = new QVBoxLayout(historyList_);
  historyListLayout_->setContentsMargins(0, 0, 0, 0);
  historyListLayout_->setSpacing(6);
  column->addWidget(historyList_);
  return group;
}

QGroupBox* CopyCacheSettingsPage::buildPrivacyBox(QWidget* parent) {
  QVBoxLayout* column = nullptr;
  QGroupBox* group = box(plain(CopyCacheSettingsModel::kPrivacyTitle), parent, "privacyBox", 12, &column);
  auto* title = new QHBoxLayout;
  title->setSpacing(8);
  title->addWidget(symbol("lock.shield.fill", kTitle3, systemColor(HudColor::blue), group, "privacySymbol"));
  title->addWidget(label(u8(CopyCacheSettingsModel::kPrivacyHeading), group, "privacyHeading", kSubheadline, true),
                   1);
  column->addLayout(title);
  auto* notes = new QVBoxLayout;
  notes->setContentsMargins(4, 0, 0, 0);
  notes->setSpacing(8);
  int n = 0;
  for (const auto& note : CopyCacheSettingsModel::privacyNotes()) {
    std::string name = "privacyNote" + std::to_string(++n);
    QLabel* l = label(qs(note), group, "", kCaption, true);
    l->setObjectName(QString::fromStdString(name));
    setTextColor(l, secondaryColor(this));
    notes->addWidget(l);
  }
  column->addLayout(notes);
  return group;
}

QPushButton* CopyCacheSettingsPage::iconButton(const std::string& symbolName, const QColor& color,
                                               const QString& toolTip, QWidget* parent, const char* name) {
  auto* button = new QPushButton(parent);
  button->setObjectName(name);
  button->setFlat(true);
  button->setIcon(QIcon(symbolPixmap(symbolName, kCaption2, color, false, devicePixelRatioF())));
  button->setIconSize(QSize(symbolExtent(kCaption2), symbolExtent(kCaption2)));
  button->setFixedSize(symbolExtent(kCaption2) + 8, symbolExtent(kCaption2) + 8);
  button->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px; }"));
  button->setToolTip(toolTip);
  button->setProperty("symbol", qs(symbolName));
  pointingHandOnHover(button);
  return button;
}

QPushButton* CopyCacheSettingsPage::copyButton(const std::string& id, QWidget* parent) {
  CopyButtonLook look = model_.copyButton(id);
  QPushButton* button = iconButton(look.symbol, tintColor(look.tint, this), qs(look.toolTip), parent, "copyButton");
  connect(button, &QPushButton::clicked, this, [this, id] {
    model_.copy(id);
    refresh();
  });
  return button;
}

QWidget* CopyCacheSettingsPage::historyRow(const CopyCacheItem& item, QWidget* parent) {
  CopyCacheRowContent content = CopyCacheSettingsModel::rowContent(item);
  auto* row = new QFrame(parent);
  row->setObjectName("historyRow");
  row->setProperty("itemID", qs(content.id));
  setTileBackground(row, 0.25, 8);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(10);
  const QColor blue = systemColor(HudColor::blue);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  using Body = CopyCacheRowContent::Body;
  if (content.body == Body::text) {
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    if (content.richTextBadge)
      line->addWidget(badge(QStringLiteral("RTF"), systemColor(HudColor::purple), row, "rtfBadge", true), 0,
                      Qt::AlignTop);
    line->addWidget(twoLineLabel(qs(content.title), row, "rowTitle", 13, false), 1);
    texts->addLayout(line);
    if (content.conversionHint) {
      auto* hint = new QHBoxLayout;
      hint->setSpacing(4);
      hint->addWidget(symbol("sparkles", kCaption2, blue, row, "conversionSymbol"));
      QLabel* h = label(qs(*content.conversionHint), row, "conversionHint", kCaption2);
      setTextColor(h, blue);
      hint->addWidget(h, 1);
      texts->addLayout(hint);
    }
  } else {
    if (content.body == Body::image) {
      QPixmap image = thumbnail(content.thumbnailBase64);
      if (!image.isNull()) {
        auto* thumb = new QLabel(row);
        thumb->setObjectName("rowThumbnail");
        thumb->setFixedSize(36, 36);
        thumb->setPixmap(roundedSquare(image, 36, devicePixelRatioF()));
        layout->addWidget(thumb);
      }
    } else if (content.body == Body::color) {
      auto* swatch = new QLabel(row);
      swatch->setObjectName("colorSwatch");
      swatch->setFixedSize(24, 24);
      QColor colour(content.swatch[0], content.swatch[1], content.swatch[2]);
      swatch->setProperty("swatch", colour.name());
      swatch->setStyleSheet(QStringLiteral("QLabel { background: %1; border: 1px solid %2; border-radius: 4px; }")
                                .arg(colour.name(), withOpacity(secondaryColor(this), 0.3).name(QColor::HexArgb)));
      layout->addWidget(swatch);
    } else if (!content.symbol.empty()) {
      layout->addWidget(symbol(content.symbol, 16, blue, row, "rowSymbol"));
    }
    QLabel* title = label(qs(content.title), row, "rowTitle", 13);
    setWeight(title, QFont::Bold);
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    texts->addWidget(title);
    QLabel* detail = label(qs(content.detail), row, "rowDetail", kCaption2);
    detail->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextColor(detail, secondaryColor(this));
    texts->addWidget(detail);
  }
  layout->addLayout(texts, 1);

  QLabel* source = label(qs(content.sourceAppName), row, "sourceApp", kCaption2);
  setTextColor(source, secondaryColor(this));
  layout->addWidget(source);
  const std::string id = content.id;
  layout->addWidget(copyButton(id, row));
  QPushButton* pin = iconButton(content.isPinned ? "pin.fill" : "pin",
                                content.isPinned ? systemColor(HudColor::orange) : secondaryColor(this),
                                u8(content.isPinned ? CopyCacheSettingsModel::kUnpinToolTip
                                                    : CopyCacheSettingsModel::kPinToolTip),
                                row, "pinButton");
  connect(pin, &QPushButton::clicked, this, [this, id] { model_.togglePin(id); });
  layout->addWidget(pin);
  QPushButton* remove = iconButton("xmark.circle.fill", secondaryColor(this),
                                   u8(CopyCacheSettingsModel::kDeleteToolTip), row, "deleteButton");
  connect(remove, &QPushButton::clicked, this, [this, id] { model_.deleteItem(id); });
  layout->addWidget(remove);
  return row;
}

QWidget* CopyCacheSettingsPage::pinnedRow(size_t position, const CopyCacheItem& snippet, QWidget* parent) {
  auto* row = new QFrame(parent);
  row->setObjectName("pinnedRow");
  row->setProperty("itemID", qs(snippet.id));
  setTileBackground(row, 0.3, 8);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(10);
  layout->addWidget(badge(qs(CopyCacheSettingsModel::snippetBadge(position)), systemColor(HudColor::blue), row,
                          "snippetBadge", true));
  if (snippet.snippetKeyword)
    layout->addWidget(badge(qs(*snippet.snippetKeyword), secondaryColor(this), row, "keywordBadge", false));
  layout->addWidget(twoLineLabel(qs(snippet.preview), row, "snippetPreview", 13, false), 1);
  layout->addWidget(copyButton(snippet.id, row));
  QPushButton* unpin = iconButton("pin.slash.fill", secondaryColor(this), u8(CopyCacheSettingsModel::kUnpinToolTip),
                                  row, "unpinButton");
  const std::string id = snippet.id;
  connect(unpin, &QPushButton::clicked, this, [this, id] { model_.togglePin(id); });
  layout->addWidget(unpin);
  return row;
}

void CopyCacheSettingsPage::rebuildLists() {
  // Rows are shown at once: a layout would show them only on a later turn of
  // the event loop, and the page would flash empty in between.
  auto add = [](QVBoxLayout* layout, QWidget* row) {
    layout->addWidget(row);
    row->show();
  };
  clearLayout(pinnedListLayout_);
  auto snippets = model_.shownSnippets();
  for (size_t i = 0; i < snippets.size(); ++i) add(pinnedListLayout_, pinnedRow(i, snippets[i], pinnedList_));
  pinnedEmpty_->setVisible(snippets.empty());
  pinnedList_->setVisible(!snippets.empty());

  clearLayout(historyListLayout_);
  auto history = model_.filteredHistory();
  for (const auto& item : history) add(historyListLayout_, historyRow(item, historyList_));
  auto empty = model_.emptyMessage();
  historyEmpty_->setVisible(empty.has_value());
  if (empty) historyEmpty_->setText(qs(*empty));
  historyList_->setVisible(!history.empty());
}

void CopyCacheSettingsPage::refresh() {
  bool enabled = model_.isEnabled();
  {
    QSignalBlocker a(enableSwitch_);
    QSignalBlocker b(clearOnQuitSwitch_);
    enableSwitch_->setChecked(enabled);
    clearOnQuitSwitch_->setChecked(model_.isClearOnQuit());
  }
  enabledNote_->setText(u8(enabled ? CopyCacheSettingsModel::kEnabledNote : CopyCacheSettingsModel::kDisabledNote));
  openPanelButton_->setEnabled(model_.canOpenQuickPaste());
  const auto note = model_.setAsideNote();
  setAsideNote_->setVisible(note.has_value());
  if (note) {
    setAsideTitle_->setText(qs(note->title));
    setAsideDetail_->setText(qs(note->detail));
    setAsideDismiss_->setText(qs(note->dismiss));
  }
  pinnedBox_->setVisible(enabled);
  historyBox_->setVisible(enabled);
  pinnedCount_->setText(qs(model_.pinnedCountLabel()));
  historyCount_->setText(qs(model_.countLabel()));
  clearAllButton_->setVisible(model_.showsClearAll());
  rebuildLists();
  fitContent();
}

void CopyCacheSettingsPage::showAddSnippetSheet() {
  if (sheet_) return;
  model_.openAddSnippet();
  auto* sheet = new AddSnippetSheet(model_, this);
  sheet->setAttribute(Qt::WA_DeleteOnClose);
  // Closed by Escape or the window's button: what was typed stays for the
  // next opening.
  connect(sheet, &QDialog::finished, this, [this] { model_.addSnippetSheetClosed(); });
  sheet_ = sheet;
  sheet->open();
}

void CopyCacheSettingsPage::showClearAllConfirmation() {
  if (confirmation_) return;
  auto* box = new QMessageBox(this);
  box->setObjectName("clearAllConfirmation");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::Warning);
  box->setText(u8(CopyCacheSettingsModel::kClearAllTitle));
  box->setInformativeText(u8(CopyCacheSettingsModel::kClearAllMessage));
  auto* confirm = box->addButton(plain(CopyCacheSettingsModel::kClearAll), QMessageBox::DestructiveRole);
  confirm->setObjectName("clearAllConfirmButton");
  auto* cancel = box->addButton(plain(CopyCacheSettingsModel::kCancel), QMessageBox::RejectRole);
  cancel->setObjectName("clearAllCancelButton");
  box->setDefaultButton(cancel);
  box->setEscapeButton(cancel);
  connect(box, &QMessageBox::buttonClicked, this, [this, confirm](QAbstractButton* clicked) {
    if (clicked == confirm)
      model_.confirmClearAll();
    else
      model_.cancelClearAll();
  });
  connect(box, &QObject::destroyed, this, [this] {
    if (model_.showClearAllConfirmation()) model_.cancelClearAll();
  });
  confirmation_ = box;
  box->open();
}

}  // namespace tessa
