#pragma once
// The small widgets and helpers the quick-paste panel's window builds its
// parts from: its tabs and rows (quick_paste_rows.cpp) and its frame and
// preview (quick_paste_panel.cpp).
#include <functional>
#include <string>

#include <QColor>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QWidget>

class QLabel;
class QLayout;
class QToolButton;

namespace tessa::quick_paste {

// A frame that reports clicks and the pointer entering and leaving it.
class ClickFrame final : public QFrame {
 public:
  explicit ClickFrame(QWidget* parent) : QFrame(parent) {}
  std::function<void()> onClick, onEnter, onLeave;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (onClick && rect().contains(event->position().toPoint())) onClick();
  }
  void enterEvent(QEnterEvent*) override {
    if (onEnter) onEnter();
  }
  void leaveEvent(QEvent*) override {
    if (onLeave) onLeave();
  }
};

// The dimmed backdrop behind the preview; a click on it (not on the pane) closes.
class Backdrop final : public QWidget {
 public:
  explicit Backdrop(QWidget* parent) : QWidget(parent) {}
  std::function<void()> onClick;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 12, 12);
    p.fillPath(path, QColor(0, 0, 0, 128));
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (onClick && childAt(event->position().toPoint()) == nullptr) onClick();
  }
};

// The panel's accent colour.
QColor accent();
// A row button's colour by the name its model gives ("blue", "orange", "red";
// anything else is the secondary text colour).
QColor namedColor(const std::string& name);
// A small rounded badge: text on a tinted background.
QLabel* badge(QWidget* parent, const char* name, const QString& text, const QColor& fg, const QColor& bg,
              int pixelSize, bool bold, bool mono, int padX = 4, int padY = 1, int radius = 3);
// A flat button that shows one symbol.
QToolButton* symbolButton(QWidget* parent, const char* name, const std::string& symbol, double size,
                          const QColor& color, const QString& tooltip);
// Every item of `layout` taken out, its widgets hidden and deleted later.
void clearLayout(QLayout* layout);

}  // namespace tessa::quick_paste
