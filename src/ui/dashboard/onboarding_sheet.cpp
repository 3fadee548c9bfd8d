#include "ui/dashboard/onboarding_sheet.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/keyboard_engine.h"
#include "ui/dashboard/dashboard_pages.h"

namespace tessa {

OnboardingSheet::OnboardingSheet(KeyboardEngine& engine, QWidget* parent) : QDialog(parent) {
  setObjectName("onboardingSheet");
  setWindowModality(Qt::WindowModal);
  setModal(true);
  bool thai = engine.appLanguage.get() == "th";
  setWindowTitle(QString::fromStdString(engine.localized("onboarding_level_welcome")));
  setFixedWidth(520);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(30, 30, 30, 30);
  layout->setSpacing(16);

  auto* title = new QLabel(QString::fromStdString(engine.localized("onboarding_level_welcome")), this);
  title->setObjectName("onboardingSheetTitle");
  title->setTextFormat(Qt::PlainText);
  title->setAlignment(Qt::AlignHCenter);
  QFont titleFont = title->font();
  titleFont.setPixelSize(22);
  titleFont.setWeight(QFont::Bold);
  title->setFont(titleFont);
  layout->addWidget(title);

  auto* note = new QLabel(PlaceholderPage::noteFor(engine), this);
  note->setObjectName("onboardingSheetNote");
  note->setTextFormat(Qt::PlainText);
  note->setAlignment(Qt::AlignHCenter);
  QFont noteFont = note->font();
  noteFont.setPixelSize(13);
  note->setFont(noteFont);
  layout->addWidget(note);

  auto* close = new QPushButton(thai ? QStringLiteral("ปิด") : QStringLiteral("Close"), this);
  close->setObjectName("onboardingSheetClose");
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(close, 0, Qt::AlignHCenter);
}

}  // namespace tessa
