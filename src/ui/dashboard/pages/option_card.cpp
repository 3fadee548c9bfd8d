#include "ui/dashboard/pages/option_card.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "ui/symbol_icons.h"
#include "ui/system_colors.h"

namespace tessa {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QColor accent() { return systemColor(HudColor::accent); }
QColor secondary(const QWidget* w) { return w->palette().color(QPalette::PlaceholderText); }

QLabel* textLabel(const QString& text, QWidget* parent, int pixelSize, const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  QFont f = label->font();
  f.setPixelSize(pixelSize);
  label->setFont(f);
  return label;
}

void setTextColor(QLabel* label, const QColor& color) {
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, color);
  label->setPalette(p);
}

QLabel* symbolLabel(const std::string& name, double size, const QColor& color, QWidget* parent, const char* id) {
  auto* label = new QLabel(parent);
  label->setObjectName(id);
  label->setPixmap(symbolPixmap(name, size, color, false, parent->devicePixelRatioF()));
  label->setFixedSize(symbolExtent(size), symbolExtent(size));
  label->setProperty("symbol", qs(name));
  return label;
}

// The pointing hand for one widget; lives as the widget's child.
class PointingHandFilter final : public QObject {
 public:
  explicit PointingHandFilter(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }
  ~PointingHandFilter() override {
    if (pushed_) QGuiApplication::restoreOverrideCursor();
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Enter) onHover(true);
    else if (event->type() == QEvent::Leave || event->type() == QEvent::Hide) onHover(false);
    return QObject::eventFilter(watched, event);
  }

 private:
  void onHover(bool inside) {
    if (inside && !pushed_) {
      QGuiApplication::setOverrideCursor(Qt::PointingHandCursor);
      pushed_ = true;
    } else if (!inside && pushed_) {
      QGuiApplication::restoreOverrideCursor();
      pushed_ = false;
    }
  }
  bool pushed_ = false;
};

}  // namespace

OptionCard::OptionCard(const OptionCardContent& content, QWidget* parent) : QAbstractButton(parent) {
  setCheckable(false);
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  setAccessibleName(qs(content.title));

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(12, 12, 12, 12);
  column->setSpacing(8);

  auto* titleRow = new QHBoxLayout;
  titleRow->setSpacing(8);
  titleRow->setAlignment(Qt::AlignTop);
  radio_ = new QLabel(this);
  radio_->setObjectName("optionCardRadio");
  radio_->setFixedSize(symbolExtent(14), symbolExtent(14));
  titleRow->addWidget(radio_, 0, Qt::AlignTop);

  auto* titles = new QVBoxLayout;
  titles->setSpacing(1);
  auto* title = textLabel(qs(content.title), this, 13, "optionCardTitle");
  QFont tf = title->font();
  tf.setWeight(QFont::DemiBold);
  title->setFont(tf);
  title->setWordWrap(true);
  titles->addWidget(title);
  if (content.subtitle) {
    auto* subtitle = textLabel(qs(*content.subtitle), this, 11, "optionCardSubtitle");
    subtitle->setWordWrap(true);
    setTextColor(subtitle, secondary(this));
    titles->addWidget(subtitle);
  }
  titleRow->addLayout(titles, 1);
  titleRow->addSpacing(8);
  if (content.badge) {
    auto* badge = textLabel(qs(*content.badge), this, 11, "optionCardBadge");
    QFont bf = badge->font();
    bf.setWeight(QFont::Bold);
    badge->setFont(bf);
    badge->setContentsMargins(8, 3, 8, 3);
    QColor a = accent();
    badge->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 6px; }")
                             .arg(a.name(QColor::HexArgb), withOpacity(a, 0.15).name(QColor::HexArgb)));
    titleRow->addWidget(badge, 0, Qt::AlignTop);
  }
  column->addLayout(titleRow);

  if (content.hasNotes()) {
    auto* notes = new QWidget(this);
    notes->setObjectName("optionCardNotes");
    notes->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* noteColumn = new QVBoxLayout(notes);
    noteColumn->setContentsMargins(24, 0, 0, 0);
    noteColumn->setSpacing(4);
    auto addRow = [&](const std::string& text, bool pro, int index) {
      auto* row = new QHBoxLayout;
      row->setSpacing(6);
      row->setAlignment(Qt::AlignTop);
      QColor color = systemColor(pro ? HudColor::green : HudColor::orange);
      const char* symbol = pro ? "checkmark.circle.fill" : "exclamationmark.triangle.fill";
      row->addWidget(symbolLabel(symbol, 11, color, notes, pro ? "optionCardProMark" : "optionCardConMark"), 0,
                     Qt::AlignTop);
      auto* label = textLabel(qs(text), notes, 12, "");
      label->setObjectName(QStringLiteral("%1%2").arg(pro ? "optionCardPro" : "optionCardCon").arg(index));
      label->setWordWrap(true);
      setTextColor(label, secondary(this));
      row->addWidget(label, 1);
      noteColumn->addLayout(row);
    };
    for (size_t i = 0; i < content.pros.size(); ++i) addRow(content.pros[i], true, static_cast<int>(i));
    for (size_t i = 0; i < content.cons.size(); ++i) addRow(content.cons[i], false, static_cast<int>(i));
    column->addWidget(notes);
  }
  // Clicks on the labels reach the card.
  for (auto* child : findChildren<QLabel*>()) child->setAttribute(Qt::WA_TransparentForMouseEvents);
  updateRadio();
}

void OptionCard::setSelected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  updateRadio();
  update();
}

void OptionCard::updateRadio() {
  QColor color = selected_ ? accent() : secondary(this);
  radio_->setPixmap(symbolPixmap(radioSymbol(), 14, color, false, devicePixelRatioF()));
  radio_->setProperty("symbol", qs(radioSymbol()));
  setAccessibleDescription(selected_ ? QStringLiteral("selected") : QString());
}

QColor OptionCard::fillColor() const {
  return selected_ ? withOpacity(accent(), 0.1) : withOpacity(palette().color(QPalette::Base), 0.3);
}

QColor OptionCard::borderColor() const {
  return selected_ ? withOpacity(accent(), 0.6) : withOpacity(secondary(this), 0.15);
}

QSize OptionCard::sizeHint() const { return layout()->sizeHint(); }
QSize OptionCard::minimumSizeHint() const { return layout()->minimumSize(); }
int OptionCard::heightForWidth(int width) const { return layout()->totalHeightForWidth(width); }

void OptionCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  double w = borderWidth();
  QRectF box = QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2);
  QPainterPath path;
  path.addRoundedRect(box, 10, 10);
  painter.fillPath(path, fillColor());
  painter.setPen(QPen(borderColor(), w));
  painter.drawPath(path);
  if (hasFocus()) {
    painter.setPen(QPen(withOpacity(accent(), 0.9), 1, Qt::DotLine));
    painter.drawPath(path);
  }
}

void pointingHandOnHover(QWidget* widget) { new PointingHandFilter(widget); }

}  // namespace tessa
