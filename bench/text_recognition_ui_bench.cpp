// Reading the text of a copied image with Tesseract (Thai and English): one
// screenshot-sized line pair, drawn offscreen with Qt, from the request to
// the answer on the completion queue. The language data is loaded before the
// timing starts.
#include <benchmark/benchmark.h>

#ifdef TESSAVINOR_HAVE_TESSERACT

#include <QApplication>
#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <future>

#include "base/task_runner.h"
#include "platform/linux/tesseract_text_recognizer.h"

namespace {

using namespace tessa;

QApplication& application() {
  static int argc = 1;
  static char name[] = "text_recognition_ui_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

std::string renderedPng(int width) {
  application();
  QImage image(width, 260, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    QFont font("Loma");
    font.setPixelSize(48);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(40, 100, "ใบเสร็จรับเงิน ภาษาไทย");
    painter.drawText(40, 210, "Receipt number 2026");
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

TextRecognition recognizeOnce(TesseractTextRecognizer& recognizer, const std::string& png) {
  std::promise<TextRecognition> answer;
  auto future = answer.get_future();
  recognizer.recognize(png, [&answer](TextRecognition r) { answer.set_value(std::move(r)); });
  return future.get();
}

void BM_RecognizeThaiAndEnglishLines(benchmark::State& state) {
  SerialQueue completions("ocr-completions");
  TesseractTextRecognizer recognizer(completions);
  std::string png = renderedPng(static_cast<int>(state.range(0)));
  if (recognizeOnce(recognizer, png).outcome != TextRecognition::Outcome::recognized) {
    state.SkipWithError("text recognition is unavailable (tesseract-ocr-tha/eng)");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(recognizeOnce(recognizer, png));
}
BENCHMARK(BM_RecognizeThaiAndEnglishLines)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

#endif  // TESSAVINOR_HAVE_TESSERACT
