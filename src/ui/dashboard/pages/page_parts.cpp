#include "ui/dashboard/pages/page_parts.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QLayout>
#include <QVBoxLayout>

#include "ui/dashboard/pages/option_card.h"
#include "ui/symbol_icons.h"
#include "ui/system_colors.h"

namespace tessa {

PageScrollArea::PageScrollArea(QWidget* parent) : QScrollArea(parent) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void PageScrollArea::fitContent() {
  QWidget* content = widget();
  // Before the page is shown its width is not known yet; wrapping the text
  // at a made-up width would cost a full text layout for nothing.
  if (!content || !content->layout() || !isVisible()) return;
  int width = viewport()->width();
  int needed = content->layout()->totalHeightForWidth(width);
  if (needed > 0) content->setMinimumHeight(needed);
}

void PageScrollArea::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  fitContent();
}

}  // namespace tessa

namespace tessa::page_parts {

QColor secondaryColor(const QWidget* widget) { return widget->palette().color(QPalette::PlaceholderText); }

QLabel* label(const QString& text, QWidget* parent, const char* name, int pixelSize, bool wrap) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  QFont f = l->font();
  f.setPixelSize(pixelSize);
  l->setFont(f);
  l->setWordWrap(wrap);
  return l;
}

void setTextColor(QLabel* label, const QColor& color) {
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, color);
  label->setPalette(p);
}

void setWeight(QLabel* label, int weight) {
  QFont f = label->font();
  f.setWeight(static_cast<QFont::Weight>(weight));
  label->setFont(f);
}

QLabel* symbol(const std::string& name, double pointSize, const QColor& color, QWidget* parent,
               const char* objectName) {
  auto* l = new QLabel(parent);
  l->setObjectName(objectName);
  l->setPixmap(symbolPixmap(name, pointSize, color, false, parent->devicePixelRatioF()));
  l->setFixedSize(symbolExtent(pointSize), symbolExtent(pointSize));
  l->setProperty("symbol", qs(name));
  return l;
}

QGroupBox* box(const QString& title, QWidget* parent, const char* name, int spacing, QVBoxLayout** content) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(name);
  auto* column = new QVBoxLayout(group);
  column->setContentsMargins(10, 4 + (title.isEmpty() ? 6 : 0), 10, 8);
  column->setSpacing(spacing);
  *content = column;
  return group;
}

QPushButton* linkButton(const QString& text, const std::string& symbolName, QWidget* parent, const char* name,
                        int pixelSize) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setFlat(true);
  QFont f = button->font();
  f.setPixelSize(pixelSize);
  button->setFont(f);
  QColor accent = systemColor(HudColor::accent);
  button->setIcon(QIcon(symbolPixmap(symbolName, pixelSize, accent, false, parent->devicePixelRatioF())));
  button->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; padding: 0px; text-align: left; }")
                            .arg(accent.name()));
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  pointingHandOnHover(button);
  return button;
}

QString withBoldMarks(const QString& text) {
  QString out;
  bool bold = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '*' && i + 1 < text.size() && text[i + 1] == '*') {
      out += bold ? QStringLiteral("</b>") : QStringLiteral("<b>");
      bold = !bold;
      ++i;
      continue;
    }
    out += QString(text[i]).toHtmlEscaped();
  }
  if (bold) out += QStringLiteral("</b>");
  return out.replace(QStringLiteral("  "), QStringLiteral("&nbsp;&nbsp;"));
}

}  // namespace tessa::page_parts
