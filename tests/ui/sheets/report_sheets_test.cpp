#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

#include <nlohmann/json.hpp>

#include "app_core/dashboard/problem_report_model.h"
#include "app_core/dashboard/telemetry_inspector_model.h"
#include "base/endpoints.h"
#include "base/files.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "reliability/telemetry_manager.h"
#include "engine/reporting.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "support/settle.h"
#include "ui/sheets/problem_report_sheet.h"
#include "ui/sheets/sheet_parts.h"
#include "ui/sheets/telemetry_inspector_sheet.h"
#include "ui/symbol_icons.h"

namespace tessa {
namespace {

using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

constexpr const char* kReportUrl = "https://api.test/v1/stability-report";

class ReportSheetsTest : public ::testing::Test {
 protected:
  ReportSheetsTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    host.resize(680, 480);
    host.show();
  }
  ~ReportSheetsTest() override {
    delete report;
    delete inspector;
    settle();
    engine.reset();
    fx.engine.reset();
  }
  static void settle() { test::settle(); }
  ProblemReportSheet& openReport(const std::string& language = "en") {
    engine->appLanguage.set(language);
    report = new ProblemReportSheet(engine->reports(), engine->context(), &host, kReportUrl,
                                    [this](QWidget*, const QString& name, auto answer) {
                                      suggestedNames.push_back(name);
                                      answer(nextSaveTo);
                                    });
    report->open();
    settle();
    return *report;
  }
  TelemetryInspectorSheet& openInspector(const std::string& language) {
    engine->appLanguage.set(language);
    inspector = new TelemetryInspectorSheet(engine->settings(), engine->context(), engine->reports(), &host, telemetry);
    inspector->open();
    settle();
    return *inspector;
  }
  template <class W = QWidget>
  W* in(QWidget* sheet, const QString& name) {
    return sheet->findChild<W*>(name);
  }
  void answerReports(int status, std::string body = {}) {
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    desk.http().setResponse(kReportUrl, r);
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  TelemetryManager telemetry{"https://telemetry.test/api/telemetry/ingest"};
  QWidget host;
  ProblemReportSheet* report = nullptr;
  TelemetryInspectorSheet* inspector = nullptr;
  std::optional<QString> nextSaveTo;
  std::vector<QString> suggestedNames;
};

TEST_F(ReportSheetsTest, TheReportFormStartsEmptyAndItsPreviewFollowsTheNote) {
  ProblemReportSheet& sheet = openReport("en");
  EXPECT_EQ(sheet.width(), 560);
  EXPECT_EQ(in<QLabel>(&sheet, "report.title")->text(), "รายงานปัญหาให้ทีมพัฒนา") << "Thai in every language";
  EXPECT_EQ(in(&sheet, "report.close")->accessibleName(), "ปิด");
  EXPECT_TRUE(in<QLabel>(&sheet, "report.sentLine.text")->text().contains("ไม่เกิน 200 รายการ · สถิติ 14 วัน"));
  EXPECT_EQ(in<QLineEdit>(&sheet, "report.note")->text(), "");
  EXPECT_EQ(in<QLineEdit>(&sheet, "report.note")->placeholderText(), "เช่น: เปิดฝาแล้วแก้คำไม่ทำงาน");
  EXPECT_EQ(in<QLineEdit>(&sheet, "report.contact")->text(), "");
  EXPECT_FALSE(in(&sheet, "report.payload")->isVisible());
  EXPECT_FALSE(in(&sheet, "report.savedRow")->isVisible());
  EXPECT_FALSE(in(&sheet, "report.errorRow")->isVisible());
  EXPECT_FALSE(in(&sheet, "report.saveError")->isVisible());
  EXPECT_FALSE(in(&sheet, "report.success")->isVisible());
  EXPECT_FALSE(in(&sheet, "report.sendSpinner")->isVisible());
  QRegularExpression size(QStringLiteral("^ดูข้อมูลทั้งหมดที่จะส่ง \\(\\d+\\.\\d KB\\)$"));
  EXPECT_TRUE(size.match(in<QToolButton>(&sheet, "report.disclosure")->text()).hasMatch());
  EXPECT_TRUE(allTextDrawsWithoutBoxes(sheet));
  writeScreenshot(sheet, "problem_report_form_en");

  QTest::keyClicks(in<QLineEdit>(&sheet, "report.note"), "lid closed");
  in<QToolButton>(&sheet, "report.disclosure")->click();
  settle();
  auto* payload = in<QPlainTextEdit>(&sheet, "report.payload");
  ASSERT_TRUE(payload->isVisible());
  EXPECT_GE(payload->height(), ProblemReportSheet::kMinimumPayloadHeight);
  EXPECT_LE(payload->height(), 200);
  auto shown = nlohmann::json::parse(payload->toPlainText().toStdString());
  EXPECT_EQ(shown["note"], "lid closed");
  QTest::keyClicks(in<QLineEdit>(&sheet, "report.contact"), "a@b.example");
  settle();
  EXPECT_EQ(nlohmann::json::parse(payload->toPlainText().toStdString())["contact"], "a@b.example");
  writeScreenshot(sheet, "problem_report_preview_en");
}

// The opened data view made the sheet taller than a 768-pixel screen, with
// Send and Save below its edge; it now gives up height and scrolls instead.
TEST_F(ReportSheetsTest, TheOpenedDataViewKeepsTheSheetAndItsButtonsOnTheScreen) {
  ProblemReportSheet& sheet = openReport("th");
  QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  int closedHeight = sheet.height();
  in<QToolButton>(&sheet, "report.disclosure")->click();
  settle();
  auto* payload = in<QPlainTextEdit>(&sheet, "report.payload");
  ASSERT_TRUE(payload->isVisible());
  // Under a window manager the new size and place arrive as its answers do.
  (void)QTest::qWaitFor([&] {
    return sheet.height() <= area.height() - ProblemReportSheet::kFrameAllowance && area.contains(sheet.geometry());
  }, 5000);
  EXPECT_LE(sheet.height(), area.height() - ProblemReportSheet::kFrameAllowance);
  if (closedHeight + ProblemReportSheet::kPayloadHeight > area.height() - ProblemReportSheet::kFrameAllowance) {
    EXPECT_LT(payload->height(), ProblemReportSheet::kPayloadHeight) << "the data view gave up height";
  }
  // Placed on the screen, its buttons inside it.
  EXPECT_TRUE(area.contains(sheet.geometry())) << sheet.geometry().y() << "+" << sheet.height();
  for (const char* name : {"report.send", "report.save", "report.contact"}) {
    QWidget* w = in(&sheet, name);
    QRect r(w->mapTo(&sheet, QPoint(0, 0)), w->size());
    EXPECT_TRUE(sheet.rect().contains(r)) << name;
  }
  EXPECT_FALSE(sheet.windowFlags() & Qt::WindowCloseButtonHint && !(sheet.windowFlags() & Qt::FramelessWindowHint))
      << "its own close control is its only one";
  EXPECT_TRUE(sheet.windowFlags() & Qt::FramelessWindowHint);
  writeScreenshot(sheet, "problem_report_preview_fits_th");
  test::writeWholeScreen("screen_problem_report_preview_fits_th");
  // Closing the view gives the sheet its old height back.
  in<QToolButton>(&sheet, "report.disclosure")->click();
  settle();
  EXPECT_FALSE(payload->isVisible());
  EXPECT_FALSE(in<QToolButton>(&sheet, "report.disclosure")->isChecked());
  (void)QTest::qWaitFor([&] { return sheet.height() == closedHeight; }, 5000);
  EXPECT_EQ(sheet.minimumHeight(), closedHeight);
  EXPECT_EQ(sheet.height(), closedHeight);
  engine->appLanguage.set("en");
  in<QToolButton>(&sheet, "report.disclosure")->click();
  settle();
  writeScreenshot(sheet, "problem_report_preview_fits_en");
  test::writeWholeScreen("screen_problem_report_preview_fits_en");
}

TEST_F(ReportSheetsTest, SavingAsksWithTheSuggestedNameAndAFailedSaveReplacesTheSavedLine) {
  ProblemReportSheet& sheet = openReport("th");
  auto good = fx.home.path() / "r.json";
  nextSaveTo = QString::fromStdString(good.string());
  in<QPushButton>(&sheet, "report.save")->click();
  settle();
  ASSERT_EQ(suggestedNames.size(), 1u);
  EXPECT_EQ(suggestedNames[0], "tessavinor-problem-report.json");
  EXPECT_TRUE(std::filesystem::exists(good));
  EXPECT_TRUE(in(&sheet, "report.savedRow")->isVisible());
  EXPECT_EQ(in<QLabel>(&sheet, "report.saved")->text(), QString::fromStdString("บันทึกแล้ว: " + good.string()));
  writeScreenshot(sheet, "problem_report_saved_th");

  ASSERT_TRUE(writeFileAtomically(fx.home.path() / "a-file", "x"));
  nextSaveTo = QString::fromStdString((fx.home.path() / "a-file" / "r.json").string());
  in<QPushButton>(&sheet, "report.save")->click();
  settle();
  EXPECT_FALSE(in(&sheet, "report.savedRow")->isVisible());
  ASSERT_TRUE(in(&sheet, "report.saveError")->isVisible());
  EXPECT_TRUE(in<QLabel>(&sheet, "report.saveError")->text().startsWith("บันทึกไม่สำเร็จ: "));
  EXPECT_EQ(in(&sheet, "report.saveError")->palette().color(QPalette::WindowText), parts::pageColor(HudColor::red));

  // Cancelling the chooser changes nothing.
  nextSaveTo.reset();
  in<QPushButton>(&sheet, "report.save")->click();
  settle();
  EXPECT_TRUE(in(&sheet, "report.saveError")->isVisible());
}

TEST_F(ReportSheetsTest, WhileSendingNeitherButtonNorReturnStartsAnythingAndAFailureShowsInRed) {
  ProblemReportSheet& sheet = openReport("en");
  answerReports(429);
  QTest::keyClicks(in<QLineEdit>(&sheet, "report.note"), "no switch");
  QTest::keyClick(in<QLineEdit>(&sheet, "report.note"), Qt::Key_Return);  // the default button
  settle();
  EXPECT_TRUE(sheet.model().isSubmitting());
  EXPECT_FALSE(in<QPushButton>(&sheet, "report.send")->isEnabled());
  EXPECT_FALSE(in<QPushButton>(&sheet, "report.save")->isEnabled());
  EXPECT_TRUE(in(&sheet, "report.sendSpinner")->isVisible());
  QTest::keyClick(in<QLineEdit>(&sheet, "report.note"), Qt::Key_Return);
  in<QPushButton>(&sheet, "report.save")->click();
  settle();
  EXPECT_TRUE(suggestedNames.empty());

  fx.runner.advance(1.0);
  settle();
  EXPECT_EQ(desk.http().requests().size(), 1u);
  EXPECT_TRUE(in<QPushButton>(&sheet, "report.send")->isEnabled());
  ASSERT_TRUE(in(&sheet, "report.errorRow")->isVisible());
  EXPECT_EQ(in<QLabel>(&sheet, "report.error")->text(),
            "ส่งไม่สำเร็จ: ส่งรายงานเกินจำนวนที่กำหนดสำหรับวันนี้ (สูงสุด 10 รายงาน/วัน) (คุณยังสามารถกด "
            "\"บันทึกเป็นไฟล์\" เพื่อเก็บไว้เองได้)");
  EXPECT_EQ(in<QLineEdit>(&sheet, "report.note")->text(), "no switch");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(sheet));
  writeScreenshot(sheet, "problem_report_failed_en");
}

TEST_F(ReportSheetsTest, ASuccessfulSendShowsTheIdentifierWhichCopiesOnce) {
  ProblemReportSheet& sheet = openReport("th");
  answerReports(200, R"({"report_id":"RPT-2026-XYZ"})");
  in<QPushButton>(&sheet, "report.send")->click();
  fx.runner.advance(1.0);
  settle();
  ASSERT_TRUE(in(&sheet, "report.success")->isVisible());
  EXPECT_FALSE(in(&sheet, "report.form")->isVisible());
  EXPECT_EQ(in<QLabel>(&sheet, "report.reportId")->text(), "RPT-2026-XYZ");
  EXPECT_EQ(in<QLabel>(&sheet, "report.successTitle")->text(), "ส่งรายงานปัญหาสำเร็จ");
  auto* copy = in<QPushButton>(&sheet, "report.copy");
  EXPECT_EQ(copy->property("symbol").toString(), "doc.on.doc");
  EXPECT_EQ(copy->toolTip(), "คัดลอกรหัสรายงาน");
  QGuiApplication::clipboard()->setText("something else");
  copy->click();
  settle();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "RPT-2026-XYZ");
  EXPECT_EQ(copy->property("symbol").toString(), "checkmark");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(sheet));
  writeScreenshot(sheet, "problem_report_sent_th");

  in<QPushButton>(&sheet, "report.openPrivacy")->click();
  EXPECT_EQ(desk.workspace().openedURLs().back(), Endpoints::privacyPage());
  in<QPushButton>(&sheet, "report.done")->click();
  settle();
  EXPECT_FALSE(sheet.isVisible());
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

TEST_F(ReportSheetsTest, TheInspectorShowsThePayloadUnchangedInTheChosenLanguage) {
  engine->totalCorrections.set(12);
  TelemetryInspectorSheet& sheet = openInspector("en");
  EXPECT_EQ(sheet.width(), 480);
  EXPECT_EQ(in<QLabel>(&sheet, "inspector.title")->text(), "Inspect Actual Outgoing Payload (JSON)");
  EXPECT_EQ(in<QLabel>(&sheet, "inspector.point1.text")->text(), "Zero text or keystrokes collected");
  EXPECT_EQ(in<QLabel>(&sheet, "inspector.heading")->text(), "JSON Payload Structure (POST /api/telemetry/ingest):");
  EXPECT_EQ(in<QPushButton>(&sheet, "inspector.gotIt")->text(), "Got it, Close");
  auto* payload = in<QLabel>(&sheet, "inspector.payload");
  EXPECT_EQ(payload->text().toStdString(), telemetry.payloadPreview(telemetryEnvironment(*engine)));
  EXPECT_EQ(payload->textInteractionFlags(), Qt::NoTextInteraction);
  EXPECT_LE(in(&sheet, "inspector.payloadScroll")->height(), 220);
  EXPECT_TRUE(allTextDrawsWithoutBoxes(sheet));
  writeScreenshot(sheet, "telemetry_inspector_en");
  delete inspector;
  inspector = nullptr;

  TelemetryInspectorSheet& thai = openInspector("th");
  EXPECT_EQ(in<QLabel>(&thai, "inspector.title")->text(), "ตรวจสอบข้อมูลที่จะส่งจริง (JSON Payload)");
  EXPECT_EQ(in<QPushButton>(&thai, "inspector.copy")->text(), "คัดลอก JSON");
  EXPECT_EQ(in<QPushButton>(&thai, "inspector.gotIt")->text(), "เข้าใจแล้ว ปิดหน้าต่าง");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(thai));
  writeScreenshot(thai, "telemetry_inspector_th");
}

TEST_F(ReportSheetsTest, TheInspectorsCopyMarkLastsTwoSecondsAfterTheFirstPress) {
  TelemetryInspectorSheet& sheet = openInspector("en");
  auto* copy = in<QPushButton>(&sheet, "inspector.copy");
  engine->totalCorrections.set(77);
  copy->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), telemetry.payloadPreview(telemetryEnvironment(*engine)));
  EXPECT_EQ(copy->text(), "Copied!");
  EXPECT_EQ(copy->property("symbol").toString(), "checkmark");
  fx.runner.advance(1.5);
  copy->click();
  fx.runner.advance(0.5);
  EXPECT_EQ(copy->text(), "Copy JSON");
  EXPECT_EQ(copy->property("symbol").toString(), "doc.on.doc");

  in<QPushButton>(&sheet, "inspector.gotIt")->click();
  settle();
  EXPECT_FALSE(sheet.isVisible());
}

TEST(SheetSymbolsTest, EverySymbolOfTheAboutPageAndTheSheetsHasADrawing) {
  for (const char* name : {"moon.zzz", "lock.shield", "exclamationmark.bubble", "link", "envelope",
                           "arrow.triangle.2.circlepath", "stethoscope", "checkmark.seal.fill", "checkmark",
                           "doc.on.doc", "checkmark.shield.fill", "nosign"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(hasSymbol(name));
    // A drawing that failed to parse would come out empty.
    QImage image = symbolPixmap(name, 20, Qt::black).toImage();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) inked += qAlpha(image.pixel(x, y)) > 0;
    EXPECT_GT(inked, 20);
  }
}

}  // namespace
}  // namespace tessa
