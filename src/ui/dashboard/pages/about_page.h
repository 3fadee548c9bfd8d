#pragma once
// The about page: name and version, what the program does, the privacy
// statement, the community statistics box, the problem-report entry, the
// download and feedback links, the dictionary credits and the update
// controls. It follows a change of the interface language at once.
#include <functional>
#include <memory>
#include <vector>

#include <QPointer>
#include <QScrollArea>

#include "base/observable.h"
#include "ui/sheets/problem_report_sheet.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace tessa {

class AboutModel;

class AboutPage final : public QScrollArea {
  Q_OBJECT

 public:
  // Makes the problem-report sheet over `parent`.
  using ReportSheetFactory = std::function<ProblemReportSheet*(QWidget* parent)>;
  // Makes the community statistics box for this page (none: no box).
  using CommunityFactory = std::function<QWidget*(QWidget* parent)>;

  // The page shows `model`; its report entry opens what `reportSheet` makes.
  AboutPage(std::shared_ptr<AboutModel> model, QWidget* parent, ReportSheetFactory reportSheet,
            CommunityFactory community = {});
  ~AboutPage() override;

  AboutModel& model() const { return *model_; }
  // The problem-report sheet while it is open.
  ProblemReportSheet* reportSheet() const { return sheet_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* buildContent();
  // One builder per group of the page, in its order; each adds to `column`.
  void buildHeader(QWidget* content, QVBoxLayout* column);
  void buildFeatures(QWidget* content, QVBoxLayout* column);
  void buildPrivacy(QWidget* content, QVBoxLayout* column);
  void buildCommunity(QWidget* content, QVBoxLayout* column);
  void buildReport(QWidget* content, QVBoxLayout* column);
  void buildLinks(QWidget* content, QVBoxLayout* column);
  void buildCredits(QWidget* content, QVBoxLayout* column);
  void buildUpdates(QWidget* content, QVBoxLayout* column);
  void retext();
  void refresh();

  std::shared_ptr<AboutModel> model_;
  CommunityFactory community_;
  ReportSheetFactory reportSheetFactory_;
  QPointer<ProblemReportSheet> sheet_;
  QLabel* description_ = nullptr;
  std::vector<std::pair<QLabel*, QLabel*>> features_;
  QLabel* privacyTitle_ = nullptr;
  QLabel* privacyBody_ = nullptr;
  QLabel* reportTitle_ = nullptr;
  QLabel* reportDesc_ = nullptr;
  QPushButton* reportButton_ = nullptr;
  QPushButton* download_ = nullptr;
  QPushButton* mail_ = nullptr;
  QToolButton* creditsToggle_ = nullptr;
  QWidget* credits_ = nullptr;
  QPushButton* checkUpdates_ = nullptr;
  QCheckBox* autoUpdate_ = nullptr;
  QLabel* autoUpdateTitle_ = nullptr;
  QLabel* autoUpdateDesc_ = nullptr;
  std::vector<Subscription> subscriptions_;
};

}  // namespace tessa
