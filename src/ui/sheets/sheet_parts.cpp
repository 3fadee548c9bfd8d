#include "ui/sheets/sheet_parts.h"

#include <algorithm>

#include <QDialog>
#include <QEvent>
#include <QScreen>

#include <QFrame>
#include <QHBoxLayout>

#include "ui/symbol_icons.h"

namespace tessa::parts {

namespace {
bool darkTheme(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }
}  // namespace

QString qs(const std::string& text) { return QString::fromStdString(text); }

int pixelSize(TextStyle style) {
  switch (style) {
    case TextStyle::caption2: return 11;
    case TextStyle::caption: return 12;
    case TextStyle::body: return 13;
    case TextStyle::headline: return 14;
    case TextStyle::title3: return 16;
    case TextStyle::title2: return 19;
  }
  return 13;
}

QColor pageColor(HudColor color) {
  const bool dark = darkTheme(QPalette());
  switch (color) {
    case HudColor::green: return dark ? QColor(48, 209, 88) : QColor(40, 167, 69);
    case HudColor::orange: return dark ? QColor(255, 159, 10) : QColor(230, 126, 0);
    case HudColor::red: return dark ? QColor(255, 69, 58) : QColor(215, 40, 40);
    case HudColor::blue:
    case HudColor::accent: return dark ? QColor(10, 132, 255) : QColor(0, 122, 255);
    case HudColor::indigo: return dark ? QColor(94, 92, 230) : QColor(88, 86, 214);
    case HudColor::purple: return QColor(175, 82, 222);
    case HudColor::teal: return QColor(48, 176, 199);
    case HudColor::yellow: return QColor(255, 204, 0);
    case HudColor::gray: return QColor(142, 142, 147);
    case HudColor::white: return QPalette().color(QPalette::WindowText);
  }
  return QPalette().color(QPalette::WindowText);
}

QColor secondaryColor(const QWidget& widget) {
  QColor c = widget.palette().color(QPalette::WindowText);
  c.setAlphaF(0.6f);
  return c;
}

void setTextColor(QWidget* widget, const QColor& color) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, color);
  p.setColor(QPalette::ButtonText, color);
  p.setColor(QPalette::Text, color);
  widget->setPalette(p);
}

QLabel* label(QWidget* parent, const char* name, const QString& text, TextStyle style, QFont::Weight weight,
              bool wrap) {
  auto* l = new QLabel(text, parent);
  if (name) l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  l->setWordWrap(wrap);
  QFont f = l->font();
  f.setPixelSize(pixelSize(style));
  f.setWeight(weight);
  l->setFont(f);
  return l;
}

QLabel* symbol(QWidget* parent, const char* name, const std::string& symbolName, double pointSize,
               const QColor& color) {
  auto* l = new QLabel(parent);
  if (name) l->setObjectName(name);
  l->setPixmap(symbolPixmap(symbolName, pointSize, color, false, parent ? parent->devicePixelRatioF() : 1.0));
  l->setProperty("symbol", qs(symbolName));
  l->setFixedSize(symbolExtent(pointSize), symbolExtent(pointSize));
  return l;
}

QWidget* divider(QWidget* parent, const char* name) {
  auto* line = new QFrame(parent);
  if (name) line->setObjectName(name);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Plain);
  QColor c = line->palette().color(QPalette::WindowText);
  c.setAlphaF(0.15f);
  setTextColor(line, c);
  return line;
}

QPushButton* linkButton(QWidget* parent, const char* name, const QString& text, const std::string& symbolName,
                        TextStyle style) {
  auto* b = new QPushButton(text, parent);
  if (name) b->setObjectName(name);
  b->setFlat(true);
  b->setCursor(Qt::PointingHandCursor);
  QFont f = b->font();
  f.setPixelSize(pixelSize(style));
  b->setFont(f);
  QColor link = pageColor(HudColor::accent);
  setTextColor(b, link);
  b->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px; text-align: left; color: %1; }")
                       .arg(link.name()));
  if (!symbolName.empty()) {
    b->setIcon(QIcon(symbolPixmap(symbolName, pixelSize(style), link, false, b->devicePixelRatioF())));
    b->setIconSize(QSize(symbolExtent(pixelSize(style)), symbolExtent(pixelSize(style))));
  }
  return b;
}

QWidget* symbolRow(QWidget* parent, const char* name, const std::string& symbolName, const QColor& symbolColor,
                   const QString& text, TextStyle style, const QColor& textColor) {
  auto* row = new QWidget(parent);
  if (name) row->setObjectName(name);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  layout->addWidget(symbol(row, nullptr, symbolName, pixelSize(style), symbolColor), 0, Qt::AlignTop);
  auto* l = label(row, nullptr, text, style);
  l->setObjectName(name ? QString::fromLatin1(name) + ".text" : QString());
  // Thai marks above and below the line reach past the font's line height.
  l->setContentsMargins(0, 1, 0, 2);
  setTextColor(l, textColor);
  layout->addWidget(l, 1);
  return row;
}

namespace {

class SheetPlacement final : public QObject {
 public:
  explicit SheetPlacement(QDialog& sheet) : QObject(&sheet), sheet_(sheet) {
    sheet.installEventFilter(this);
    // A sheet goes where its window goes (the window manager may place the
    // window only after the sheet was opened).
    if (QWidget* over = sheet.parentWidget() ? sheet.parentWidget()->window() : nullptr) over->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (watched == &sheet_ && (type == QEvent::Show || type == QEvent::Resize)) place();
    if (watched != &sheet_ && sheet_.isVisible() && (type == QEvent::Move || type == QEvent::Resize)) place();
    return false;
  }

 private:
  void place() {
    QWidget* over = sheet_.parentWidget() ? sheet_.parentWidget()->window() : nullptr;
    if (!over) return;
    QRect frame = over->frameGeometry();
    QRect mine(QPoint(0, 0), sheet_.size());
    mine.moveCenter(frame.center());
    // A sheet hangs from the top of its window's content when it fits there.
    int top = over->geometry().top();
    if (mine.height() <= frame.bottom() - top) mine.moveTop(std::max(mine.top(), top));
    if (QScreen* screen = over->screen()) {
      QRect area = screen->availableGeometry();
      mine.moveLeft(std::clamp(mine.left(), area.left(), std::max(area.left(), area.right() - mine.width() + 1)));
      mine.moveTop(std::clamp(mine.top(), area.top(), std::max(area.top(), area.bottom() - mine.height() + 1)));
    }
    if (mine.topLeft() != sheet_.pos()) sheet_.move(mine.topLeft());
  }
  QDialog& sheet_;
};

}  // namespace

void presentAsSheet(QDialog& dialog, bool ownCloseControl) {
  if (ownCloseControl) {
    dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    if (dialog.objectName().isEmpty()) dialog.setObjectName("sheet");
    dialog.setStyleSheet(dialog.styleSheet() + QStringLiteral("QDialog#%1 { border: 1px solid palette(mid); }")
                                                   .arg(dialog.objectName()));
  } else {
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  }
  new SheetPlacement(dialog);
}

}  // namespace tessa::parts
