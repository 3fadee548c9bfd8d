#include "support/screenshots.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QDir>
#include <QGlyphRun>
#include <QLabel>
#include <QPixmap>
#include <QRawFont>
#include <QTextLayout>
#include <QWidget>

namespace tessa::test {

namespace {

bool isThaiOrLao(char32_t c) { return c >= 0x0E00 && c <= 0x0EFF; }

}  // namespace

QString screenshotDirectory() {
  QString dir = qEnvironmentVariable("TESSAVINOR_SCREENSHOT_DIR");
  return dir.isEmpty() ? QStringLiteral(TESSAVINOR_SCREENSHOT_DIR) : dir;
}

QString writeScreenshot(QWidget& widget, const QString& name) {
  QDir dir(screenshotDirectory());
  EXPECT_TRUE(dir.mkpath(".")) << "cannot create " << dir.path().toStdString();
  QString path = dir.filePath(name + ".png");
  QPixmap pixmap;
  // A widget partly scrolled out of view is grabbed from its own drawing.
  if (QGuiApplication::platformName() == QLatin1String("xcb") && widget.isVisible() &&
      (widget.isWindow() || widget.visibleRegion().boundingRect() == widget.rect())) {
    // On an X server: what the server shows, the window manager's frame
    // included for a window, read back after the widget's drawing has
    // reached the server (requests on one connection are kept in order).
    EXPECT_TRUE(QTest::qWaitForWindowExposed(widget.window()));
    widget.window()->repaint();
    QCoreApplication::processEvents();
    QRect area = widget.isWindow() ? widget.frameGeometry() : QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size());
    if (QScreen* screen = widget.screen()) pixmap = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  }
  if (pixmap.isNull()) pixmap = widget.grab();
  EXPECT_FALSE(pixmap.isNull()) << name.toStdString() << ": nothing to grab";
  EXPECT_TRUE(pixmap.save(path, "PNG")) << "cannot write " << path.toStdString();
  return path;
}

void writeWholeScreen(const QString& name) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
  QCoreApplication::processEvents();
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QDir dir(screenshotDirectory());
  EXPECT_TRUE(dir.mkpath("."));
  QString path = dir.filePath(name + ".png");
  EXPECT_TRUE(screen->grabWindow(0).save(path, "PNG")) << "cannot write " << path.toStdString();
}

::testing::AssertionResult drawsWithoutBoxes(const QString& text, const QFont& font, const QString& name) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  while (true) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(1e6);
  }
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();

  QStringList problems;
  for (const QGlyphRun& run : runs) {
    // Glyph 0 is the font's missing-glyph box.
    if (run.glyphIndexes().contains(0)) problems << "a missing-glyph box in " + run.rawFont().familyName();
  }
  for (char32_t c : text.toUcs4()) {
    if (!isThaiOrLao(c)) continue;
    bool covered = std::any_of(runs.begin(), runs.end(),
                               [c](const QGlyphRun& run) { return run.rawFont().supportsCharacter(c); });
    if (!covered) problems << QStringLiteral("U+%1 not covered").arg(static_cast<uint>(c), 4, 16, QChar('0'));
  }
  if (problems.isEmpty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << name.toStdString() << " \"" << text.toStdString()
                                       << "\": " << problems.join("; ").toStdString();
}

::testing::AssertionResult drawsWithoutBoxes(const QLabel& label) {
  return drawsWithoutBoxes(label.text(), label.font(), label.objectName());
}

::testing::AssertionResult allTextDrawsWithoutBoxes(const QWidget& widget) {
  for (const QLabel* label : widget.findChildren<QLabel*>()) {
    if (!label->isVisibleTo(&widget)) continue;
    if (auto result = drawsWithoutBoxes(*label); !result) return result;
  }
  for (const QAbstractButton* button : widget.findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(&widget) || button->text().isEmpty()) continue;
    if (auto result = drawsWithoutBoxes(button->text(), button->font(), button->objectName()); !result)
      return result;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tessa::test
