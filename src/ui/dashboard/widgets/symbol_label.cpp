#include "ui/dashboard/widgets/symbol_label.h"

#include <QFontDatabase>
#include <QHBoxLayout>

#include "ui/symbol_icons.h"

namespace tessa {

SymbolLabel::SymbolLabel(const std::string& symbol, const QString& text, int pixelSize, const QColor& color,
                         QWidget* parent, bool bold)
    : QWidget(parent), symbol_(symbol) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(5);
  icon_ = new QLabel(this);
  icon_->setObjectName("symbol");
  icon_->setPixmap(symbolPixmap(symbol, pixelSize, color, bold, devicePixelRatioF()));
  icon_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  row->addWidget(icon_, 0, Qt::AlignTop);
  text_ = dashboard_style::label(text, "text", this, pixelSize, bold ? QFont::DemiBold : QFont::Normal);
  dashboard_style::setTextColor(text_, color);
  row->addWidget(text_, 1);
}

namespace dashboard_style {

QFont font(const QWidget* reference, int pixelSize, QFont::Weight weight, bool monospace) {
  QFont f = monospace ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : reference->font();
  f.setPixelSize(pixelSize);
  f.setWeight(weight);
  return f;
}

QColor secondaryText(const QPalette& palette) {
  QColor c = palette.color(QPalette::WindowText);
  c.setAlphaF(0.6f);
  return c;
}

QColor green() { return QColor(52, 168, 83); }

QLabel* label(const QString& text, const char* name, QWidget* parent, int pixelSize, QFont::Weight weight) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  l->setWordWrap(true);
  l->setFont(font(parent, pixelSize, weight));
  return l;
}

void setTextColor(QWidget* widget, const QColor& color) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, color);
  p.setColor(QPalette::ButtonText, color);
  widget->setPalette(p);
}

void makeGroupBox(QWidget* box) {
  box->setAttribute(Qt::WA_StyledBackground, true);
  const QString name = box->objectName();
  QColor fill = box->palette().color(QPalette::WindowText);
  fill.setAlphaF(0.05f);
  QColor edge = box->palette().color(QPalette::WindowText);
  edge.setAlphaF(0.12f);
  box->setStyleSheet(QStringLiteral("#%1 { background: %2; border: 1px solid %3; border-radius: 8px; }")
                         .arg(name, fill.name(QColor::HexArgb), edge.name(QColor::HexArgb)));
}

}  // namespace dashboard_style

}  // namespace tessa
