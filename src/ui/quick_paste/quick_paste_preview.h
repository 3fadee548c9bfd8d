#pragma once
// The bodies of the quick-paste panel's preview, one per kind of entry
// (text, image, colour, web link, files), and the few drawing helpers the
// panel and its preview share. The panel's window (quick_paste_panel.h)
// frames the body with the title, the close button and the paste button.
#include <string>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include "app_core/quick_paste/quick_paste_models.h"
#include "ui/sheets/sheet_parts.h"

class QLabel;
class QWidget;

namespace tessa::quick_paste {

// The preview's body for `model`, a child of `parent`. `image` is the entry's
// decoded picture, or a null image while it is still being decoded (the
// caption shows alone). `textColor` is the window's text colour.
QWidget* makePreviewBody(const QuickPastePreviewModel& model, const QImage& image, const QColor& textColor,
                         QWidget* parent);

// "rgba(r,g,b,a)" for a style sheet.
QString rgba(const QColor& c);
// `c` with its opacity multiplied by `a`.
QColor alpha(QColor c, double a);
// The secondary text colour: the window text at 60 % opacity.
QColor secondary();
// The background of an input control.
QColor controlBackground();
// `f` in a monospaced family.
QFont monospaced(QFont f);
// A one-line label that ends in "…" when it does not fit, instead of being cut.
QLabel* elided(QWidget* parent, const char* name, const QString& text, parts::TextStyle style, QFont::Weight weight,
               const QColor& color);

}  // namespace tessa::quick_paste
