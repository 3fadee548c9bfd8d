#include "support/screenshots.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace tessa::test {
namespace {

TEST(ScreenshotsTest, ThaiAndLaoPassAndACharacterNoFontHasFails) {
  QLabel thai(QString::fromUtf8("ภาษาเด้งกลับเองใช่ไหม?"));
  EXPECT_TRUE(drawsWithoutBoxes(thai));
  QLabel lao(QString::fromUtf8("ພ້ອມດູແລແລ້ວ"));
  EXPECT_TRUE(drawsWithoutBoxes(lao));
  // U+0E7F is unassigned: every font draws it as the empty box.
  QLabel boxed(QString::fromUtf8("ไทย") + QChar(0x0E7F));
  boxed.setObjectName("boxed");
  auto result = drawsWithoutBoxes(boxed);
  EXPECT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("U+0e7f not covered"), std::string::npos) << result.message();
}

}  // namespace
}  // namespace tessa::test
