#include "ui/dashboard/dashboard_pages.h"

#include <QLabel>
#include <QVBoxLayout>

#include "engine/keyboard_engine.h"
#include "ui/dashboard/pages/keyboard_settings_page.h"
#include "ui/dashboard/pages/setup_status_page.h"

namespace tessa {

const char* dashboardPageObjectName(DashboardPage page) {
  switch (page) {
    case DashboardPage::setupStatus: return "page.setupStatus";
    case DashboardPage::usage: return "page.usage";
    case DashboardPage::keyboardSettings: return "page.keyboardSettings";
    case DashboardPage::about: return "page.about";
  }
  return "page.setupStatus";
}

QWidget* makeDashboardPage(DashboardPage page, KeyboardEngine& engine, QWidget* parent) {
  QWidget* built = nullptr;
  switch (page) {
    case DashboardPage::setupStatus: built = new SetupStatusPage(engine, parent); break;
    case DashboardPage::keyboardSettings: built = new KeyboardSettingsPage(engine, LoginItemAccess{}, parent); break;
    default: break;
  }
  if (built) {
    built->setObjectName(dashboardPageObjectName(page));
    return built;
  }
  QString title;
  for (const auto& row : DashboardRootModel::sidebarRows())
    if (row.page == page) title = QString::fromStdString(DashboardRootModel::rowTitle(row, engine));
  QWidget* widget = new PlaceholderPage(title, PlaceholderPage::noteFor(engine), parent);
  widget->setObjectName(dashboardPageObjectName(page));
  return widget;
}

PlaceholderPage::PlaceholderPage(const QString& title, const QString& note, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setSpacing(8);
  layout->addStretch(1);

  auto* heading = new QLabel(title, this);
  heading->setObjectName("pageTitle");
  heading->setTextFormat(Qt::PlainText);
  QFont headingFont = heading->font();
  headingFont.setPixelSize(20);
  headingFont.setWeight(QFont::Bold);
  heading->setFont(headingFont);
  heading->setAlignment(Qt::AlignHCenter);
  layout->addWidget(heading);

  auto* line = new QLabel(note, this);
  line->setObjectName("pageNote");
  line->setTextFormat(Qt::PlainText);
  QFont lineFont = line->font();
  lineFont.setPixelSize(13);
  line->setFont(lineFont);
  line->setAlignment(Qt::AlignHCenter);
  QPalette p = line->palette();
  p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
  line->setPalette(p);
  layout->addWidget(line);
  layout->addStretch(1);
}

QString PlaceholderPage::noteFor(const KeyboardEngine& engine) {
  return engine.appLanguage.get() == "th" ? QStringLiteral("หน้านี้ยังไม่พร้อม")
                                          : QStringLiteral("This page is not built yet.");
}

}  // namespace tessa
