#pragma once
// The sheet that shows the usage statistics exactly as they would be sent
// now, with the two privacy points, the endpoint and a copy button.
#include <memory>

#include <QDialog>

#include "engine/engine_context.h"
#include "engine/engine_settings.h"
#include "engine/reporting.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tessa {

class TelemetryInspectorModel;
class TelemetryManager;

class TelemetryInspectorSheet final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 480;
  static constexpr int kPayloadMaxHeight = 220;

  // The payload comes from `telemetry`, fed with what `reports` reads now.
  TelemetryInspectorSheet(EngineSettings settings, EngineContext context, EngineReports reports, QWidget* parent,
                          TelemetryManager& telemetry);
  ~TelemetryInspectorSheet() override;

  TelemetryInspectorModel& model() const { return *model_; }

 private:
  void refresh();
  // The sheet's groups, in its order; each adds to `column`.
  void buildHeader(QVBoxLayout* column);
  void buildPoints(QVBoxLayout* column);
  void buildPayload(QVBoxLayout* column);
  void buildFooter(QVBoxLayout* column);

  std::shared_ptr<TelemetryInspectorModel> model_;
  QPushButton* copy_ = nullptr;
};

}  // namespace tessa
