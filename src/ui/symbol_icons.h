#pragma once
// Our own monochrome icon set, keyed by the symbol names the rest of the
// system uses ("checkmark.circle.fill", "keyboard", …). Each symbol is a small
// SVG drawn in any colour; a name without a drawing gets a neutral dot, so a
// new caller never shows an empty space.
#include <string>

#include <QColor>
#include <QPixmap>

namespace tessa {

// Whether the set has a drawing for `name`.
bool hasSymbol(const std::string& name);

// The symbol at `pointSize` (the type size it stands beside; the square it
// fills is a little larger), recoloured to `color` (alpha included), heavier
// strokes when `bold`.
QPixmap symbolPixmap(const std::string& name, double pointSize, const QColor& color, bool bold = false,
                     qreal devicePixelRatio = 1.0);

// The side of the square a symbol of `pointSize` occupies, in logical pixels.
int symbolExtent(double pointSize);

// The application's icon at `side` logical pixels: the window icon when the
// application has one, else our keyboard on a blue tile.
QPixmap applicationIconPixmap(int side, qreal devicePixelRatio);

}  // namespace tessa
