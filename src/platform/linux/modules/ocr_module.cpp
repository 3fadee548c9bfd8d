// libtessavinor-ocr.so: text recognition and Tesseract, loaded when the first
// image is read (module_services.h).
#include "platform/linux/tesseract_text_recognizer.h"

extern "C" __attribute__((visibility("default"))) tessa::TextRecognizer* tessavinorTextRecognizer(
    tessa::TaskRunner& runner) {
  return new tessa::TesseractTextRecognizer(runner);
}
