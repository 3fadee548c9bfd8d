#pragma once
// The problem-report sheet: what a report holds and never holds, the exact
// JSON on request, an optional note and contact, then save as a file or
// send. After a send it shows the report's identifier with a copy button.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>

#include "engine/engine_context.h"
#include "engine/reporting.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace tessa {

class ProblemReportModel;

class ProblemReportSheet final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 560;
  // The data view's height, and the least it shrinks to on a short screen.
  static constexpr int kPayloadHeight = 200;
  static constexpr int kMinimumPayloadHeight = 80;
  static constexpr int kFrameAllowance = 40;
  // Asks where to save (the suggested file name in), then answers with the
  // chosen path, or none when the user cancelled.
  using SaveChooser = std::function<void(QWidget* sheet, const QString& suggestedName,
                                         std::function<void(std::optional<QString>)> answer)>;
  static SaveChooser fileDialogChooser();

  // Each report reads the engine through `reports`; reports go to
  // `endpoint` (the stability-report endpoint when empty).
  ProblemReportSheet(EngineReports reports, EngineContext context, QWidget* parent, std::string endpoint = {},
                     SaveChooser chooser = fileDialogChooser());
  ~ProblemReportSheet() override;

  ProblemReportModel& model() const { return *model_; }
  // The save button's flow: ask where, then write a fresh report there.
  void saveToFile();

 private:
  QWidget* buildHeader();
  QWidget* buildForm();
  // The form's groups, in its order; each adds to `column`.
  void buildSentLines(QWidget* form, QVBoxLayout* column);
  void buildDisclosure(QWidget* form, QVBoxLayout* column);
  void buildNoteFields(QWidget* form, QVBoxLayout* column);
  void buildOutcomeRows(QWidget* form, QVBoxLayout* column);
  void buildButtons(QWidget* form, QVBoxLayout* column);
  QWidget* buildSuccess();
  void refresh();
  void fitHeight();
  int roomOnScreen() const;

  std::shared_ptr<ProblemReportModel> model_;
  SaveChooser chooser_;
  QWidget* form_ = nullptr;
  QWidget* success_ = nullptr;
  QToolButton* disclosure_ = nullptr;
  QPlainTextEdit* payload_ = nullptr;
  QLineEdit* note_ = nullptr;
  QLineEdit* contact_ = nullptr;
  QWidget* errorRow_ = nullptr;
  QLabel* error_ = nullptr;
  QWidget* savedRow_ = nullptr;
  QLabel* saved_ = nullptr;
  QLabel* saveError_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* send_ = nullptr;
  QProgressBar* spinner_ = nullptr;
  QLabel* reportId_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* done_ = nullptr;
  bool askingWhere_ = false;
};

}  // namespace tessa
