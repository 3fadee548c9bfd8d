#include "ui/dashboard/pages/setup_status_page.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dashboard/pages/option_card.h"
#include "ui/dashboard/pages/page_parts.h"
#include "ui/sheets/accessibility_consent_box.h"
#include "ui/symbol_icons.h"
#include "ui/system_colors.h"

namespace tessa {

using namespace page_parts;

SetupStatusPage::SetupStatusPage(EngineSettings settings, EngineAccessibility accessibility, EngineContext context,
                                 QWidget* parent)
    : PageScrollArea(parent), model_(std::move(settings), std::move(accessibility), std::move(context)) {
  build();
  refresh();
  engineChanges_ = model_.subscribeChanges([this] { refreshSoon_.request(); });
}

SetupStatusPage::~SetupStatusPage() {
  if (confirmation_) {
    confirmation_->disconnect(this);
    delete confirmation_;
  }
  // Its answer would reach the model, which goes with this page.
  if (consent_) {
    consent_->disconnect();
    delete consent_;
  }
}

void SetupStatusPage::build() {
  auto* content = new QWidget(this);
  content->setObjectName("setupStatusContent");
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(16);

  auto* header = new QVBoxLayout;
  header->setSpacing(6);
  title_ = label({}, content, "setupTitle", kTitle2, true);
  setWeight(title_, QFont::Bold);
  header->addWidget(title_);
  subtitle_ = label({}, content, "setupSubtitle", kCaption, true);
  setTextColor(subtitle_, secondaryColor(this));
  header->addWidget(subtitle_);
  column->addLayout(header);

  auto* line = new QFrame(content);
  line->setObjectName("setupDivider");
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  column->addWidget(line);

  auto* card = new QFrame(content);
  card->setObjectName("accessibilityCard");
  QColor fill = withOpacity(palette().color(QPalette::Base), 0.3);
  QColor stroke = withOpacity(secondaryColor(this), 0.12);
  card->setStyleSheet(QStringLiteral("QFrame#accessibilityCard { background: %1; border: 1px solid %2; "
                                     "border-radius: 12px; }")
                          .arg(fill.name(QColor::HexArgb), stroke.name(QColor::HexArgb)));
  auto* row = new QHBoxLayout(card);
  row->setContentsMargins(14, 14, 14, 14);
  row->setSpacing(10);
  statusSymbol_ = new QLabel(card);
  statusSymbol_->setObjectName("accessibilitySymbol");
  statusSymbol_->setFixedSize(symbolExtent(18), symbolExtent(18));
  row->addWidget(statusSymbol_, 0, Qt::AlignVCenter);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  cardTitle_ = label({}, card, "accessibilityTitle", kCaption, true);
  setWeight(cardTitle_, QFont::DemiBold);
  texts->addWidget(cardTitle_);
  description_ = label({}, card, "accessibilityDescription", kCaption2, true);
  setTextColor(description_, secondaryColor(this));
  texts->addWidget(description_);
  row->addLayout(texts, 1);

  actions_ = new QWidget(card);
  actions_->setObjectName("accessibilityActions");
  auto* actionColumn = new QVBoxLayout(actions_);
  actionColumn->setContentsMargins(0, 0, 0, 0);
  actionColumn->setSpacing(6);
  grantButton_ = new QPushButton(actions_);
  grantButton_->setObjectName("grantAccessButton");
  grantButton_->setDefault(true);
  connect(grantButton_, &QPushButton::clicked, this, [this] { grantAccess(); });
  actionColumn->addWidget(grantButton_, 0, Qt::AlignRight);
  repairLink_ = new QPushButton(actions_);
  repairLink_->setObjectName("repairLink");
  repairLink_->setFlat(true);
  QFont f = repairLink_->font();
  f.setPixelSize(kCaption2);
  repairLink_->setFont(f);
  repairLink_->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; padding: 0px; }")
                                 .arg(secondaryColor(this).name()));
  repairLink_->setToolTip(QString::fromUtf8(SetupStatusModel::kRepairTooltip));
  pointingHandOnHover(repairLink_);
  connect(repairLink_, &QPushButton::clicked, this, [this] {
    model_.requestRepair();
    showRepairConfirmation();
  });
  actionColumn->addWidget(repairLink_, 0, Qt::AlignRight);
  row->addWidget(actions_, 0, Qt::AlignVCenter);
  column->addWidget(card);
  // A program that must be restarted before its text can be read.
  restartNotice_ = label({}, content, "restartNotice", kCaption, true);
  setTextColor(restartNotice_, systemColor(HudColor::orange));
  column->addWidget(restartNotice_);
  column->addStretch(1);

  setWidget(content);
}

void SetupStatusPage::showRepairConfirmation() {
  if (confirmation_) return;
  auto* box = new QMessageBox(this);
  box->setObjectName("repairConfirmation");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::Warning);
  box->setText(qs(model_.text("repair_confirm_title")));
  box->setInformativeText(qs(model_.text("repair_confirm_message")));
  auto* confirm = box->addButton(qs(model_.text("repair_confirm_action")), QMessageBox::DestructiveRole);
  confirm->setObjectName("repairConfirmButton");
  auto* cancel = box->addButton(qs(model_.text("btn_cancel")), QMessageBox::RejectRole);
  cancel->setObjectName("repairCancelButton");
  box->setDefaultButton(cancel);
  box->setEscapeButton(cancel);
  connect(box, &QMessageBox::buttonClicked, this, [this, confirm](QAbstractButton* clicked) {
    if (clicked == confirm) model_.confirmRepair();
    else model_.cancelRepair();
  });
  // Closed any other way (the window's close button): nothing happens.
  connect(box, &QObject::destroyed, this, [this] {
    if (model_.showRepairConfirmation()) model_.cancelRepair();
  });
  confirmation_ = box;
  box->open();
}

void SetupStatusPage::grantAccess() {
  model_.grantAccess();
  if (model_.consent().isAsking() && !consent_) consent_ = openAccessibilityConsent(this, model_.consent());
}

void SetupStatusPage::refresh() {
  title_->setText(qs(model_.text("setup_title")));
  subtitle_->setText(qs(model_.text("setup_subtitle")));
  cardTitle_->setText(qs(model_.text("setup_accessibility")));
  description_->setText(qs(model_.description()));
  statusSymbol_->setPixmap(
      symbolPixmap(model_.statusSymbol(), 18, systemColor(model_.statusColor()), false, devicePixelRatioF()));
  statusSymbol_->setProperty("symbol", qs(model_.statusSymbol()));
  actions_->setVisible(model_.showsActions());
  grantButton_->setText(qs(model_.text("setup_accessibility_btn")));
  repairLink_->setText(qs(model_.text("setup_accessibility_troubleshoot_link")));
  const std::string restart = model_.restartNotice();
  restartNotice_->setText(qs(restart));
  restartNotice_->setVisible(!restart.empty());
  fitContent();
}

}  // namespace tessa
