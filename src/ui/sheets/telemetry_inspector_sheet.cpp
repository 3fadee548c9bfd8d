#include "ui/sheets/telemetry_inspector_sheet.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app_core/dashboard/telemetry_inspector_model.h"
#include "ui/sheets/sheet_parts.h"
#include "ui/symbol_icons.h"

namespace tessa {

using namespace parts;

TelemetryInspectorSheet::TelemetryInspectorSheet(EngineSettings settings, EngineContext context, EngineReports reports,
                                                 QWidget* parent, TelemetryManager& telemetry)
    : QDialog(parent),
      model_(TelemetryInspectorModel::create(std::move(settings), std::move(context), std::move(reports),
                                             telemetry)) {
  const TelemetryInspectorModel::Texts& t = model_->texts();
  setObjectName("telemetryInspectorSheet");
  setWindowModality(Qt::WindowModal);
  setWindowTitle(QString::fromUtf8(t.title));
  setFixedWidth(kWidth);
  presentAsSheet(*this, true);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(16);
  buildHeader(column);
  buildPoints(column);
  buildPayload(column);
  buildFooter(column);

  model_->onChange = [this] { refresh(); };
  refresh();
  layout()->activate();
  setFixedHeight(layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(kWidth) : sizeHint().height());
}

// Header.
void TelemetryInspectorSheet::buildHeader(QVBoxLayout* column) {
  const TelemetryInspectorModel::Texts& t = model_->texts();
  const QColor green = pageColor(HudColor::green);
  const QColor secondary = secondaryColor(*this);
  auto* header = new QHBoxLayout;
  header->setSpacing(12);
  header->addWidget(symbol(this, "inspector.symbol", "checkmark.shield.fill", 28, green));
  auto* titles = new QVBoxLayout;
  titles->setSpacing(2);
  titles->addWidget(label(this, "inspector.title", QString::fromUtf8(t.title), TextStyle::headline, QFont::Bold));
  auto* subtitle = label(this, "inspector.subtitle", QString::fromUtf8(t.subtitle), TextStyle::caption);
  setTextColor(subtitle, secondary);
  titles->addWidget(subtitle);
  header->addLayout(titles, 1);
  auto* close = new QPushButton(this);
  close->setObjectName("inspector.close");
  close->setFlat(true);
  close->setAutoDefault(false);
  close->setAccessibleName(QString::fromUtf8(t.close));
  close->setIcon(QIcon(symbolPixmap("xmark.circle.fill", 16, secondary, false, devicePixelRatioF())));
  close->setIconSize(QSize(symbolExtent(16), symbolExtent(16)));
  close->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px; }"));
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  header->addWidget(close, 0, Qt::AlignTop);
  column->addLayout(header);
  column->addWidget(divider(this, "inspector.divider"));
}

// The two privacy points on a faint green plate.
void TelemetryInspectorSheet::buildPoints(QVBoxLayout* column) {
  const TelemetryInspectorModel::Texts& t = model_->texts();
  const QColor green = pageColor(HudColor::green);
  auto* points = new QFrame(this);
  points->setObjectName("inspector.points");
  points->setStyleSheet(QStringLiteral("QFrame#inspector\\.points { background: rgba(%1, %2, %3, 20); "
                                       "border-radius: 8px; }")
                            .arg(green.red())
                            .arg(green.green())
                            .arg(green.blue()));
  auto* pointRows = new QVBoxLayout(points);
  pointRows->setContentsMargins(10, 10, 10, 10);
  pointRows->setSpacing(6);
  const QColor primary = palette().color(QPalette::WindowText);
  pointRows->addWidget(
      symbolRow(points, "inspector.point1", "nosign", green, QString::fromUtf8(t.pointNoText), TextStyle::caption2,
                primary));
  pointRows->addWidget(symbolRow(points, "inspector.point2", "arrow.triangle.2.circlepath", green,
                                 QString::fromUtf8(t.pointRotatingId), TextStyle::caption2, primary));
  column->addWidget(points);
}

// The payload.
void TelemetryInspectorSheet::buildPayload(QVBoxLayout* column) {
  const TelemetryInspectorModel::Texts& t = model_->texts();
  const QColor secondary = secondaryColor(*this);
  auto* payloadBox = new QVBoxLayout;
  payloadBox->setSpacing(6);
  auto* headingRow = new QHBoxLayout;
  auto* heading = label(this, "inspector.heading", QString::fromUtf8(t.payloadHeading), TextStyle::caption2,
                        QFont::DemiBold);
  setTextColor(heading, secondary);
  headingRow->addWidget(heading, 1);
  copy_ = new QPushButton(this);
  copy_->setObjectName("inspector.copy");
  copy_->setFlat(true);
  copy_->setAutoDefault(false);
  QFont cf = copy_->font();
  cf.setPixelSize(pixelSize(TextStyle::caption2));
  copy_->setFont(cf);
  connect(copy_, &QPushButton::clicked, this, [this] {
    model_->copyJSON([](const std::string& text) {
      QClipboard* clipboard = QGuiApplication::clipboard();
      clipboard->clear();
      clipboard->setText(QString::fromStdString(text));
    });
  });
  headingRow->addWidget(copy_);
  payloadBox->addLayout(headingRow);

  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("inspector.payloadScroll");
  scroll->setWidgetResizable(true);
  scroll->setMaximumHeight(kPayloadMaxHeight);
  scroll->setStyleSheet(QStringLiteral("QScrollArea#inspector\\.payloadScroll { border: 1px solid %1; "
                                       "border-radius: 6px; }")
                            .arg(QColor(secondary.red(), secondary.green(), secondary.blue(), 51).name(QColor::HexArgb)));
  auto* payload = new QLabel(scroll);
  payload->setObjectName("inspector.payload");
  payload->setTextFormat(Qt::PlainText);
  payload->setTextInteractionFlags(Qt::NoTextInteraction);
  payload->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  payload->setContentsMargins(10, 10, 10, 10);
  payload->setAutoFillBackground(true);
  QPalette pp = payload->palette();
  pp.setColor(QPalette::Window, pp.color(QPalette::Base));
  payload->setPalette(pp);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPixelSize(pixelSize(TextStyle::caption));
  payload->setFont(mono);
  payload->setText(QString::fromStdString(model_->payloadText()));
  scroll->setWidget(payload);
  payloadBox->addWidget(scroll);
  column->addLayout(payloadBox);
}

// Footer.
void TelemetryInspectorSheet::buildFooter(QVBoxLayout* column) {
  const TelemetryInspectorModel::Texts& t = model_->texts();
  auto* footer = new QHBoxLayout;
  footer->addStretch(1);
  auto* gotIt = new QPushButton(QString::fromUtf8(t.close), this);
  gotIt->setObjectName("inspector.gotIt");
  gotIt->setDefault(true);
  connect(gotIt, &QPushButton::clicked, this, &QDialog::accept);
  footer->addWidget(gotIt);
  column->addLayout(footer);
}

TelemetryInspectorSheet::~TelemetryInspectorSheet() { model_->onChange = nullptr; }

void TelemetryInspectorSheet::refresh() {
  copy_->setText(QString::fromStdString(model_->copyButtonTitle()));
  copy_->setProperty("symbol", model_->copySymbol());
  copy_->setIcon(QIcon(symbolPixmap(model_->copySymbol(), pixelSize(TextStyle::caption2),
                                    pageColor(HudColor::accent), false, devicePixelRatioF())));
}

}  // namespace tessa
