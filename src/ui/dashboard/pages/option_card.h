#pragma once
// Building blocks of the dashboard pages: the selectable option card and the
// pointing-hand cursor over link-style buttons.
#include <QAbstractButton>
#include <QColor>

#include "app_core/dashboard/option_card_content.h"

class QLabel;
class QWidget;

namespace tessa {

// One value of a choice as a card: radio mark, title, optional subtitle and
// badge, advantages and drawbacks. Clicking anywhere on it emits clicked();
// the owner decides the selection and calls setSelected().
class OptionCard final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit OptionCard(const OptionCardContent& content, QWidget* parent = nullptr);

  bool isSelected() const { return selected_; }
  void setSelected(bool selected);

  // What the card is painted with in its current state.
  QColor fillColor() const;
  QColor borderColor() const;
  double borderWidth() const { return selected_ ? 1.5 : 1.0; }
  // The symbol name of the radio mark now shown.
  std::string radioSymbol() const { return selected_ ? "largecircle.fill.circle" : "circle"; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void updateRadio();

  QLabel* radio_ = nullptr;
  bool selected_ = false;
};

// The pointing hand while the pointer is over `widget`: one push of the
// application's cursor stack on enter, one pop on leave (or when the widget
// goes away while the pointer is over it).
void pointingHandOnHover(QWidget* widget);

}  // namespace tessa
