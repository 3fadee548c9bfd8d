#include "ui/status/tray_status_view.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QPixmap>

#include "ui/status/status_icon.h"

namespace tessa {

namespace {

// The Control bit of a click's modifier flags.
constexpr uint64_t kControlModifierFlag = 0x40000;

// Menu titles are shown as written: a lone "&" is not a mnemonic marker.
QString menuText(const std::string& title) { return QString::fromStdString(title).replace('&', "&&"); }

}  // namespace

TrayStatusView::TrayStatusView(QObject* parent)
    : QObject(parent), tray_(new QSystemTrayIcon(this)), menu_(new QMenu) {
  menu_->setObjectName("statusMenu");
  connect(menu_, &QMenu::aboutToShow, this, &TrayStatusView::rebuildMenu);
  // Desktops that open a tray item's menu themselves take it from here.
  tray_->setContextMenu(menu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    activate(reason, QGuiApplication::queryKeyboardModifiers());
  });
  // The label colour follows the desktop theme; a theme switch redraws.
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

bool TrayStatusView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) redrawIcon();
  return QObject::eventFilter(watched, event);
}

TrayStatusView::~TrayStatusView() {
  tray_->setContextMenu(nullptr);
  delete menu_;
}

void TrayStatusView::setController(StatusItemController* controller) {
  controller_ = controller ? controller->weak_from_this() : std::weak_ptr<StatusItemController>();
}

bool TrayStatusView::hasButton() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TrayStatusView::setIcon(const StatusIconSpec& icon) {
  icon_ = icon;
  redrawIcon();
  if (!tray_->isVisible() && hasButton()) tray_->show();
}

void TrayStatusView::setToolTip(const std::string& text) { tray_->setToolTip(QString::fromStdString(text)); }

void TrayStatusView::redrawIcon() {
  if (!icon_) return;
  QIcon icon;
  // Both densities, so a high-density panel does not scale a small drawing up.
  for (qreal ratio : {1.0, 2.0}) icon.addPixmap(QPixmap::fromImage(renderStatusIcon(*icon_, ratio)));
  tray_->setIcon(icon);
}

void TrayStatusView::rebuildMenu() {
  // Submenus belong to the menu; clear() leaves them, so they go here.
  for (QMenu* submenu : menu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) submenu->deleteLater();
  menu_->clear();
  submenusMade_ = 0;
  auto controller = controller_.lock();
  if (!controller) return;
  fill(*menu_, controller->menu());
}

void TrayStatusView::fill(QMenu& menu, const std::vector<StatusMenuItem>& items) {
  for (const StatusMenuItem& item : items) {
    if (item.isSeparator) {
      menu.addSeparator();
      continue;
    }
    if (!item.submenu.empty()) {
      // Nested menus hang off the top menu so that one sweep removes them all.
      auto* submenu = new QMenu(menuText(item.title), menu_);
      submenu->setObjectName(QStringLiteral("statusMenu.submenu%1").arg(submenusMade_++));
      fill(*submenu, item.submenu);
      QAction* opener = menu.addMenu(submenu);
      opener->setEnabled(item.enabled);
      continue;
    }
    QAction* action = menu.addAction(menuText(item.title));
    action->setEnabled(item.enabled);
    if (item.checked) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    if (!item.keyEquivalent.empty())
      action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(item.keyEquivalent).toUpper()));
    if (item.action == StatusMenuAction::none) continue;
    StatusMenuAction what = item.action;
    action->setObjectName(QStringLiteral("statusMenu.") + QString::fromUtf8(statusMenuActionName(what).data(),
                                                                           statusMenuActionName(what).size()));
    connect(action, &QAction::triggered, this, [this, what] {
      // A checkable action flips its own mark; the next opening redraws it
      // from the engine anyway.
      if (auto controller = controller_.lock()) controller->perform(what);
    });
  }
}

StatusClick TrayStatusView::clickFor(QSystemTrayIcon::ActivationReason reason, Qt::KeyboardModifiers modifiers) {
  StatusClick click;
  if (modifiers & Qt::ControlModifier) click.modifierFlags |= kControlModifierFlag;
  switch (reason) {
    case QSystemTrayIcon::Trigger: click.kind = StatusClickKind::leftMouseUp; break;
    case QSystemTrayIcon::Context: click.kind = StatusClickKind::rightMouseUp; break;
    case QSystemTrayIcon::MiddleClick: click.kind = StatusClickKind::otherMouseUp; break;
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::Unknown: click.kind = StatusClickKind::none; break;
  }
  return click;
}

void TrayStatusView::activate(QSystemTrayIcon::ActivationReason reason, Qt::KeyboardModifiers modifiers) {
  StatusClick click = clickFor(reason, modifiers);
  if (click.kind == StatusClickKind::none) return;
  auto controller = controller_.lock();
  if (!controller) return;
  if (controller->click(click) != StatusClickAction::openMenu) return;
  // A right click's menu is opened by the desktop from the context menu.
  if (reason != QSystemTrayIcon::Context) showMenu();
}

void TrayStatusView::showMenu() {
  QRect where = tray_->geometry();
  menu_->popup(where.isValid() ? where.bottomLeft() : QCursor::pos());
}

}  // namespace tessa
