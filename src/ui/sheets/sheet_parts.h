#pragma once
// Small pieces the about page and the report sheets are built from: labels
// in the platform's text styles, symbols, dividers and link-style buttons.
#include <string>

#include <QColor>
#include <QLabel>
#include <QPushButton>

#include "hud/unified_menu_state.h"

class QBoxLayout;
class QDialog;

namespace tessa::parts {

// Pixel sizes of the text styles.
enum class TextStyle { caption2, caption, body, headline, title3, title2 };
int pixelSize(TextStyle style);

// A named colour on a page (not the HUD's dark plate).
QColor pageColor(HudColor color);
// The secondary text colour of `widget`'s palette.
QColor secondaryColor(const QWidget& widget);

// A plain-text label, word-wrapped unless `wrap` is false.
QLabel* label(QWidget* parent, const char* name, const QString& text, TextStyle style,
              QFont::Weight weight = QFont::Normal, bool wrap = true);
void setTextColor(QWidget* widget, const QColor& color);
// A symbol drawn at `pointSize` in `color`.
QLabel* symbol(QWidget* parent, const char* name, const std::string& symbolName, double pointSize,
               const QColor& color);
// A horizontal one-pixel line.
QWidget* divider(QWidget* parent, const char* name = nullptr);
// A flat button that reads like a link and shows the pointing hand.
QPushButton* linkButton(QWidget* parent, const char* name, const QString& text, const std::string& symbolName,
                        TextStyle style);
// A symbol beside a wrapped text, top-aligned.
QWidget* symbolRow(QWidget* parent, const char* name, const std::string& symbolName, const QColor& symbolColor,
                   const QString& text, TextStyle style, const QColor& textColor);

QString qs(const std::string& text);

// Makes `dialog` a sheet of its parent's window, placed over the window,
// centred on it and kept inside the screen's free area each time it is
// shown or changes size. It carries one close control: a sheet with its own
// (`ownCloseControl`) has no title bar of the window manager's and a thin
// border instead; one without keeps a title bar with only the close button.
void presentAsSheet(QDialog& dialog, bool ownCloseControl);

}  // namespace tessa::parts
