#include "ui/qt_screens.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "ui/screen_geometry.h"

namespace tessa {

std::vector<ScreenInfo> QtScreens::all() const {
  std::vector<ScreenInfo> out;
  QScreen* primary = QGuiApplication::primaryScreen();
  if (primary) out.push_back(screenInfoOf(*primary));
  for (QScreen* screen : QGuiApplication::screens())
    if (screen != primary) out.push_back(screenInfoOf(*screen));
  return out;
}

std::optional<ScreenInfo> QtScreens::main() const {
  // The screen holding the focused window, else the primary one.
  QScreen* screen = nullptr;
  if (auto* window = QGuiApplication::focusWindow()) screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return std::nullopt;
  return screenInfoOf(*screen);
}

}  // namespace tessa
