#pragma once
// Screenshots of widgets for people to look at, and the check that the text
// in them is really drawn: a Thai or Lao character that no font in use
// covers would show as an empty box.
#include <gtest/gtest.h>

#include <QString>

class QFont;
class QLabel;
class QWidget;

namespace tessa::test {

// $TESSAVINOR_SCREENSHOT_DIR, else the build folder's screenshots/.
QString screenshotDirectory();

// Grabs `widget` and writes it as NAME.png into the screenshot folder;
// fails the test when the file cannot be written. Gives the file's path.
QString writeScreenshot(QWidget& widget, const QString& name);

// On an X server, the whole screen as NAME.png (the windows in their places,
// as a user sees them); nothing on the offscreen platform.
void writeWholeScreen(const QString& name);

// Fails, naming them, when a Thai or Lao character of `text` is covered by
// none of the fonts chosen to draw it in `font` (fallbacks included), or
// when any glyph comes out as the missing-glyph box.
::testing::AssertionResult drawsWithoutBoxes(const QString& text, const QFont& font, const QString& name);
::testing::AssertionResult drawsWithoutBoxes(const QLabel& label);

// drawsWithoutBoxes for the text of every visible label and button inside
// `widget`.
::testing::AssertionResult allTextDrawsWithoutBoxes(const QWidget& widget);

}  // namespace tessa::test
