#pragma once
// The small pieces the onboarding pages are made of: key caps, a symbol
// beside a wrapping caption, the progress dots, rounded boxes and cards, and
// the label and button styles the pages share.
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "app_core/onboarding/onboarding_model.h"

namespace tessa {

QColor onboardingColor(OnboardingColor color, const QPalette& palette);

// Text sizes in pixels, after the platform's named styles.
namespace onboarding_font {
inline constexpr int kTitle2 = 19;
inline constexpr int kTitle3 = 16;
inline constexpr int kHeadline = 14;
inline constexpr int kSubheadline = 12;
inline constexpr int kCaption = 11;
inline constexpr int kCaption2 = 10;
}  // namespace onboarding_font

// A plain-text label; wrapping labels grow in height to show every line.
QLabel* onboardingLabel(QWidget* parent, const QString& name, const std::string& text, int pixelSize,
                        bool bold = false, OnboardingColor color = OnboardingColor::primary, bool wrap = false,
                        Qt::Alignment alignment = Qt::AlignLeft);
// A symbol drawn at `pixelSize` in `color`.
QLabel* onboardingSymbol(QWidget* parent, const QString& name, const std::string& symbol, double pixelSize,
                         const QColor& color);
// A full-width filled button in `tint` (the prominent style), or an outlined
// one when `tint` is invalid.
QPushButton* onboardingButton(QWidget* parent, const QString& name, const std::string& text, const QColor& tint,
                              int verticalPadding);
// A borderless text button with the pointing hand.
QPushButton* onboardingLinkButton(QWidget* parent, const QString& name, const std::string& text, int pixelSize);

// Key caps in a row, one per string, in order; nothing at all for none.
class HotkeyPill final : public QWidget {
  Q_OBJECT

 public:
  explicit HotkeyPill(const std::vector<std::string>& keys, QWidget* parent = nullptr);
  const std::vector<std::string>& keys() const { return keys_; }

 private:
  std::vector<std::string> keys_;
};

// A small symbol at the top beside a caption that wraps onto as many lines
// as it needs.
class FeatureRow final : public QWidget {
  Q_OBJECT

 public:
  FeatureRow(const std::string& icon, const std::string& text, const QColor& color, QWidget* parent = nullptr);
  const std::string& icon() const { return icon_; }
  QLabel* textLabel() const { return text_; }
  QLabel* iconLabel() const { return iconLabel_; }

 private:
  std::string icon_;
  QLabel* iconLabel_ = nullptr;
  QLabel* text_ = nullptr;
};

// The five progress dots of the walk-through.
class ProgressDots final : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressDots(QWidget* parent = nullptr);
  void setStep(int step);
  int step() const { return step_; }
  // The colour a dot is drawn in.
  QColor dotColor(int index) const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int step_ = 0;
};

// A rounded rectangle behind its children, with an optional outline.
class RoundedBox : public QWidget {
  Q_OBJECT

 public:
  RoundedBox(QColor fill, qreal radius, QWidget* parent = nullptr);
  void setOutline(QColor color, qreal width);
  QColor fill() const { return fill_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_;
  QColor outline_;
  qreal radius_;
  qreal outlineWidth_ = 0;
};

// A card-shaped button whose content is laid out by its owner; the whole
// card clicks. An outlined card is drawn with an accent ring.
class CardButton final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CardButton(QWidget* parent = nullptr);
  void setOutlined(bool outlined);
  bool isOutlined() const { return outlined_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool outlined_ = false;
  bool hovered_ = false;
};

}  // namespace tessa
