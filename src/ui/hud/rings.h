#pragma once
// The two rings of the HUD: the undo button whose ring drains over the undo
// window, and a ring around a symbol that fills or drains over a duration.
// Both read their progress from the panel's clock, so a test on the manual
// clock sees exactly the progress the time implies; a timer only repaints.
#include <string>

#include <QAbstractButton>
#include <QColor>
#include <QTimer>
#include <QWidget>

#include "base/clock.h"

namespace tessa {

// Keeps a ring repainting while its progress still moves.
class RingTicker {
 public:
  explicit RingTicker(QWidget& ring);
  void keepRunning(bool moving);

 private:
  QTimer timer_;
};

class CountdownRingButton final : public QAbstractButton {
  Q_OBJECT
 public:
  static constexpr int kSide = 22;

  // The ring is full at `startedAt` (uptime) and empty `duration` seconds
  // later; an expired ring is empty at once and the button is disabled.
  CountdownRingButton(const Clock& clock, double startedAt, double duration, QColor color, bool isExpired,
                      QWidget* parent = nullptr);

  // The part of the ring drawn, 1 → 0.
  double progress() const;
  bool isExpired() const { return isExpired_; }
  QSize sizeHint() const override { return {kSide, kSide}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Clock& clock_;
  double startedAt_;
  double duration_;
  QColor color_;
  bool isExpired_;
  RingTicker ticker_;
};

class WaitingRing final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kSide = 22;

  // Fills from `startedAt` over `duration` seconds, or empties when `drains`.
  WaitingRing(const Clock& clock, double startedAt, double duration, std::string icon, bool drains,
              QWidget* parent = nullptr);

  double progress() const;
  const std::string& icon() const { return icon_; }
  bool drains() const { return drains_; }
  QSize sizeHint() const override { return {kSide, kSide}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Clock& clock_;
  double startedAt_;
  double duration_;
  std::string icon_;
  bool drains_;
  RingTicker ticker_;
};

}  // namespace tessa
