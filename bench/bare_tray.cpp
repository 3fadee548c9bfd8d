// tessavinor-bare-tray: the least a Qt tray program does (an icon with a
// one-item menu), the baseline the application's start-up and its wake-ups
// at rest are measured against. Writes "tray icon ready" on standard error
// once the icon is shown, as the application writes its own start-up steps.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QPixmap pixmap(22, 22);
  pixmap.fill(Qt::darkBlue);
  QSystemTrayIcon icon{QIcon(pixmap)};
  QMenu menu;
  menu.addAction("Quit", &app, &QCoreApplication::quit);
  icon.setContextMenu(&menu);
  icon.show();
  std::fprintf(stderr, "tray icon ready\n");
  return app.exec();
}
