#include "ui/screen_geometry.h"

#include <cmath>

#include <QGuiApplication>
#include <QScreen>

namespace tessa {

namespace {
int rounded(double v) { return static_cast<int>(std::lround(v)); }
}  // namespace

QRect toQtRect(const Rect& rect, const QRect& primary) {
  // The primary screen's bottom edge is y = 0 upwards.
  double bottom = primary.y() + primary.height();
  return QRect(rounded(primary.x() + rect.x), rounded(bottom - (rect.y + rect.height)), rounded(rect.width),
               rounded(rect.height));
}

Rect fromQtRect(const QRect& rect, const QRect& primary) {
  double bottom = primary.y() + primary.height();
  return Rect{static_cast<double>(rect.x() - primary.x()), bottom - (rect.y() + rect.height()),
              static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

QRect primaryScreenGeometry() {
  QScreen* primary = QGuiApplication::primaryScreen();
  return primary ? primary->geometry() : QRect();
}

ScreenInfo screenInfoOf(const QScreen& screen) {
  QRect primary = primaryScreenGeometry();
  return ScreenInfo{fromQtRect(screen.geometry(), primary), fromQtRect(screen.availableGeometry(), primary)};
}

}  // namespace tessa
