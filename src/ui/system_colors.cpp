#include "ui/system_colors.h"

#include <algorithm>

#include <QGuiApplication>
#include <QPalette>

namespace tessa {

QColor systemColor(HudColor color) {
  // The bright variants, which read well on a dark plate.
  switch (color) {
    case HudColor::white: return QColor(255, 255, 255);
    case HudColor::gray: return QColor(152, 152, 157);
    case HudColor::green: return QColor(48, 209, 88);
    case HudColor::orange: return QColor(255, 159, 10);
    case HudColor::red: return QColor(255, 69, 58);
    case HudColor::yellow: return QColor(255, 214, 10);
    case HudColor::teal: return QColor(64, 200, 224);
    case HudColor::purple: return QColor(191, 90, 242);
    case HudColor::indigo: return QColor(94, 92, 230);
    case HudColor::blue: return QColor(10, 132, 255);
    case HudColor::accent: return QGuiApplication::palette().color(QPalette::Highlight);
  }
  return QColor(255, 255, 255);
}

QColor withOpacity(QColor color, double opacity) {
  color.setAlphaF(static_cast<float>(color.alphaF() * std::clamp(opacity, 0.0, 1.0)));
  return color;
}

}  // namespace tessa
