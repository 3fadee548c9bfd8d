#pragma once
// Between Qt's global coordinates (y grows downwards from the top of the
// primary screen) and the window-system coordinates of the Qt-free code
// (origin at the bottom-left corner of the primary screen, y grows upwards).
#include <QRect>

#include "platform/screens.h"

class QScreen;

namespace tessa {

// `primary` is the primary screen's geometry in Qt coordinates.
QRect toQtRect(const Rect& rect, const QRect& primary);
Rect fromQtRect(const QRect& rect, const QRect& primary);

// The primary screen's geometry; empty when there is no screen.
QRect primaryScreenGeometry();

// A screen's whole and available areas in window-system coordinates.
ScreenInfo screenInfoOf(const QScreen& screen);

}  // namespace tessa
