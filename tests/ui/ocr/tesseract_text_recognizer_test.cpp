// Text recognition with the real Tesseract: an image drawn here from Thai and
// English text is read back (Qt draws it offscreen, in the Loma face, which
// the Thai fonts package installs).
#ifdef TESSAVINOR_HAVE_TESSERACT

#include "platform/linux/tesseract_text_recognizer.h"
#include "platform/linux/module_services.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "base/task_runner.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;
using Outcome = TextRecognition::Outcome;

const fs::path kInstalledData = "/usr/share/tesseract-ocr/5/tessdata";

std::string pngOfLines(const QStringList& lines) {
  QImage image(1000, 110 * lines.size() + 40, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font("Loma");
    font.setPixelSize(48);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i) painter.drawText(40, 90 + 110 * i, lines[i]);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

// Thai comes back with stray spaces between syllables now and then.
std::string withoutSpaces(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ' && c != '\n') out += c;
  return out;
}

class TesseractTextRecognizerTest : public ::testing::Test {
 protected:
  TextRecognition recognize(TesseractOptions options, std::string image) {
    std::promise<TextRecognition> answer;
    auto future = answer.get_future();
    {
      TesseractTextRecognizer recognizer(completions, std::move(options));
      recognizer.recognize(std::move(image), [&answer](TextRecognition r) { answer.set_value(std::move(r)); });
      // Waits for the worker, not for a time: the bound only keeps a broken
      // build from hanging the suite.
      if (future.wait_for(std::chrono::minutes(3)) != std::future_status::ready) {
        ADD_FAILURE() << "no answer";
        return {};
      }
    }
    return future.get();
  }

  SerialQueue completions{"ocr-completions"};
  test::TempHome home;
};

TEST_F(TesseractTextRecognizerTest, ReadsThaiAndEnglishFromOneImage) {
  if (!fs::exists(kInstalledData / "tha.traineddata")) GTEST_SKIP() << "tesseract-ocr-tha is not installed";
  auto result = recognize({}, pngOfLines({"ภาษาไทย สวัสดี", "Clipboard history"}));
  ASSERT_EQ(result.outcome, Outcome::recognized) << result.note;
  EXPECT_TRUE(result.note.empty()) << result.note;
  std::string text = withoutSpaces(result.text);
  EXPECT_NE(text.find("ภาษาไทย"), std::string::npos) << result.text;
  EXPECT_NE(text.find("สวัสดี"), std::string::npos) << result.text;
  EXPECT_NE(text.find("Clipboard"), std::string::npos) << result.text;
  EXPECT_NE(text.find("history"), std::string::npos) << result.text;
}

TEST_F(TesseractTextRecognizerTest, AMissingLanguagePackLeavesTheOtherAndSaysSo) {
  fs::path data = home.path() / "tessdata";
  fs::create_directories(data);
  fs::create_symlink(kInstalledData / "eng.traineddata", data / "eng.traineddata");
  TesseractOptions options;
  options.dataPath = data.string() + "/";
  auto result = recognize(options, pngOfLines({"Clipboard history"}));
  ASSERT_EQ(result.outcome, Outcome::recognized) << result.note;
  EXPECT_NE(result.text.find("Clipboard"), std::string::npos) << result.text;
  EXPECT_EQ(result.note, "the language data for tha is missing; text is recognised in eng only");
}

// The application's recognizer: Tesseract loaded from its module with the
// first image.
TEST_F(TesseractTextRecognizerTest, TheRecognizerLoadedWithItsFirstImageAnswers) {
  std::promise<TextRecognition> answer;
  auto future = answer.get_future();
  ModuleTextRecognizer loaded(completions);
  loaded.recognize("not an image at all", [&answer](TextRecognition r) { answer.set_value(std::move(r)); });
  ASSERT_EQ(future.wait_for(std::chrono::minutes(1)), std::future_status::ready);
  EXPECT_EQ(future.get().outcome, Outcome::failed);
}

TEST_F(TesseractTextRecognizerTest, NoLanguageDataOrNoImageIsAnAnswerNotAHang) {
  TesseractOptions empty;
  empty.dataPath = home.path().string() + "/";
  auto none = recognize(empty, pngOfLines({"Clipboard"}));
  EXPECT_EQ(none.outcome, Outcome::unavailable);
  EXPECT_EQ(none.note, "no language data for tha, eng could be loaded");

  auto garbage = recognize({}, "not an image at all");
  EXPECT_EQ(garbage.outcome, Outcome::failed);
  EXPECT_EQ(garbage.note, "the image could not be decoded");

  TesseractOptions small;
  small.maxPixels = 1000;
  auto large = recognize(small, pngOfLines({"Clipboard"}));
  EXPECT_EQ(large.outcome, Outcome::failed);
  EXPECT_EQ(large.note, "the image is too large to read");

  TesseractOptions full;
  full.maxQueued = 0;
  auto refused = recognize(full, pngOfLines({"Clipboard"}));
  EXPECT_EQ(refused.outcome, Outcome::failed);
  EXPECT_EQ(refused.note, "too many images are waiting");
}

}  // namespace
}  // namespace tessa

#endif  // TESSAVINOR_HAVE_TESSERACT
