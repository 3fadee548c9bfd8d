#include "ui/quick_paste/quick_paste_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>

#include "support/screenshots.h"
#include "support/settle.h"
#include "support/copy_cache_fixture.h"
#include "ui/hud/hud_window.h"
#include "ui/screen_geometry.h"

namespace tessa {
namespace {

using Item = CopyCacheItem;
using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

std::string png(int width, int height, const QColor& color, const QString& text = {}) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(color);
  if (!text.isEmpty()) {
    QPainter p(&image);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(height / 4);
    p.setFont(f);
    p.drawText(image.rect(), Qt::AlignCenter, text);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

class QuickPastePanelTest : public test::CopyCacheFixture {
 protected:
  QuickPastePanelTest() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) desk.screens().setScreens({screenInfoOf(*screen)});
    main.runUntilIdle();

    manager = CopyCacheManager::create(copyCacheEnvironment(home.path() / "CopyCache"));
    manager->isEnabled.set(true);
  }
  ~QuickPastePanelTest() override {
    QThreadPool::globalInstance()->waitForDone();
    window.reset();
    test::settle();
  }

  void open(const std::string& lang = "th") {
    language = lang;
    QuickPastePanelEnvironment penv;
    penv.platform = desk.platform();
    penv.main = &main;
    penv.language = [this] { return language; };
    // A window opened before goes first: it speaks to its controller as it closes.
    window.reset();
    controller = std::make_unique<QuickPastePanelController>(*manager, std::move(penv));
    window = std::make_unique<QuickPastePanelWindow>(*controller);
    controller->setView(window.get());
    controller->show();
    settle();
  }
  // Redraws, lets a preview decode started by the redraw finish, and takes its result.
  void settle() {
    test::settle();
    QThreadPool::globalInstance()->waitForDone();
    test::settle();
    test::settle();
  }
  void copy(const std::string& text) {
    desk.pasteboard().copyText(text);
    main.advance(0.25);
  }
  std::string pasteboardText() {
    auto items = desk.pasteboard().items();
    if (items.empty()) return "";
    auto it = items.front().representations.find(pasteboard_types::kText);
    return it == items.front().representations.end() ? "" : it->second;
  }
  QFrame* row(int number) { return window->findChild<QFrame*>(QStringLiteral("quickPasteRow_%1").arg(number)); }
  QString rowText(int number, const char* child) {
    auto* frame = row(number);
    auto* label = frame ? frame->findChild<QLabel*>(child) : nullptr;
    return label ? label->text() : QStringLiteral("<none>");
  }
  void key(int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(window->findChild<QLineEdit*>("quickPasteSearch"), static_cast<Qt::Key>(qtKey), mods);
    settle();
  }

  // The whole placeholder shows in the search field: it was cut after
  // "colour co…" beside the screen-sharing note.
  ::testing::AssertionResult placeholderFits() {
    auto* search = window->findChild<QLineEdit*>("quickPasteSearch");
    const QString text = search->placeholderText();
    // QLineEdit keeps 2 pixels on either side of its text.
    const int room = search->contentsRect().width() - 4;
    const int needs = search->fontMetrics().horizontalAdvance(text);
    if (!text.isEmpty() && needs <= room) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text.toStdString() << "\" needs " << needs << " px, has " << room;
  }

  // A history with one entry of every kind, newest first as listed.
  void fillVariedHistory() {
    std::vector<Item> items;
    Item thai;
    thai.id = "thai";
    thai.text = "l;ylfu";
    thai.preview = "l;ylfu";
    thai.sourceAppName = "Terminal";
    thai.suggestedConvertedText = "สวัสดี";
    thai.conversionConfidence = 3;
    items.push_back(thai);
    Item snippet;
    snippet.id = "snippet";
    snippet.text = "ขอบคุณที่ติดต่อมา ทีมงานจะตอบกลับภายใน 24 ชั่วโมง";
    snippet.preview = snippet.text;
    snippet.sourceAppName = "Custom Snippet";
    snippet.snippetKeyword = "thx";
    snippet.isPinned = true;
    snippet.payloadType = Item::RichText{"", false};
    items.push_back(snippet);
    Item image;
    image.id = "image";
    image.sourceAppName = "Screenshot";
    std::string full = png(320, 200, QColor(40, 120, 200), "ภาพ Image");
    image.payloadType = Item::Image{QByteArray::fromStdString(png(36, 36, QColor(40, 120, 200))).toBase64().toStdString(),
                                    manager->store().storeVault(full).value_or(""), static_cast<int64_t>(full.size()),
                                    "320×200"};
    items.push_back(image);
    Item files;
    files.id = "files";
    files.sourceAppName = "Files";
    files.payloadType = Item::FileURLs{{"/home/user/รายงาน.pdf", "/home/user/notes.txt", "/home/user/photo.png"},
                                       {"รายงาน.pdf", "notes.txt", "photo.png"},
                                       5 * 1024 * 1024};
    items.push_back(files);
    Item colour;
    colour.id = "colour";
    colour.sourceAppName = "Designer";
    colour.payloadType = Item::Color{"#FF8000", 1.0, 0.5, 0.0, 0.5};
    items.push_back(colour);
    Item web;
    web.id = "web";
    web.text = "https://example.org/docs/quick-paste";
    web.sourceAppName = "Browser";
    web.payloadType = Item::WebURL{"https://example.org/docs/quick-paste", "example.org", "Title"};
    items.push_back(web);
    manager->items.set(items);
  }

  std::string language = "th";
  std::shared_ptr<CopyCacheManager> manager;
  std::unique_ptr<QuickPastePanelController> controller;
  std::unique_ptr<QuickPastePanelWindow> window;
};

TEST_F(QuickPastePanelTest, KeysMoveTheHighlightOpenThePreviewAndPasteFromTheSearchField) {
  for (int k = 11; k >= 1; --k) copy("entry " + std::to_string(k));
  open();
  ASSERT_TRUE(window->isVisible());
  EXPECT_EQ(rowText(1, "quickPasteRowNumber"), "1");
  EXPECT_EQ(rowText(9, "quickPasteRowNumber"), "9");
  EXPECT_EQ(rowText(10, "quickPasteRowNumber"), "•");
  EXPECT_TRUE(row(1)->property("selected").toBool());
  EXPECT_TRUE(row(1)->findChild<QWidget*>("quickPasteRowButtons")->isVisible());
  EXPECT_FALSE(row(2)->findChild<QWidget*>("quickPasteRowButtons")->isVisible());

  key(Qt::Key_Down);
  EXPECT_TRUE(row(2)->property("selected").toBool());
  EXPECT_FALSE(row(1)->property("selected").toBool());
  EXPECT_EQ(window->findChild<QLineEdit*>("quickPasteSearch")->text(), "") << "arrows never type";

  key(Qt::Key_Space);
  auto* overlay = window->findChild<QWidget*>("quickPastePreviewOverlay");
  ASSERT_TRUE(overlay && overlay->isVisible());
  EXPECT_EQ(window->findChild<QLabel*>("quickPastePreviewText")->text(), "entry 2");
  key(Qt::Key_Escape);
  EXPECT_FALSE(overlay->isVisible());
  EXPECT_TRUE(window->isVisible());

  // A keypad digit and a bare digit type; Ctrl with a main-row digit pastes.
  key(Qt::Key_3, Qt::KeypadModifier);
  EXPECT_EQ(window->findChild<QLineEdit*>("quickPasteSearch")->text(), "3");
  EXPECT_TRUE(window->findChild<QToolButton*>("quickPasteClearSearch")->isVisible());
  key(Qt::Key_Backspace);
  EXPECT_FALSE(window->findChild<QToolButton*>("quickPasteClearSearch")->isVisible());
  key(Qt::Key_3, Qt::ControlModifier);
  EXPECT_EQ(pasteboardText(), "entry 3");
  EXPECT_FALSE(window->isVisible());

  // Return with the highlight lost to the search: the field pastes the first row.
  controller->show();
  settle();
  manager->selectedIndex.set(5);
  QTest::keyClicks(window->findChild<QLineEdit*>("quickPasteSearch"), "entry 1");
  settle();
  EXPECT_EQ(manager->searchText.get(), "entry 1");
  EXPECT_TRUE(row(2)) << "entry 1 and 10 (11 went at the cap)";
  EXPECT_FALSE(row(3));
  key(Qt::Key_Return);
  EXPECT_EQ(pasteboardText(), "entry 1");
}

TEST_F(QuickPastePanelTest, HoverSelectsClicksPasteAndTheRowButtonsAct) {
  for (const char* t : {"c", "b", "a"}) copy(t);
  open();
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(row(3), &enter);
  settle();
  EXPECT_TRUE(row(3)->property("selected").toBool());
  EXPECT_TRUE(row(3)->property("hovered").toBool());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(row(3), &leave);
  settle();
  EXPECT_TRUE(row(3)->property("selected").toBool());
  EXPECT_FALSE(row(3)->property("hovered").toBool());

  row(3)->findChild<QToolButton*>("quickPasteRowPin")->click();
  settle();
  EXPECT_TRUE(manager->items.get()[2].isPinned);
  EXPECT_EQ(row(3)->findChild<QToolButton*>("quickPasteRowPin")->property("symbol").toString(), "pin.slash.fill");

  row(3)->findChild<QToolButton*>("quickPasteRowPreview")->click();
  settle();
  EXPECT_TRUE(window->findChild<QWidget*>("quickPastePreviewOverlay")->isVisible());
  window->findChild<QToolButton*>("quickPastePreviewClose")->click();
  settle();
  EXPECT_FALSE(window->findChild<QWidget*>("quickPastePreviewOverlay")->isVisible());

  row(2)->findChild<QToolButton*>("quickPasteRowDelete")->click();
  settle();
  EXPECT_EQ(manager->items.get().size(), 2u);
  EXPECT_FALSE(row(3));

  QTest::mouseClick(row(1), Qt::LeftButton, Qt::NoModifier, QPoint(40, 10));
  settle();
  EXPECT_EQ(pasteboardText(), "a");
  EXPECT_FALSE(window->isVisible());
}

TEST_F(QuickPastePanelTest, EmptyStatesNameTheTabOrTheFailedSearch) {
  open();
  auto* message = window->findChild<QLabel*>("quickPasteEmptyMessage");
  ASSERT_TRUE(message && message->isVisible());
  EXPECT_EQ(message->text(), "ยังไม่มีข้อมูลในหมวดทั้งหมด");
  EXPECT_FALSE(window->findChild<QWidget*>("quickPasteList")->isVisible());
  EXPECT_FALSE(window->findChild<QWidget*>("quickPasteTab_all")->findChild<QLabel*>("quickPasteTabCount"));
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*window));
  writeScreenshot(*window, "quick_paste_empty_th");

  copy("hello");
  settle();
  EXPECT_FALSE(message->isVisible());
  QTest::mouseClick(window->findChild<QWidget*>("quickPasteTab_image"), Qt::LeftButton);
  settle();
  EXPECT_EQ(manager->selectedCategory.get(), Item::Category::image);
  EXPECT_EQ(message->text(), "ยังไม่มีข้อมูลในหมวดรูปภาพ");
  EXPECT_EQ(window->findChild<QLabel*>("quickPasteEmptySymbol")->property("symbol").toString(), "photo.fill");
  QTest::keyClicks(window->findChild<QLineEdit*>("quickPasteSearch"), "zz");
  settle();
  EXPECT_EQ(message->text(), "ไม่พบข้อมูลที่ตรงกัน");
  EXPECT_EQ(window->findChild<QWidget*>("quickPasteTab_all")->findChild<QLabel*>("quickPasteTabCount")->text(), "1");
}

TEST_F(QuickPastePanelTest, ThePreviewImageIsDecodedOncePerEntryAndDroppedOnClose) {
  fillVariedHistory();
  Item broken;
  broken.id = "broken";
  broken.payloadType = Item::Image{"not base64 at all", "00000000-0000-0000-0000-000000000000", 10, "1×1"};
  auto items = manager->items.get();
  items.push_back(broken);
  manager->items.set(items);
  open();
  EXPECT_TRUE(row(3)->findChild<QLabel*>("quickPasteRowThumbnail"));
  EXPECT_TRUE(row(7)->findChild<QLabel*>("quickPasteRowThumbnailPlaceholder"));

  controller->openPreview(manager->items.get()[2]);
  settle();
  ASSERT_TRUE(window->findChild<QLabel*>("quickPastePreviewImage"));
  EXPECT_EQ(window->previewDecodeCount(), 1);
  EXPECT_TRUE(window->holdsPreviewImage());
  // Redraws while it stays open decode nothing again.
  controller->hoverEnter("thai", 1);
  manager->searchText.set("");
  settle();
  EXPECT_EQ(window->previewDecodeCount(), 1);
  writeScreenshot(*window, "quick_paste_preview_image_th");

  controller->closePreview();
  settle();
  EXPECT_FALSE(window->holdsPreviewImage());

  // A missing blob: no picture, no message, the caption still shows.
  controller->openPreview(broken);
  settle();
  EXPECT_FALSE(window->findChild<QLabel*>("quickPastePreviewImage"));
  EXPECT_EQ(window->findChild<QLabel*>("quickPastePreviewCaption")->text(),
            "ขนาดภาพ: 1×1  ·  ขนาดไฟล์: 1 KB  ·  เข้ารหัส AES-256");
  EXPECT_EQ(window->previewDecodeCount(), 1);
}

TEST_F(QuickPastePanelTest, KeysAreReadByPositionWithCtrlAsCommandAndTheKeypadApart) {
  auto k = QuickPastePanelWindow::translateKey(Qt::Key_Enter, Qt::KeypadModifier, 0);
  ASSERT_TRUE(k);
  EXPECT_EQ(k->keyCode, keycode::keypadEnter);
  EXPECT_EQ(QuickPastePanelWindow::translateKey(Qt::Key_Return, Qt::NoModifier, 0)->keyCode, keycode::returnKey);
  EXPECT_FALSE(QuickPastePanelWindow::translateKey(Qt::Key_5, Qt::KeypadModifier, 0));
  k = QuickPastePanelWindow::translateKey(Qt::Key_5, Qt::ControlModifier | Qt::AltModifier, 0);
  EXPECT_EQ(k->keyCode, keycode::five);
  EXPECT_EQ(k->flags, flags::command | flags::option);
#ifdef TESSAVINOR_HAVE_X11
  // In the Thai layout the digit row types Thai characters; its X key code
  // (evdev 2 + 8 for "1") still makes it the digit row.
  k = QuickPastePanelWindow::translateKey(0x0e45 /* ๅ */, Qt::ControlModifier, 10);
  ASSERT_TRUE(k);
  EXPECT_EQ(k->keyCode, keycode::one);
  EXPECT_EQ(QuickPastePanelWindow::translateKey(Qt::Key_Enter, Qt::KeypadModifier, 104)->keyCode,
            keycode::keypadEnter);
#endif
}

// Without a compositing manager the see-through panel came out with a black
// list and unreadable rows. Only an X server can show it: the case runs in
// the Xvfb-and-openbox session (tests/x11/screens_on_xvfb.py).
TEST_F(QuickPastePanelTest, OnAnXServerWithoutACompositorThePanelIsOpaqueAndItsListReadable) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X server";
  fillVariedHistory();
  open("th");
  EXPECT_EQ(window->isTranslucent(), windowSystemComposites(QStringLiteral("xcb")));
  ASSERT_FALSE(window->isTranslucent()) << "this session runs no compositing manager";
  EXPECT_FALSE(window->testAttribute(Qt::WA_TranslucentBackground));
  QString path = writeScreenshot(*window, "quick_paste_panel_no_compositor_th");
  // What the server shows: the list's empty part below the rows is the
  // window's colour, not black.
  QImage shown(path);
  ASSERT_FALSE(shown.isNull());
  QWidget* list = window->findChild<QWidget*>("quickPasteList");
  QPoint inList = list->mapTo(window.get(), QPoint(list->width() / 2, list->height() - 10));
  QPoint offset = shown.size() == window->size() ? QPoint() : window->mapToGlobal(QPoint()) - window->frameGeometry().topLeft();
  QColor pixel = shown.pixelColor(inList + offset);
  EXPECT_GT(pixel.lightnessF(), 0.5) << pixel.name().toStdString();
  EXPECT_LT(std::abs(pixel.lightness() - window->palette().color(QPalette::Window).lightness()), 40);
  writeScreenshot(*window, "quick_paste_panel_no_compositor_th");
  EXPECT_TRUE(placeholderFits());
  test::writeWholeScreen("screen_quick_paste_no_compositor_th");
  open("en");
  EXPECT_TRUE(placeholderFits());
  writeScreenshot(*window, "quick_paste_panel_no_compositor_en");
}

// A file list and a colour showed no source at all, and an image its source
// on a line of its own: every row names it at the end of its first line.
TEST_F(QuickPastePanelTest, EveryKindOfRowNamesItsSourceAtTheEndOfItsFirstLine) {
  fillVariedHistory();
  open("en");
  const std::vector<std::string> sources = {"Terminal", "Custom Snippet", "Screenshot", "Files", "Designer", "Browser"};
  for (int number = 1; number <= 6; ++number) {
    SCOPED_TRACE(number);
    QFrame* frame = row(number);
    ASSERT_NE(frame, nullptr);
    auto* source = frame->findChild<QLabel*>("quickPasteRowSource");
    auto* title = frame->findChild<QLabel*>("quickPasteRowTitle");
    ASSERT_TRUE(source && title);
    EXPECT_EQ(source->text().toStdString(), sources[number - 1]);
    EXPECT_TRUE(source->isVisible());
    const QRect s(source->mapTo(frame, QPoint()), source->size()), t(title->mapTo(frame, QPoint()), title->size());
    EXPECT_LT(std::abs(s.center().y() - t.center().y()), 4) << "on the title's line";
    EXPECT_GE(s.left(), t.right()) << "after the title";
  }
}

TEST_F(QuickPastePanelTest, ScreenshotsOfThePanelAndItsPreviewsInThaiAndEnglish) {
  fillVariedHistory();
  for (const std::string lang : {"th", "en"}) {
    open(lang);
    manager->selectedIndex.set(1);
    settle();
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*window)) << lang;
    EXPECT_EQ(rowText(1, "quickPasteRowSuggestion"),
              lang == "th" ? "แปลงเป็น: \"สวัสดี\"" : "Convert to: \"สวัสดี\"");
    EXPECT_EQ(rowText(4, "quickPasteRowTitle"), lang == "th" ? "รายงาน.pdf และอีก 2 ไฟล์" : "รายงาน.pdf and 2 more");
    EXPECT_EQ(rowText(5, "quickPasteRowDetail"), "RGB: 255, 127, 0");
    EXPECT_TRUE(placeholderFits()) << lang;
    EXPECT_TRUE(window->findChild<QLabel*>("quickPasteShareBadge")->isVisible());
    writeScreenshot(*window, QString::fromStdString("quick_paste_panel_" + lang));

    controller->openPreview(manager->items.get()[1]);
    settle();
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*window)) << lang;
    writeScreenshot(*window, QString::fromStdString("quick_paste_preview_text_" + lang));
    controller->openPreview(manager->items.get()[3]);
    settle();
    writeScreenshot(*window, QString::fromStdString("quick_paste_preview_files_" + lang));
    controller->openPreview(manager->items.get()[4]);
    settle();
    EXPECT_EQ(window->findChild<QLabel*>("quickPastePreviewSwatch")->property("swatchColor").value<QColor>(),
              QColor::fromRgbF(1.0f, 0.5f, 0.0f, 1.0f));
    writeScreenshot(*window, QString::fromStdString("quick_paste_preview_colour_" + lang));

    window->findChild<QPushButton*>("quickPastePreviewPaste")->click();
    settle();
    EXPECT_EQ(pasteboardText(), "#FF8000");
    EXPECT_FALSE(window->isVisible());
    controller->setView(nullptr);
    window.reset();
  }
}

}  // namespace
}  // namespace tessa
