#pragma once
// One row of the dashboard's sidebar: a symbol and a title on a rounded
// highlight, blue while chosen or under the pointer; the whole row clicks.
#include <string>

#include <QAbstractButton>
#include <QColor>

class QVariantAnimation;

namespace tessa {

class SidebarButton final : public QAbstractButton {
  Q_OBJECT

 public:
  SidebarButton(const QString& title, std::string icon, QWidget* parent = nullptr);

  void setTitle(const QString& title);
  QString title() const { return text(); }
  const std::string& icon() const { return icon_; }
  void setSelected(bool selected);
  bool isSelected() const { return selected_; }
  bool isHovered() const { return hovered_; }

  // What the row is drawn in once a hover fade has settled.
  QColor foregroundColor() const;
  // Transparent when the row has no highlight.
  QColor backgroundColor() const;

  // The title as drawn: narrowed to fit the row where it must, and cut
  // short with an ellipsis only when even that is not enough.
  QString shownTitle() const;
  QFont shownFont() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void setHovered(bool hovered);
  void restyle();
  int titleWidth() const;

  QColor colorsAt(double hover, QColor* background) const;

  std::string icon_;
  bool selected_ = false;
  bool hovered_ = false;
  // 0 without the pointer, 1 under it; fades between the two.
  double hoverAmount_ = 0;
  QVariantAnimation* hoverFade_ = nullptr;
};

// The accent blue of the dashboard for the current theme.
QColor dashboardBlue();

}  // namespace tessa
