#pragma once
// How a second keyboard layout is added on the desktop the user runs, for
// the start-up alert that says switching needs two: the settings path of
// the desktops that have one, else the X command that does it.
#include <string>

namespace tessa {

struct TooFewLayoutsAlert {
  std::string text;    // what is wrong
  std::string detail;  // how to put it right here
};

// `currentDesktop` is $XDG_CURRENT_DESKTOP ("GNOME", "ubuntu:GNOME", "KDE",
// "XFCE", … or empty); `language` the application's.
TooFewLayoutsAlert tooFewLayoutsAlert(const std::string& currentDesktop, const std::string& language);

}  // namespace tessa
