#include "ui/dashboard/widgets/share_invitation_sheet.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_core/dashboard/share_invitation_model.h"
#include "ui/dashboard/widgets/symbol_label.h"
#include "ui/symbol_icons.h"

namespace tessa {

namespace {
QString qs(const std::string& s) { return QString::fromStdString(s); }

QFrame* line(QWidget* parent) {
  auto* f = new QFrame(parent);
  f->setFrameShape(QFrame::HLine);
  f->setFrameShadow(QFrame::Plain);
  QPalette p = f->palette();
  QColor c = p.color(QPalette::WindowText);
  c.setAlphaF(0.15f);
  p.setColor(QPalette::WindowText, c);
  f->setPalette(p);
  return f;
}
}  // namespace

ShareInvitationSheet::ShareInvitationSheet(EngineSettings settings, HudNotices hud, QWidget* parent)
    : QDialog(parent), settings_(std::move(settings)), hud_(std::move(hud)) {
  setObjectName("shareInvitationSheet");
  setModal(true);
  setFixedWidth(kWidth);
  const auto t = ShareInvitationModel::texts(settings_.appLanguage.get());
  setWindowTitle(qs(t.title));
  const QColor accent = palette().color(QPalette::Highlight);

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(24, 24, 24, 24);
  v->setSpacing(20);

  auto* header = new QWidget(this);
  auto* h = new QHBoxLayout(header);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(14);
  auto* symbol = new QLabel(header);
  symbol->setObjectName("invitationSymbol");
  symbol->setPixmap(symbolPixmap("chart.bar.xaxis", 32, accent, false, devicePixelRatioF()));
  h->addWidget(symbol);
  auto* titles = new QVBoxLayout;
  titles->setSpacing(4);
  titles->addWidget(dashboard_style::label(qs(t.title), "invitationTitle", header, 14, QFont::Bold));
  auto* subtitle = dashboard_style::label(qs(t.subtitle), "invitationSubtitle", header, 11);
  dashboard_style::setTextColor(subtitle, dashboard_style::secondaryText(palette()));
  titles->addWidget(subtitle);
  h->addLayout(titles, 1);
  v->addWidget(header);
  v->addWidget(line(this));

  auto* points = new QVBoxLayout;
  points->setSpacing(10);
  for (size_t i = 0; i < t.points.size(); ++i) {
    auto* point = new SymbolLabel(t.points[i].symbol, qs(t.points[i].text), 12, palette().color(QPalette::WindowText),
                                  this);
    point->setObjectName(QStringLiteral("invitationPoint%1").arg(i));
    point->findChild<QLabel*>("symbol")->setPixmap(
        symbolPixmap(t.points[i].symbol, 12, accent, false, devicePixelRatioF()));
    point->findChild<QLabel*>("symbol")->setFixedWidth(18);
    points->addWidget(point);
  }
  v->addLayout(points);
  v->addWidget(line(this));

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(12);
  auto* acceptButton = new QPushButton(qs(t.accept), this);
  acceptButton->setObjectName("invitationAccept");
  acceptButton->setDefault(true);
  acceptButton->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border-radius: 5px; padding: 5px 10px; }")
                            .arg(accent.name()));
  auto* declineButton = new QPushButton(qs(t.decline), this);
  declineButton->setObjectName("invitationDecline");
  for (auto* b : {acceptButton, declineButton}) {
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    buttons->addWidget(b, 1);
  }
  v->addLayout(buttons);

  connect(acceptButton, &QPushButton::clicked, this, [this] {
    ShareInvitationModel::accept(settings_, hud_);
    accept();
  });
  connect(declineButton, &QPushButton::clicked, this, [this] {
    ShareInvitationModel::decline(settings_);
    reject();
  });
}

}  // namespace tessa
