#include "ui/dashboard/content_view.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QShowEvent>
#include <QVBoxLayout>

#include "engine/engine_notifications.h"
#include "ui/dashboard/dashboard_pages.h"
#include "ui/dashboard/onboarding_sheet.h"
#include "ui/dashboard/sidebar_button.h"
#include "ui/symbol_icons.h"

namespace tessa {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// A one-pixel line; `inset` keeps it clear of the column's edges.
QWidget* divider(QWidget* parent, const char* name, Qt::Orientation orientation, int inset = 0) {
  auto* holder = new QWidget(parent);
  holder->setObjectName(name);
  auto* layout = new QHBoxLayout(holder);
  layout->setContentsMargins(orientation == Qt::Horizontal ? inset : 0, 0,
                             orientation == Qt::Horizontal ? inset : 0, 0);
  auto* line = new QFrame(holder);
  line->setObjectName(QStringLiteral("%1.line").arg(name));
  line->setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
  line->setFrameShadow(QFrame::Plain);
  QPalette p = line->palette();
  QColor c = p.color(QPalette::WindowText);
  c.setAlphaF(0.15f);
  p.setColor(QPalette::WindowText, c);
  line->setPalette(p);
  layout->addWidget(line);
  if (orientation == Qt::Vertical) holder->setFixedWidth(1);
  return holder;
}

bool darkTheme(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

}  // namespace

ContentView::ContentView(EngineViews engine, NotificationCenter& notifications, QWidget* parent,
                         DashboardServices services)
    : QWidget(parent),
      engine_(std::move(engine)),
      keepEngine_(engine_.context.owner.lock()),
      services_(std::move(services)),
      model_(engine_.settings.hasCompletedOnboarding.get()) {
  setObjectName("dashboardContent");
  setFixedSize(kWidth, kHeight);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(buildSidebar());
  layout->addWidget(divider(this, "dashboardColumnDivider", Qt::Vertical));

  detail_ = new QWidget(this);
  detail_->setObjectName("dashboardDetail");
  detail_->setAutoFillBackground(true);
  detail_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  detailLayout_ = new QVBoxLayout(detail_);
  detailLayout_->setContentsMargins(0, 0, 0, 0);
  detailLayout_->setSpacing(0);
  layout->addWidget(detail_, 1);

  showCurrentPage();
  updateRows();

  // The notifications come from the main queue; a post from elsewhere is
  // carried over to this object's thread.
  subscriptions_ = model_.observe(
      notifications, [this] { modelChanged(); },
      [this](std::function<void()> handler) { QMetaObject::invokeMethod(this, std::move(handler)); });
  subscriptions_.push_back(notifications.addObserver(notification::appLanguageChanged, [this](const Notification&) {
    QMetaObject::invokeMethod(this, [this] { retitle(); });
  }));
}

ContentView::~ContentView() = default;

QWidget* ContentView::buildSidebar() {
  auto* sidebar = new QWidget(this);
  sidebar->setObjectName("dashboardSidebar");
  sidebar->setFixedWidth(kSidebarWidth);
  sidebar->setAutoFillBackground(true);
  QPalette p = sidebar->palette();
  QColor window = p.color(QPalette::Window);
  p.setColor(QPalette::Window, darkTheme(p) ? window.lighter(115) : window.darker(106));
  sidebar->setPalette(p);

  auto* column = new QVBoxLayout(sidebar);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(16);
  column->addWidget(buildHeader(sidebar));
  column->addWidget(divider(sidebar, "dashboardHeaderDivider", Qt::Horizontal, 12));

  auto* rows = new QWidget(sidebar);
  rows->setObjectName("dashboardRows");
  auto* rowLayout = new QVBoxLayout(rows);
  rowLayout->setContentsMargins(8, 0, 8, 16);
  rowLayout->setSpacing(4);
  for (const auto& row : DashboardRootModel::sidebarRows()) {
    if (row.tab == DashboardRootModel::sidebarRows().back().tab) {
      rowLayout->addStretch(1);
      rowLayout->addWidget(divider(rows, "dashboardRowsDivider", Qt::Horizontal, 12));
    }
    auto* button = new SidebarButton(qs(DashboardRootModel::rowTitle(row, engine_.settings)), row.symbol, rows);
    button->setObjectName(QStringLiteral("sidebarRow%1").arg(row.tab));
    int tab = row.tab;
    connect(button, &QAbstractButton::clicked, this, [this, tab] { selectTab(tab); });
    rowLayout->addWidget(button);
    rows_.push_back(button);
  }
  column->addWidget(rows, 1);
  return sidebar;
}

QWidget* ContentView::buildHeader(QWidget* parent) {
  auto* header = new QWidget(parent);
  header->setObjectName("dashboardHeader");
  auto* layout = new QHBoxLayout(header);
  layout->setContentsMargins(10, 20, 10, 0);
  layout->setSpacing(10);

  auto* icon = new QLabel(header);
  icon->setObjectName("dashboardAppIcon");
  icon->setFixedSize(56, 56);
  icon->setPixmap(applicationIconPixmap(56, devicePixelRatioF()));
  layout->addWidget(icon, 0, Qt::AlignVCenter);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addStretch(1);
  auto* name = new QLabel(QStringLiteral("Tessavinor"), header);
  name->setObjectName("dashboardAppName");
  QFont nameFont = name->font();
  nameFont.setPixelSize(14);
  nameFont.setWeight(QFont::Bold);
  name->setFont(nameFont);
  texts->addWidget(name);

  auto* version = new QLabel(qs(DashboardRootModel::versionLine()), header);
  version->setObjectName("dashboardVersion");
  version->setTextFormat(Qt::PlainText);
  QFont versionFont = version->font();
  versionFont.setPixelSize(11);
  version->setFont(versionFont);
  QPalette p = version->palette();
  p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
  version->setPalette(p);
  texts->addWidget(version);
  texts->addStretch(1);

  layout->addLayout(texts);
  layout->addStretch(1);
  return header;
}

SidebarButton* ContentView::row(int tab) const {
  const auto& rows = DashboardRootModel::sidebarRows();
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].tab == tab) return rows_[i];
  return nullptr;
}

void ContentView::selectTab(int tab) {
  if (model_.select(tab)) modelChanged();
}

void ContentView::modelChanged() {
  if (model_.currentSection() != shownSection_) {
    showCurrentPage();
    updateRows();
  }
  presentOnboardingIfNeeded();
}

void ContentView::showCurrentPage() {
  // Every change of tab builds the page anew, even between two numbers that
  // show the same page, so no page keeps state across a change.
  shownSection_ = model_.currentSection();
  shownPage_ = model_.currentPage();
  if (page_) {
    // The old page may be the one whose signal brought us here.
    detailLayout_->removeWidget(page_);
    page_->hide();
    page_->setObjectName(QString());
    page_->deleteLater();
  }
  page_ = makeDashboardPage(shownPage_, engine_, detail_, services_);
  detailLayout_->addWidget(page_);
  page_->show();
}

void ContentView::updateRows() {
  const auto& rows = DashboardRootModel::sidebarRows();
  for (size_t i = 0; i < rows.size(); ++i) rows_[i]->setSelected(model_.isSelected(rows[i]));
}

void ContentView::retitle() {
  const auto& rows = DashboardRootModel::sidebarRows();
  for (size_t i = 0; i < rows.size(); ++i)
    rows_[i]->setTitle(qs(DashboardRootModel::rowTitle(rows[i], engine_.settings)));
  // The pages follow the language themselves.
}

void ContentView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A sheet needs a window on screen to hang from.
  QMetaObject::invokeMethod(this, [this] { presentOnboardingIfNeeded(); }, Qt::QueuedConnection);
}

void ContentView::presentOnboardingIfNeeded() {
  if (!model_.showOnboarding() || sheet_ || !isVisible()) return;
  auto* sheet = new OnboardingSheet(engine_.settings, engine_.accessibility, engine_.context, engine_.reports, this,
                                    services_.telemetry);
  sheet->setRepairAction([repair = engine_.accessibility.repair] { repair(false, true); });
  sheet_ = sheet;
  connect(sheet, &QDialog::finished, this, [this, sheet] {
    model_.onboardingClosed();
    if (sheet_ == sheet) sheet_ = nullptr;
    sheet->deleteLater();
  });
  sheet->open();
}

}  // namespace tessa
