#include "ui/dashboard/pages/about_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "app_core/dashboard/about_model.h"
#include "base/notification_center.h"
#include "engine/engine_notifications.h"
#include "ui/sheets/problem_report_sheet.h"
#include "ui/sheets/sheet_parts.h"
#include "ui/symbol_icons.h"

namespace tessa {

using namespace parts;

namespace {

// The credits' markdown has only bold: "**name**" becomes <b>name</b>, the
// rest is shown as plain text. (Qt's markdown labels misjudge the height of
// wrapped lines.)
QString boldMarked(const QString& markdown) {
  QStringList pieces = markdown.split(QStringLiteral("**"));
  QString html;
  for (int i = 0; i < pieces.size(); ++i) {
    QString piece = pieces[i].toHtmlEscaped();
    html += (i % 2 == 1 && i + 1 < pieces.size()) ? QStringLiteral("<b>%1</b>").arg(piece) : piece;
  }
  return html;
}

// A button's text shows "&" only when doubled.
QString buttonText(const std::string& text) { return qs(text).replace(QLatin1Char('&'), QStringLiteral("&&")); }

}  // namespace

AboutPage::AboutPage(std::shared_ptr<AboutModel> model, QWidget* parent, ReportSheetFactory reportSheet,
                     CommunityFactory community)
    : QScrollArea(parent),
      model_(std::move(model)),
      community_(std::move(community)),
      reportSheetFactory_(std::move(reportSheet)) {
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setWidget(buildContent());
  widget()->setAutoFillBackground(false);
  viewport()->setAutoFillBackground(false);

  model_->onChange = [this] { refresh(); };
  subscriptions_.push_back(
      model_->notifications().addObserver(notification::appLanguageChanged, [this](const Notification&) {
        QMetaObject::invokeMethod(this, [this] { retext(); });
      }));
  retext();
  refresh();
}

AboutPage::~AboutPage() {
  model_->onChange = nullptr;
  if (sheet_) sheet_->deleteLater();
}

QWidget* AboutPage::buildContent() {
  auto* content = new QWidget(this);
  content->setObjectName("about.content");
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(24);
  buildHeader(content, column);
  buildFeatures(content, column);
  buildPrivacy(content, column);
  buildCommunity(content, column);
  buildReport(content, column);
  buildLinks(content, column);
  buildCredits(content, column);
  buildUpdates(content, column);
  column->addStretch(1);
  return content;
}

// Header: the keyboard on a faint accent tile, the name and the version.
void AboutPage::buildHeader(QWidget* content, QVBoxLayout* column) {
  const QColor accent = pageColor(HudColor::accent);
  const QColor secondary = secondaryColor(*this);
  auto* header = new QHBoxLayout;
  header->setSpacing(16);
  auto* icon = symbol(content, "about.icon", "keyboard", 40, accent);
  icon->setFixedSize(56, 56);
  icon->setAlignment(Qt::AlignCenter);
  icon->setStyleSheet(QStringLiteral("QLabel { background: rgba(%1, %2, %3, 26); border-radius: 12px; }")
                          .arg(accent.red())
                          .arg(accent.green())
                          .arg(accent.blue()));
  header->addWidget(icon);
  auto* names = new QVBoxLayout;
  names->setSpacing(4);
  auto* name = label(content, "about.name", QString::fromUtf8(AboutModel::kAppName), TextStyle::title2, QFont::Bold);
  setTextColor(name, secondary);
  names->addWidget(name);
  auto* version = label(content, "about.version", qs(AboutModel::versionLine()), TextStyle::caption);
  setTextColor(version, secondary);
  names->addWidget(version);
  header->addLayout(names, 1);
  column->addLayout(header);
  column->addWidget(divider(content, "about.divider1"));
}

// Description and features.
void AboutPage::buildFeatures(QWidget* content, QVBoxLayout* column) {
  const QColor secondary = secondaryColor(*this);
  description_ = label(content, "about.description", QString(), TextStyle::body);
  column->addWidget(description_);
  auto* features = new QVBoxLayout;
  features->setSpacing(10);
  int index = 0;
  for (const auto& f : AboutModel::features()) {
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto* mark = symbol(content, nullptr, f.symbol, pixelSize(TextStyle::body), pageColor(f.color));
    mark->setObjectName(QStringLiteral("about.feature%1.symbol").arg(index));
    mark->setFixedWidth(20);
    row->addWidget(mark, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* title = label(content, nullptr, QString(), TextStyle::caption, QFont::DemiBold);
    title->setObjectName(QStringLiteral("about.feature%1.title").arg(index));
    auto* desc = label(content, nullptr, QString(), TextStyle::caption2);
    desc->setObjectName(QStringLiteral("about.feature%1.desc").arg(index));
    setTextColor(desc, secondary);
    texts->addWidget(title);
    texts->addWidget(desc);
    row->addLayout(texts, 1);
    features->addLayout(row);
    features_.emplace_back(title, desc);
    ++index;
  }
  column->addLayout(features);
  column->addWidget(divider(content, "about.divider2"));
}

// Privacy.
void AboutPage::buildPrivacy(QWidget* content, QVBoxLayout* column) {
  auto* privacy = new QGroupBox(content);
  privacy->setObjectName("about.privacy");
  auto* privacyColumn = new QVBoxLayout(privacy);
  privacyColumn->setSpacing(6);
  auto* privacyHead = new QHBoxLayout;
  privacyHead->setSpacing(6);
  privacyHead->addWidget(symbol(privacy, "about.privacySymbol", "lock.shield", pixelSize(TextStyle::caption),
                                palette().color(QPalette::WindowText)));
  privacyTitle_ = label(privacy, "about.privacyTitle", QString(), TextStyle::caption, QFont::DemiBold, false);
  privacyHead->addWidget(privacyTitle_, 1);
  privacyColumn->addLayout(privacyHead);
  privacyBody_ = label(privacy, "about.privacyBody", QString(), TextStyle::caption);
  privacyColumn->addWidget(privacyBody_);
  column->addWidget(privacy);
}

// The community statistics box, when the page has one.
void AboutPage::buildCommunity(QWidget* content, QVBoxLayout* column) {
  if (community_) {
    column->addWidget(divider(content, "about.divider3"));
    QWidget* box = community_(content);
    box->setObjectName("about.community");
    column->addWidget(box);
  }
  column->addWidget(divider(content, "about.divider4"));
}

// Problem report.
void AboutPage::buildReport(QWidget* content, QVBoxLayout* column) {
  const QColor secondary = secondaryColor(*this);
  auto* report = new QGroupBox(content);
  report->setObjectName("about.report");
  auto* reportRow = new QHBoxLayout(report);
  reportRow->setContentsMargins(12, 10, 12, 10);
  reportRow->setSpacing(12);
  auto* bubble = symbol(report, "about.reportSymbol", "exclamationmark.bubble", 22, pageColor(HudColor::orange));
  bubble->setFixedWidth(32);
  bubble->setAccessibleName(QString());
  reportRow->addWidget(bubble);
  auto* reportTexts = new QVBoxLayout;
  reportTexts->setSpacing(3);
  reportTitle_ = label(report, "about.reportTitle", QString(), TextStyle::caption, QFont::DemiBold);
  reportDesc_ = label(report, "about.reportDesc", QString(), TextStyle::caption2);
  setTextColor(reportDesc_, secondary);
  reportTexts->addWidget(reportTitle_);
  reportTexts->addWidget(reportDesc_);
  reportRow->addLayout(reportTexts, 1);
  reportRow->addSpacing(8);
  reportButton_ = new QPushButton(report);
  reportButton_->setObjectName("about.reportButton");
  QFont small = reportButton_->font();
  small.setPixelSize(pixelSize(TextStyle::caption));
  reportButton_->setFont(small);
  connect(reportButton_, &QPushButton::clicked, this, [this] { model_->showProblemReport(); });
  reportRow->addWidget(reportButton_);
  column->addWidget(report);
}

// Links.
void AboutPage::buildLinks(QWidget* content, QVBoxLayout* column) {
  auto* links = new QHBoxLayout;
  links->setSpacing(16);
  download_ = linkButton(content, "about.downloadLink", QString(), "link", TextStyle::caption);
  connect(download_, &QPushButton::clicked, this, [this] { model_->openDownloadPage(); });
  links->addWidget(download_);
  mail_ = linkButton(content, "about.mailLink", QString::fromUtf8(AboutModel::kSupportAddress), "envelope",
                     TextStyle::caption);
  connect(mail_, &QPushButton::clicked, this, [this] { model_->sendFeedbackMail(); });
  links->addWidget(mail_);
  links->addStretch(1);
  column->addLayout(links);
}

// Credits, collapsed at first.
void AboutPage::buildCredits(QWidget* content, QVBoxLayout* column) {
  const QColor secondary = secondaryColor(*this);
  auto* creditsBox = new QVBoxLayout;
  creditsBox->setSpacing(4);
  creditsToggle_ = new QToolButton(content);
  creditsToggle_->setObjectName("about.creditsToggle");
  creditsToggle_->setCheckable(true);
  creditsToggle_->setAutoRaise(true);
  creditsToggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  creditsToggle_->setArrowType(Qt::RightArrow);
  QFont cf = creditsToggle_->font();
  cf.setPixelSize(pixelSize(TextStyle::caption));
  creditsToggle_->setFont(cf);
  creditsBox->addWidget(creditsToggle_, 0, Qt::AlignLeft);
  credits_ = new QWidget(content);
  credits_->setObjectName("about.credits");
  auto* creditLines = new QVBoxLayout(credits_);
  creditLines->setContentsMargins(0, 4, 0, 0);
  creditLines->setSpacing(6);
  int line = 0;
  for (const auto& text : AboutModel::creditLines()) {
    auto* l = label(credits_, nullptr, boldMarked(qs(text)), TextStyle::caption2);
    l->setObjectName(QStringLiteral("about.credit%1").arg(line++));
    l->setTextFormat(Qt::RichText);
    setTextColor(l, secondary);
    creditLines->addWidget(l);
  }
  credits_->setVisible(false);
  connect(creditsToggle_, &QToolButton::toggled, this, [this](bool open) {
    credits_->setVisible(open);
    creditsToggle_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
  });
  creditsBox->addWidget(credits_);
  column->addLayout(creditsBox);
}

// Updates.
void AboutPage::buildUpdates(QWidget* content, QVBoxLayout* column) {
  const QColor secondary = secondaryColor(*this);
  auto* updates = new QVBoxLayout;
  updates->setSpacing(8);
  checkUpdates_ = new QPushButton(content);
  checkUpdates_->setObjectName("about.checkUpdates");
  QFont small = checkUpdates_->font();
  small.setPixelSize(pixelSize(TextStyle::caption));
  checkUpdates_->setFont(small);
  checkUpdates_->setIcon(QIcon(symbolPixmap("arrow.triangle.2.circlepath", pixelSize(TextStyle::caption),
                                            palette().color(QPalette::ButtonText), false, devicePixelRatioF())));
  connect(checkUpdates_, &QPushButton::clicked, this, [this] { model_->checkForUpdates(); });
  updates->addWidget(checkUpdates_, 0, Qt::AlignLeft);
  auto* switchRow = new QHBoxLayout;
  switchRow->setSpacing(10);
  auto* switchTexts = new QVBoxLayout;
  switchTexts->setSpacing(3);
  autoUpdateTitle_ = label(content, "about.autoUpdateTitle", QString(), TextStyle::caption, QFont::DemiBold);
  autoUpdateDesc_ = label(content, "about.autoUpdateDesc", QString(), TextStyle::caption2);
  setTextColor(autoUpdateDesc_, secondary);
  switchTexts->addWidget(autoUpdateTitle_);
  switchTexts->addWidget(autoUpdateDesc_);
  switchRow->addLayout(switchTexts, 1);
  autoUpdate_ = new QCheckBox(content);
  autoUpdate_->setObjectName("about.autoUpdate");
  connect(autoUpdate_, &QCheckBox::toggled, this, [this](bool on) { model_->userSetAutoUpdate(on); });
  switchRow->addWidget(autoUpdate_, 0, Qt::AlignTop);
  updates->addLayout(switchRow);
  column->addLayout(updates);
}

void AboutPage::retext() {
  const AboutModel& m = *model_;
  description_->setText(qs(m.text("about_desc_free")));
  for (size_t i = 0; i < features_.size(); ++i) {
    features_[i].first->setText(qs(m.text(AboutModel::features()[i].titleKey)));
    features_[i].second->setText(qs(m.text(AboutModel::features()[i].descriptionKey)));
  }
  privacyTitle_->setText(qs(m.text("about_privacy_title")));
  privacyBody_->setText(qs(m.text("about_privacy_body_free")));
  reportTitle_->setText(qs(m.text("about_report_title")));
  reportDesc_->setText(qs(m.text("about_report_desc")));
  reportButton_->setText(buttonText(m.text("about_report_button")));
  download_->setText(buttonText(m.text("about_github")));
  mail_->setToolTip(qs(m.text("about_contact")));
  creditsToggle_->setText(buttonText(m.creditsHeading()));
  checkUpdates_->setText(buttonText(m.text("about_check_update")));
  autoUpdate_->setAccessibleName(qs(m.text("about_auto_update")));
  autoUpdateTitle_->setText(qs(m.text("about_auto_update")));
  autoUpdateDesc_->setText(qs(m.text("about_auto_update_desc")));
}

void AboutPage::refresh() {
  const AboutModel& m = *model_;
  if (autoUpdate_->isChecked() != m.isAutoUpdateEnabled()) {
    QSignalBlocker quiet(autoUpdate_);
    autoUpdate_->setChecked(m.isAutoUpdateEnabled());
  }
  if (m.isShowingProblemReport() && !sheet_) {
    QWidget* over = window();
    ProblemReportSheet* sheet = reportSheetFactory_ ? reportSheetFactory_(over) : nullptr;
    if (!sheet) {
      model_->problemReportClosed();
      return;
    }
    sheet_ = sheet;
    connect(sheet, &QDialog::finished, this, [this, sheet] {
      if (sheet_ == sheet) sheet_ = nullptr;
      sheet->deleteLater();
      model_->problemReportClosed();
    });
    sheet->open();
  }
}

void AboutPage::showEvent(QShowEvent* event) {
  QScrollArea::showEvent(event);
  if (!event->spontaneous()) model_->appear();
}

}  // namespace tessa
