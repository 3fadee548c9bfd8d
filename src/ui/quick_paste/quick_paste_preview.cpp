#include "ui/quick_paste/quick_paste_preview.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tessa::quick_paste {
namespace {

using parts::qs;
using parts::TextStyle;

// A one-line label that ends in "…" when it does not fit, instead of being cut.
class ElidedLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override { return QSize(10, QLabel::minimumSizeHint().height()); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    QRect r = contentsRect();
    p.drawText(r, static_cast<int>(alignment() | Qt::AlignVCenter),
               fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
  }
};

}  // namespace

QString rgba(const QColor& c) {
  return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

QColor alpha(QColor c, double a) {
  c.setAlphaF(static_cast<float>(c.alphaF() * a));
  return c;
}

QColor secondary() {
  QColor c = QPalette().color(QPalette::WindowText);
  c.setAlphaF(0.6f);
  return c;
}
QColor controlBackground() { return QPalette().color(QPalette::Base); }

QFont monospaced(QFont f) {
  f.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
  f.setStyleHint(QFont::Monospace);
  return f;
}

QLabel* elided(QWidget* parent, const char* name, const QString& text, TextStyle style, QFont::Weight weight,
               const QColor& color) {
  auto* l = new ElidedLabel(text, parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  QFont f = l->font();
  f.setPixelSize(parts::pixelSize(style));
  f.setWeight(weight);
  l->setFont(f);
  parts::setTextColor(l, color);
  l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  if (l->fontMetrics().horizontalAdvance(text) > 300) l->setToolTip(text.left(400));
  return l;
}

namespace {

// The text in a monospaced, scrolling block.
void fillTextPreview(const QuickPastePreviewModel& m, QWidget* body, QVBoxLayout* v) {
  auto* scroll = new QScrollArea(body);
  scroll->setObjectName("quickPastePreviewTextScroll");
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setMaximumHeight(180);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* text = parts::label(scroll, "quickPastePreviewText", qs(m.text), TextStyle::body);
  text->setFont(monospaced(text->font()));
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  text->setContentsMargins(8, 8, 8, 8);
  scroll->setWidget(text);
  scroll->setStyleSheet(QStringLiteral("QScrollArea { background: %1; border-radius: 6px; }")
                            .arg(rgba(alpha(controlBackground(), 0.5))));
  v->addWidget(scroll);
}

// The picture, once decoded, above its caption.
void fillImagePreview(const QuickPastePreviewModel& m, QWidget* body, QVBoxLayout* v, const QImage& image) {
  if (!image.isNull()) {
    auto* picture = new QLabel(body);
    picture->setObjectName("quickPastePreviewImage");
    QImage scaled = image.scaled(388, 200, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture->setPixmap(QPixmap::fromImage(scaled));
    picture->setAlignment(Qt::AlignCenter);
    v->addWidget(picture);
  }
  auto* caption = parts::label(body, "quickPastePreviewCaption", qs(m.caption), TextStyle::caption);
  parts::setTextColor(caption, secondary());
  v->addWidget(caption);
}

// A swatch of the colour, its hex code and its RGB line.
void fillColorPreview(const QuickPastePreviewModel& m, QWidget* body, QVBoxLayout* v) {
  auto* swatch = new QLabel(body);
  swatch->setObjectName("quickPastePreviewSwatch");
  swatch->setFixedSize(80, 80);
  QColor c = QColor::fromRgbF(static_cast<float>(m.red), static_cast<float>(m.green), static_cast<float>(m.blue),
                              1.0f);
  swatch->setProperty("swatchColor", c);
  swatch->setStyleSheet(QStringLiteral("QLabel { background: %1; border: 1px solid rgba(255,255,255,0.2); "
                                       "border-radius: 8px; }")
                            .arg(rgba(c)));
  v->addWidget(swatch, 0, Qt::AlignHCenter);
  auto* hex = parts::label(body, "quickPastePreviewHex", qs(m.hex), TextStyle::title2, QFont::Bold);
  hex->setFont(monospaced(hex->font()));
  hex->setAlignment(Qt::AlignCenter);
  v->addWidget(hex);
  auto* rgb = parts::label(body, "quickPastePreviewRgb", qs(m.rgbLine), TextStyle::caption);
  rgb->setAlignment(Qt::AlignCenter);
  parts::setTextColor(rgb, secondary());
  v->addWidget(rgb);
}

// The domain and the whole address.
void fillLinkPreview(const QuickPastePreviewModel& m, QWidget* body, QVBoxLayout* v) {
  const QColor blue = parts::pageColor(HudColor::blue);
  v->addWidget(parts::label(body, "quickPastePreviewDomain", qs(m.domain), TextStyle::headline, QFont::DemiBold));
  auto* url = parts::label(body, "quickPastePreviewURL", qs(m.url), TextStyle::caption);
  url->setWordWrap(true);
  parts::setTextColor(url, blue);
  v->addWidget(url);
}

// Each file's name and path, then the total.
void fillFilesPreview(const QuickPastePreviewModel& m, QWidget* body, QVBoxLayout* v, const QColor& textColor) {
  const QColor blue = parts::pageColor(HudColor::blue);
  for (const auto& [name, path] : m.files) {
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    line->addWidget(parts::symbol(body, "quickPastePreviewFileSymbol", "doc.fill", 12, blue));
    line->addWidget(
        elided(body, "quickPastePreviewFileName", qs(name), TextStyle::body, QFont::Bold, textColor), 1);
    v->addLayout(line);
    v->addWidget(elided(body, "quickPastePreviewFilePath", qs(path), TextStyle::caption2, QFont::Normal,
                        secondary()));
  }
  auto* total = parts::label(body, "quickPastePreviewCaption", qs(m.caption), TextStyle::caption);
  parts::setTextColor(total, secondary());
  v->addWidget(total);
}

}  // namespace

QWidget* makePreviewBody(const QuickPastePreviewModel& m, const QImage& image, const QColor& textColor,
                         QWidget* parent) {
  auto* body = new QWidget(parent);
  body->setObjectName("quickPastePreviewBody");
  auto* v = new QVBoxLayout(body);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(6);
  switch (m.body) {
    case QuickPastePreviewBody::text: fillTextPreview(m, body, v); break;
    case QuickPastePreviewBody::image: fillImagePreview(m, body, v, image); break;
    case QuickPastePreviewBody::color: fillColorPreview(m, body, v); break;
    case QuickPastePreviewBody::webURL: fillLinkPreview(m, body, v); break;
    case QuickPastePreviewBody::files: fillFilesPreview(m, body, v, textColor); break;
  }
  return body;
}

}  // namespace tessa::quick_paste
