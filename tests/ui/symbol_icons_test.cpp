#include "ui/symbol_icons.h"

#include <gtest/gtest.h>

#include <QImage>

#include "ui/screen_geometry.h"

namespace tessa {
namespace {

int pixelsOf(const QImage& image, const QColor& color) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      QColor c = image.pixelColor(x, y);
      if (c.alpha() == 255 && c.rgb() == color.rgb()) ++count;
    }
  return count;
}

TEST(SymbolIconsTest, EverySymbolTheSystemAsksForIsDrawnInTheRequestedColour) {
  // The names the HUD rows and the notices of the engine use.
  const char* names[] = {"keyboard", "keyboard.badge.ellipsis", "text.magnifyingglass", "arrow.right",
                         "checkmark.circle.fill", "xmark.circle", "plus.circle", "delete.left",
                         "arrow.uturn.backward", "arrow.uturn.forward", "exclamationmark.triangle", "book",
                         "book.fill", "wand.and.stars", "play.circle.fill", "pause.circle.fill",
                         "doc.badge.gearshape", "hourglass", "keyboard.fill", "bolt.slash.fill", "lock.fill",
                         "exclamationmark.triangle.fill", "checkmark.shield", "speedometer", "info.circle"};
  const QColor orange(255, 159, 10);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(hasSymbol(name));
    QImage image = symbolPixmap(name, 15, orange).toImage();
    EXPECT_EQ(image.size(), QSize(symbolExtent(15), symbolExtent(15)));
    // A drawing that failed to parse would come out empty.
    EXPECT_GT(pixelsOf(image, orange), 10);
    EXPECT_EQ(pixelsOf(image, Qt::black), 0) << "the drawing's own black must not show";
  }
}

TEST(SymbolIconsTest, FilledSymbolsKnockOutTheirInnerMarkAndUnknownNamesGetADot) {
  // The middle of a play symbol's triangle is see-through; the ring around it
  // is filled.
  QImage play = symbolPixmap("play.circle.fill", 24, Qt::white, false, 2.0).toImage();
  ASSERT_EQ(play.size(), QSize(60, 60));
  EXPECT_EQ(play.pixelColor(31, 30).alpha(), 0);
  EXPECT_EQ(play.pixelColor(30, 5).alpha(), 255);

  EXPECT_FALSE(hasSymbol("no.such.symbol"));
  QImage dot = symbolPixmap("no.such.symbol", 15, Qt::white).toImage();
  EXPECT_GT(pixelsOf(dot, Qt::white), 10);
}

TEST(ScreenGeometryTest, WindowSystemCoordinatesGrowUpwardsFromThePrimaryScreensBottom) {
  const QRect primary(0, 0, 1440, 900);
  // A 240 by 44 panel 40 points below the top edge.
  EXPECT_EQ(toQtRect(Rect{600, 900 - 44 - 40, 240, 44}, primary), QRect(600, 40, 240, 44));
  EXPECT_EQ(fromQtRect(QRect(600, 40, 240, 44), primary), (Rect{600, 816, 240, 44}));
  // A second screen above the primary has negative Qt y and y above 900.
  EXPECT_EQ(fromQtRect(QRect(0, -1080, 1920, 1080), primary), (Rect{0, 900, 1920, 1080}));
  // A primary screen that does not start at Qt's origin.
  const QRect shifted(1920, 200, 1440, 900);
  EXPECT_EQ(fromQtRect(QRect(1920, 1060, 100, 40), shifted), (Rect{0, 0, 100, 40}));
  EXPECT_EQ(toQtRect(Rect{0, 0, 100, 40}, shifted), QRect(1920, 1060, 100, 40));
}

}  // namespace
}  // namespace tessa
