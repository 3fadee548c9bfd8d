#include "ui/sheets/problem_report_sheet.h"

#include <algorithm>

#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app_core/dashboard/problem_report_model.h"
#include "ui/sheets/sheet_parts.h"
#include "ui/symbol_icons.h"

namespace tessa {

using namespace parts;

ProblemReportSheet::SaveChooser ProblemReportSheet::fileDialogChooser() {
  return [](QWidget* sheet, const QString& suggestedName, std::function<void(std::optional<QString>)> answer) {
    auto* dialog = new QFileDialog(sheet);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(QStringLiteral("JSON (*.json)"));
    dialog->setDefaultSuffix(QStringLiteral("json"));
    dialog->selectFile(suggestedName);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer](int result) {
      QStringList files = dialog->selectedFiles();
      if (result == QDialog::Accepted && !files.isEmpty() && !files.front().isEmpty()) {
        answer(files.front());
      } else {
        answer(std::nullopt);
      }
      dialog->deleteLater();
    });
    dialog->open();
  };
}

ProblemReportSheet::ProblemReportSheet(EngineReports reports, EngineContext context, QWidget* parent,
                                       std::string endpoint, SaveChooser chooser)
    : QDialog(parent),
      model_(ProblemReportModel::create(std::move(reports), std::move(context), std::move(endpoint))),
      chooser_(std::move(chooser)) {
  setObjectName("problemReportSheet");
  setWindowModality(Qt::WindowModal);
  setWindowTitle(QString::fromUtf8(ProblemReportModel::kTitle));
  setFixedWidth(kWidth);
  presentAsSheet(*this, true);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(14);
  column->addWidget(buildHeader());
  column->addWidget(divider(this, "report.divider"));
  form_ = buildForm();
  column->addWidget(form_);
  success_ = buildSuccess();
  column->addWidget(success_);
  column->addStretch(1);

  model_->onChange = [this] { refresh(); };
  refresh();
}

ProblemReportSheet::~ProblemReportSheet() {
  // An answer that arrives later finds no model and does nothing.
  model_->onChange = nullptr;
}

QWidget* ProblemReportSheet::buildHeader() {
  auto* header = new QWidget(this);
  header->setObjectName("report.header");
  header->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(12);
  row->addWidget(symbol(header, "report.symbol", "stethoscope", 26, pageColor(HudColor::accent)));
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(label(header, "report.title", qs(ProblemReportModel::kTitle), TextStyle::headline, QFont::Bold));
  auto* subtitle = label(header, "report.subtitle", qs(ProblemReportModel::kSubtitle), TextStyle::caption);
  setTextColor(subtitle, secondaryColor(*this));
  texts->addWidget(subtitle);
  row->addLayout(texts, 1);
  auto* close = new QPushButton(header);
  close->setObjectName("report.close");
  close->setFlat(true);
  close->setAccessibleName(qs(ProblemReportModel::kCloseName));
  close->setToolTip(qs(ProblemReportModel::kCloseName));
  close->setIcon(QIcon(symbolPixmap("xmark.circle.fill", 16, secondaryColor(*this), false, devicePixelRatioF())));
  close->setIconSize(QSize(symbolExtent(16), symbolExtent(16)));
  close->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px; }"));
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  row->addWidget(close, 0, Qt::AlignTop);
  return header;
}

QWidget* ProblemReportSheet::buildForm() {
  auto* form = new QWidget(this);
  form->setObjectName("report.form");
  auto* column = new QVBoxLayout(form);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(14);
  buildSentLines(form, column);
  buildDisclosure(form, column);
  buildNoteFields(form, column);
  buildOutcomeRows(form, column);
  buildButtons(form, column);
  return form;
}

// What is sent and what never is.
void ProblemReportSheet::buildSentLines(QWidget* form, QVBoxLayout* column) {
  const QColor secondary = secondaryColor(*this);
  const QColor primary = palette().color(QPalette::WindowText);
  auto* lists = new QVBoxLayout;
  lists->setSpacing(6);
  lists->addWidget(symbolRow(form, "report.sentLine", "checkmark.circle", primary,
                             qs(ProblemReportModel::sentLine()), TextStyle::caption, primary));
  lists->addWidget(symbolRow(form, "report.notSentLine", "xmark.circle", secondary,
                             qs(ProblemReportModel::kNotSentLine), TextStyle::caption, secondary));
  column->addLayout(lists);
}

// The exact JSON, on request.
void ProblemReportSheet::buildDisclosure(QWidget* form, QVBoxLayout* column) {
  auto* disclosure = new QVBoxLayout;
  disclosure->setSpacing(6);
  disclosure_ = new QToolButton(form);
  disclosure_->setObjectName("report.disclosure");
  disclosure_->setCheckable(true);
  disclosure_->setChecked(false);
  disclosure_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  disclosure_->setArrowType(Qt::RightArrow);
  disclosure_->setAutoRaise(true);
  QFont df = disclosure_->font();
  df.setPixelSize(pixelSize(TextStyle::caption));
  df.setWeight(QFont::DemiBold);
  disclosure_->setFont(df);
  connect(disclosure_, &QToolButton::toggled, this, [this](bool open) { model_->setShowPayload(open); });
  disclosure->addWidget(disclosure_, 0, Qt::AlignLeft);
  payload_ = new QPlainTextEdit(form);
  payload_->setObjectName("report.payload");
  payload_->setReadOnly(true);
  payload_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  payload_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPixelSize(10);
  payload_->setFont(mono);
  payload_->setFixedHeight(kPayloadHeight);
  payload_->setVisible(false);
  disclosure->addWidget(payload_);
  column->addLayout(disclosure);
}

// The note.
void ProblemReportSheet::buildNoteFields(QWidget* form, QVBoxLayout* column) {
  const QColor secondary = secondaryColor(*this);
  auto* noteBox = new QVBoxLayout;
  noteBox->setSpacing(4);
  noteBox->addWidget(
      label(form, "report.noteTitle", qs(ProblemReportModel::kNoteTitle), TextStyle::caption, QFont::DemiBold));
  note_ = new QLineEdit(form);
  note_->setObjectName("report.note");
  note_->setPlaceholderText(qs(ProblemReportModel::kNotePlaceholder));
  connect(note_, &QLineEdit::textChanged, this, [this](const QString& t) { model_->setNote(t.toStdString()); });
  noteBox->addWidget(note_);
  auto* hint = label(form, "report.noteHint", qs(ProblemReportModel::kNoteHint), TextStyle::caption2);
  setTextColor(hint, secondary);
  noteBox->addWidget(hint);
  column->addLayout(noteBox);

  // The contact.
  auto* contactBox = new QVBoxLayout;
  contactBox->setSpacing(4);
  contactBox->addWidget(label(form, "report.contactTitle", qs(ProblemReportModel::kContactTitle),
                              TextStyle::caption, QFont::DemiBold));
  contact_ = new QLineEdit(form);
  contact_->setObjectName("report.contact");
  connect(contact_, &QLineEdit::textChanged, this,
          [this](const QString& t) { model_->setContact(t.toStdString()); });
  contactBox->addWidget(contact_);
  column->addLayout(contactBox);
}

// The lines that tell how the last send or save went.
void ProblemReportSheet::buildOutcomeRows(QWidget* form, QVBoxLayout* column) {
  errorRow_ = new QWidget(form);
  errorRow_->setObjectName("report.errorRow");
  auto* errorLayout = new QHBoxLayout(errorRow_);
  errorLayout->setContentsMargins(0, 0, 0, 0);
  errorLayout->addWidget(
      symbol(errorRow_, "report.errorSymbol", "exclamationmark.triangle.fill", 12, pageColor(HudColor::orange)), 0,
      Qt::AlignTop);
  error_ = label(errorRow_, "report.error", QString(), TextStyle::caption);
  setTextColor(error_, pageColor(HudColor::red));
  errorLayout->addWidget(error_, 1);
  column->addWidget(errorRow_);

  saveError_ = label(form, "report.saveError", QString(), TextStyle::caption);
  setTextColor(saveError_, pageColor(HudColor::red));
  column->addWidget(saveError_);

  savedRow_ = new QWidget(form);
  savedRow_->setObjectName("report.savedRow");
  auto* savedLayout = new QHBoxLayout(savedRow_);
  savedLayout->setContentsMargins(0, 0, 0, 0);
  savedLayout->addWidget(symbol(savedRow_, nullptr, "checkmark.circle.fill", 12, pageColor(HudColor::green)), 0,
                         Qt::AlignTop);
  saved_ = label(savedRow_, "report.saved", QString(), TextStyle::caption);
  setTextColor(saved_, pageColor(HudColor::green));
  saved_->setMaximumHeight(saved_->fontMetrics().lineSpacing() * 2 + 2);  // at most two lines
  savedLayout->addWidget(saved_, 1);
  column->addWidget(savedRow_);
}

// The buttons.
void ProblemReportSheet::buildButtons(QWidget* form, QVBoxLayout* column) {
  const QColor secondary = secondaryColor(*this);
  auto* buttons = new QHBoxLayout;
  auto* privacy = new QPushButton(qs(ProblemReportModel::kPrivacyButton), form);
  privacy->setObjectName("report.privacy");
  privacy->setFlat(true);
  privacy->setAutoDefault(false);
  privacy->setCursor(Qt::PointingHandCursor);
  QFont pf = privacy->font();
  pf.setPixelSize(pixelSize(TextStyle::caption2));
  privacy->setFont(pf);
  privacy->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px; color: %1; }")
                             .arg(secondary.name(QColor::HexArgb)));
  connect(privacy, &QPushButton::clicked, this, [this] { model_->openPrivacyPolicy(); });
  buttons->addWidget(privacy);
  buttons->addStretch(1);
  save_ = new QPushButton(qs(ProblemReportModel::kSaveButton), form);
  save_->setObjectName("report.save");
  save_->setAutoDefault(false);
  connect(save_, &QPushButton::clicked, this, [this] { saveToFile(); });
  buttons->addWidget(save_);
  send_ = new QPushButton(form);
  send_->setObjectName("report.send");
  send_->setDefault(true);
  auto* sendLayout = new QHBoxLayout(send_);
  sendLayout->setContentsMargins(10, 0, 10, 0);
  sendLayout->setSpacing(6);
  spinner_ = new QProgressBar(send_);
  spinner_->setObjectName("report.sendSpinner");
  spinner_->setRange(0, 0);
  spinner_->setTextVisible(false);
  spinner_->setFixedSize(14, 14);
  sendLayout->addWidget(spinner_);
  auto* sendTitle = label(send_, "report.sendTitle", qs(ProblemReportModel::kSendButton), TextStyle::body,
                          QFont::Normal, false);
  sendTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
  sendLayout->addWidget(sendTitle);
  send_->setMinimumWidth(sendTitle->sizeHint().width() + 20 + 20);
  send_->setMinimumHeight(sendTitle->sizeHint().height() + 10);
  send_->setAccessibleName(qs(ProblemReportModel::kSendButton));
  connect(send_, &QPushButton::clicked, this, [this] { model_->submit(); });
  buttons->addWidget(send_);
  column->addLayout(buttons);
}

QWidget* ProblemReportSheet::buildSuccess() {
  auto* success = new QWidget(this);
  success->setObjectName("report.success");
  auto* column = new QVBoxLayout(success);
  column->setContentsMargins(0, 16, 0, 16);
  column->setSpacing(14);
  column->addWidget(symbol(success, "report.successSymbol", "checkmark.seal.fill", 44, pageColor(HudColor::green)),
                    0, Qt::AlignHCenter);
  auto* title =
      label(success, "report.successTitle", qs(ProblemReportModel::kSuccessTitle), TextStyle::title3, QFont::Bold);
  title->setAlignment(Qt::AlignHCenter);
  column->addWidget(title);

  auto* idBox = new QVBoxLayout;
  idBox->setSpacing(6);
  auto* caption = label(success, "report.reportIdCaption", qs(ProblemReportModel::kReportIdCaption),
                        TextStyle::caption);
  caption->setAlignment(Qt::AlignHCenter);
  setTextColor(caption, secondaryColor(*this));
  idBox->addWidget(caption);
  auto* plate = new QFrame(success);
  plate->setObjectName("report.reportIdPlate");
  plate->setAutoFillBackground(true);
  QPalette pp = plate->palette();
  pp.setColor(QPalette::Window, pp.color(QPalette::Base));
  plate->setPalette(pp);
  auto* plateRow = new QHBoxLayout(plate);
  plateRow->setContentsMargins(16, 8, 16, 8);
  plateRow->setSpacing(8);
  reportId_ = label(plate, "report.reportId", QString(), TextStyle::title2, QFont::Black, false);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPixelSize(pixelSize(TextStyle::title2));
  mono.setWeight(QFont::Black);
  reportId_->setFont(mono);
  reportId_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  plateRow->addWidget(reportId_);
  copy_ = new QPushButton(plate);
  copy_->setObjectName("report.copy");
  copy_->setFlat(true);
  copy_->setAutoDefault(false);
  copy_->setToolTip(qs(ProblemReportModel::kCopyTooltip));
  copy_->setAccessibleName(qs(ProblemReportModel::kCopyTooltip));
  copy_->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px; }"));
  connect(copy_, &QPushButton::clicked, this, [this] {
    model_->copyReportID([](const std::string& id) {
      QClipboard* clipboard = QGuiApplication::clipboard();
      clipboard->clear();
      clipboard->setText(QString::fromStdString(id));
    });
  });
  plateRow->addWidget(copy_);
  idBox->addWidget(plate, 0, Qt::AlignHCenter);
  column->addLayout(idBox);

  auto* retention = label(success, "report.retention", qs(ProblemReportModel::kRetentionNote), TextStyle::caption);
  retention->setAlignment(Qt::AlignHCenter);
  retention->setContentsMargins(24, 0, 24, 0);
  setTextColor(retention, secondaryColor(*this));
  column->addWidget(retention);

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 10, 0, 0);
  buttons->setSpacing(12);
  auto* privacy =
      linkButton(success, "report.openPrivacy", qs(ProblemReportModel::kOpenPrivacyLink), "", TextStyle::caption);
  privacy->setAutoDefault(false);
  connect(privacy, &QPushButton::clicked, this, [this] { model_->openPrivacyPolicy(); });
  buttons->addWidget(privacy);
  buttons->addStretch(1);
  done_ = new QPushButton(qs(ProblemReportModel::kDoneButton), success);
  done_->setObjectName("report.done");
  connect(done_, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(done_);
  column->addLayout(buttons);
  return success;
}

void ProblemReportSheet::saveToFile() {
  if (!model_->canSave() || askingWhere_) return;
  askingWhere_ = true;
  QPointer<ProblemReportSheet> self(this);
  chooser_(this, qs(ProblemReportModel::kSuggestedFileName), [self](std::optional<QString> path) {
    if (!self) return;
    self->askingWhere_ = false;
    if (path && !path->isEmpty()) self->model_->saveTo(path->toStdString());
  });
}

void ProblemReportSheet::refresh() {
  const ProblemReportModel& m = *model_;
  const bool sent = m.submittedReportID().has_value();
  form_->setVisible(!sent);
  success_->setVisible(sent);

  if (!sent) {
    disclosure_->setText(qs(m.disclosureLabel()));
    disclosure_->setArrowType(m.showPayload() ? Qt::DownArrow : Qt::RightArrow);
    if (disclosure_->isChecked() != m.showPayload()) disclosure_->setChecked(m.showPayload());
    payload_->setVisible(m.showPayload());
    if (m.showPayload()) payload_->setPlainText(qs(m.reportJSON()));

    errorRow_->setVisible(m.submitError().has_value());
    error_->setText(m.submitError() ? qs(*m.submitError()) : QString());
    saveError_->setVisible(m.saveError().has_value());
    saveError_->setText(m.saveError() ? qs(*m.saveError()) : QString());
    savedRow_->setVisible(m.savedLine().has_value());
    saved_->setText(m.savedLine() ? qs(*m.savedLine()) : QString());

    save_->setEnabled(!m.isSubmitting());
    send_->setEnabled(!m.isSubmitting());
    spinner_->setVisible(m.isSubmitting());
  } else {
    reportId_->setText(qs(*m.submittedReportID()));
    copy_->setProperty("symbol", m.isCopied() ? "checkmark" : "doc.on.doc");
    copy_->setIcon(QIcon(symbolPixmap(m.isCopied() ? "checkmark" : "doc.on.doc", pixelSize(TextStyle::body),
                                      pageColor(HudColor::accent), false, devicePixelRatioF())));
    copy_->setIconSize(QSize(symbolExtent(pixelSize(TextStyle::body)), symbolExtent(pixelSize(TextStyle::body))));
    done_->setDefault(true);
  }
  fitHeight();
}

int ProblemReportSheet::roomOnScreen() const {
  QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
  QScreen* s = over ? over->screen() : screen();
  if (!s) s = QGuiApplication::primaryScreen();
  if (!s) return QWIDGETSIZE_MAX;
  // The window manager's title bar and border come on top of the sheet.
  return s->availableGeometry().height() - kFrameAllowance;
}

void ProblemReportSheet::fitHeight() {
  // Wrapped lines need the height for this width, which adjustSize() does
  // not ask for under a fixed width.
  auto needed = [this] {
    // The form's size is cached until its layout request is handled on a
    // later turn; the data view was just shown or hidden, so ask anew.
    // Nested layouts keep their own cached heights.
    for (QLayout* inner : form_->findChildren<QLayout*>()) inner->invalidate();
    form_->updateGeometry();
    layout()->invalidate();
    layout()->activate();
    return layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(kWidth) : sizeHint().height();
  };
  payload_->setFixedHeight(kPayloadHeight);
  int height = needed();
  // On a short screen the data view gives up height (it scrolls), so the
  // note, the contact and the buttons stay on the screen.
  int room = roomOnScreen();
  if (payload_->isVisible() && height > room) {
    payload_->setFixedHeight(std::max(kMinimumPayloadHeight, kPayloadHeight - (height - room)));
    height = needed();
  }
  setFixedHeight(height);
}

}  // namespace tessa
