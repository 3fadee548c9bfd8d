#pragma once
// A small dark card that plays one feature demonstration on a loop while it
// is on screen: the typed text, its caption, the key combination as key caps
// that light up when the script presses them, and a closing hint.
#include <memory>

#include <QWidget>

#include "app_core/dashboard/feature_demo.h"

namespace tessa {

class TaskRunner;
class TypingDemoModel;

class TypingDemoView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 280;
  // The play's delays are posted on `runner` (the main queue).
  TypingDemoView(FeatureDemo demo, TaskRunner& runner, QWidget* parent = nullptr);
  ~TypingDemoView() override;

  const TypingDemoModel& model() const { return *model_; }
  QSize sizeHint() const override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  std::shared_ptr<TypingDemoModel> model_;
};

}  // namespace tessa
