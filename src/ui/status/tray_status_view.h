#pragma once
// The tray item over QSystemTrayIcon: draws what the status item controller
// asks for, turns tray clicks into its clicks, and keeps one menu that is
// refilled from the controller each time it opens.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QSystemTrayIcon>

#include "app_core/status_item_controller.h"

class QMenu;

namespace tessa {

class TrayStatusView final : public QObject, public StatusItemView {
  Q_OBJECT

 public:
  explicit TrayStatusView(QObject* parent = nullptr);
  ~TrayStatusView() override;

  // The controller is made after its view; until it is set (or once it is
  // gone) clicks and menu actions do nothing and the menu is empty.
  void setController(StatusItemController* controller);

  // StatusItemView
  bool hasButton() const override;
  void setIcon(const StatusIconSpec& icon) override;
  void setToolTip(const std::string& text) override;

  QSystemTrayIcon& trayIcon() { return *tray_; }
  QMenu& menu() { return *menu_; }
  // The last icon drawn, if any.
  const std::optional<StatusIconSpec>& currentIcon() const { return icon_; }

  // Refills the menu from the controller, as it is just before opening.
  void rebuildMenu();
  // Acts on one tray activation as the controller decides.
  void activate(QSystemTrayIcon::ActivationReason reason, Qt::KeyboardModifiers modifiers);

  // The click a tray activation stands for; none for one that is not a click
  // of its own (a double click follows its first click).
  static StatusClick clickFor(QSystemTrayIcon::ActivationReason reason, Qt::KeyboardModifiers modifiers);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void redrawIcon();
  void fill(QMenu& menu, const std::vector<StatusMenuItem>& items);
  void showMenu();

  std::weak_ptr<StatusItemController> controller_;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* menu_ = nullptr;
  std::optional<StatusIconSpec> icon_;
  int submenusMade_ = 0;
};

}  // namespace tessa
