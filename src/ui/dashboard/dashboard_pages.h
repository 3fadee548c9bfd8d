#pragma once
// The pages the dashboard's detail area shows, one per tab. A page is made
// afresh each time its tab is chosen and owned by the detail area.
#include <QWidget>

#include "app_core/dashboard_root_model.h"

namespace tessa {

class KeyboardEngine;

// The object name of `page`'s widget: "page.setupStatus", "page.usage", …
const char* dashboardPageObjectName(DashboardPage page);

QWidget* makeDashboardPage(DashboardPage page, KeyboardEngine& engine, QWidget* parent);

// A page that is still to come: its title and a line saying so.
class PlaceholderPage final : public QWidget {
  Q_OBJECT

 public:
  PlaceholderPage(const QString& title, const QString& note, QWidget* parent = nullptr);
  // The note in the engine's interface language.
  static QString noteFor(const KeyboardEngine& engine);
};

}  // namespace tessa
