#include "ui/hud/hud_window.h"

#include <algorithm>
#include <cstdlib>

#include <QGuiApplication>
#include <QMetaObject>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#if defined(TESSAVINOR_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>
#define TESSAVINOR_ASK_X11_COMPOSITOR 1
#endif

#include "ui/screen_geometry.h"

namespace tessa {

namespace {

#ifdef TESSAVINOR_ASK_X11_COMPOSITOR
// A compositing manager owns the _NET_WM_CM_S<screen> selection while it runs.
bool x11CompositorRunning() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return false;
  static const char kSelection[] = "_NET_WM_CM_S0";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, sizeof(kSelection) - 1, kSelection), nullptr);
  if (!atom) return false;
  xcb_get_selection_owner_reply_t* owner =
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
  bool running = owner && owner->owner != XCB_NONE;
  free(owner);
  free(atom);
  return running;
}
#else
bool x11CompositorRunning() { return false; }
#endif

bool isWayland(const QString& platformName) { return platformName.startsWith(QLatin1String("wayland")); }

constexpr double kPlateRadius = 12;

}  // namespace

bool windowSystemComposites(const QString& platformName) {
  if (platformName == QLatin1String("offscreen") || isWayland(platformName)) return true;
  if (platformName == QLatin1String("xcb")) return x11CompositorRunning();
  return false;
}

HudWindow::HudWindow(std::shared_ptr<UnifiedMenuPanel> panel, HudLocalizer localizer, Options options)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      panel_(std::move(panel)),
      options_(std::move(options)) {
  QString platform = options_.platformName.isEmpty() ? QGuiApplication::platformName() : options_.platformName;
  translucent_ = options_.translucent.value_or(windowSystemComposites(platform));
  canPlaceAtPoint_ = !isWayland(platform);

  setObjectName("hudWindow");
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_X11DoNotAcceptFocus);
  setFocusPolicy(Qt::NoFocus);
  if (translucent_) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
  }

  view_ = new UnifiedMenuView(panel_->state(), panel_->clock(), std::move(localizer), this);
  view_->setOpaquePlate(!translucent_);
  connect(view_, &UnifiedMenuView::rowRebuilt, this, [this](bool sameNotice) {
    // A new notice is measured by the panel itself on its next turn.
    if (sameNotice) panel_->refitToContent();
    layoutView();
  });

  // The panel measures the new content on the main queue's next turn; the
  // view is brought up to date first, so the size is the new row's.
  QPointer<HudWindow> self(this);
  panel_->setFittingSize([self]() -> HudSize {
    if (!self) return {};
    self->view_->sync();
    QSize size = self->view_->sizeHint();
    return HudSize{static_cast<double>(size.width()), static_cast<double>(size.height())};
  });
  panelSubscription_ = panel_->subscribeWillChange([this] { scheduleSync(); });

  connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &HudWindow::focusWindowChanged);
  lastFocusWindow_ = QGuiApplication::focusWindow();

  fadeTimer_.setInterval(16);
  connect(&fadeTimer_, &QTimer::timeout, this, [this] { mirrorPanel(); });
  sync();
}

HudWindow::~HudWindow() {
  panelSubscription_.reset();
  panel_->setFittingSize({});
  panel_->setStatusButtonSource({});
}

void HudWindow::bindStatusButton(std::function<QRect()> geometry) {
  if (!geometry) {
    panel_->setStatusButtonSource({});
    return;
  }
  panel_->setStatusButtonSource([geometry = std::move(geometry)]() -> std::optional<std::pair<Rect, ScreenInfo>> {
    QRect bounds = geometry();
    if (bounds.isEmpty()) return std::nullopt;
    QScreen* screen = QGuiApplication::screenAt(bounds.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    return std::make_pair(fromQtRect(bounds, primaryScreenGeometry()), screenInfoOf(*screen));
  });
}

void HudWindow::focusWindowChanged(QWindow* window) {
  if (!window) return;
  if (window != windowHandle()) {
    lastFocusWindow_ = window;
    return;
  }
  // Some platforms (the offscreen one among them) give the focus to every
  // window that is shown, whatever its hints. Hand it straight back when it
  // came from one of our own windows; another application's window is out of
  // our reach.
  if (lastFocusWindow_ && lastFocusWindow_->isVisible()) lastFocusWindow_->requestActivate();
}

void HudWindow::scheduleSync() {
  // Will-change comes before the panel stores the new value.
  if (syncQueued_) return;
  syncQueued_ = true;
  QMetaObject::invokeMethod(this, [this] { sync(); }, Qt::QueuedConnection);
}

void HudWindow::sync() {
  syncQueued_ = false;
  view_->sync();
  mirrorPanel();
}

void HudWindow::mirrorPanel() {
  QRect frame = toQtRect(panel_->frame(), primaryScreenGeometry());
  QRect outer = translucent_ ? frame.marginsAdded(shadowMargins()) : frame;
  if (canPlaceAtPoint_) {
    if (geometry() != outer) setGeometry(outer);
  } else {
    if (size() != outer.size()) resize(outer.size());
    if (!placementLogged_ && panel_->isVisible() && options_.log) {
      placementLogged_ = true;
      options_.log->info(
          "HUD: the Wayland compositor places windows itself; notices appear where it puts them, not at the "
          "caret or below the status item");
    }
  }

  // Without a compositor a window cannot be partly transparent: it shows
  // at once and goes at once.
  double opacity = translucent_ ? std::clamp(panel_->alphaValue(), 0.0, 1.0) : 1.0;
  if (opacity != windowOpacity()) setWindowOpacity(opacity);
  if (panel_->alphaAnimation()) {
    if (!fadeTimer_.isActive()) fadeTimer_.start();
  } else {
    fadeTimer_.stop();
  }

  if (panel_->isVisible() && !isVisible()) {
    show();
  } else if (!panel_->isVisible() && isVisible()) {
    hide();
  }
}

void HudWindow::layoutView() {
  if (!translucent_) {
    view_->setGeometry(rect());
    return;
  }
  // The plate keeps its own size, centred in the panel's frame, as the panel
  // may be larger than the content (never smaller than 240 by 44).
  QRect inner = rect().marginsRemoved(shadowMargins());
  QSize natural = view_->sizeHint().boundedTo(inner.size()).expandedTo(QSize(0, 0));
  QRect plate(QPoint(0, 0), natural);
  plate.moveCenter(inner.center());
  view_->setGeometry(plate);
  update();
}

void HudWindow::resizeEvent(QResizeEvent*) { layoutView(); }

void HudWindow::paintEvent(QPaintEvent*) {
  if (!translucent_ || !view_->row().drawsPlate) return;
  // A soft shadow below the plate: black at 0.3 spread over 8 points and
  // dropped by 3.
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  QRectF plate = QRectF(view_->geometry()).translated(0, 3);
  constexpr int kSpread = 8;
  for (int i = kSpread; i >= 1; --i) {
    QPainterPath layer;
    layer.addRoundedRect(plate.adjusted(-i, -i, i, i), kPlateRadius + i, kPlateRadius + i);
    painter.fillPath(layer, QColor(0, 0, 0, static_cast<int>(0.3 * 255 / (kSpread + 1))));
  }
}

}  // namespace tessa
