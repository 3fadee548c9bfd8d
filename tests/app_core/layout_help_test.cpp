#include "app_core/layout_help.h"

#include <gtest/gtest.h>

namespace tessa {
namespace {

// The alert was in English while the rest was Thai, and did not say how to
// add a layout.
TEST(TooFewLayoutsAlert, SpeaksTheApplicationsLanguageAndNamesThisDesktopsSettings) {
  auto th = tooFewLayoutsAlert("ubuntu:GNOME", "th");
  EXPECT_EQ(th.text, "Tessavinor ต้องมีภาษาแป้นพิมพ์อย่างน้อยสองภาษาจึงจะสลับได้");
  EXPECT_NE(th.detail.find("Settings › Keyboard › Input Sources"), std::string::npos) << th.detail;

  auto en = tooFewLayoutsAlert("KDE", "en");
  EXPECT_EQ(en.text, "Tessavinor needs at least two keyboard layouts to switch between.");
  EXPECT_NE(en.detail.find("System Settings › Keyboard › Layouts"), std::string::npos) << en.detail;
  EXPECT_NE(tooFewLayoutsAlert("XFCE", "en").detail.find("Settings › Keyboard › Layout"), std::string::npos);

  // A plain window manager has no settings page: the X command does it.
  for (const char* desktop : {"", "openbox", "GNOMEISH"})
    EXPECT_NE(tooFewLayoutsAlert(desktop, "en").detail.find("setxkbmap -layout us,th"), std::string::npos) << desktop;
  // A language without these texts falls back to English.
  EXPECT_EQ(tooFewLayoutsAlert("", "lo").text, en.text);
}

}  // namespace
}  // namespace tessa
