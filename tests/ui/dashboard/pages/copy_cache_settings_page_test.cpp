#include "ui/dashboard/pages/copy_cache_settings_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "base/files.h"
#include "clipboard/copy_cache_manager.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "support/settle.h"
#include "ui/dashboard/dashboard_pages.h"

namespace tessa {
namespace {

namespace types = pasteboard_types;
using Item = CopyCacheItem;
using Model = CopyCacheSettingsModel;
using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

QString u8(const char* text) { return QString::fromUtf8(text); }

std::string pngBase64(QColor colour) {
  QImage image(48, 32, QImage::Format_ARGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toBase64().toStdString();
}

Item entry(const std::string& id, const std::string& text, Item::PayloadType payload = Item::Text{}) {
  Item item;
  item.id = id;
  item.text = text;
  item.preview = Item::makePreview(text);
  item.sourceAppName = "Editor";
  item.payloadType = std::move(payload);
  return item;
}

class CopyCacheSettingsPageTest : public ::testing::Test {
 protected:
  CopyCacheSettingsPageTest() : desk(fx.clock, fx.runner) {
    CopyCacheCryptoStore::resetInMemoryKeyForTesting();
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    manager = makeManager();
  }
  std::shared_ptr<CopyCacheManager> makeManager() {
    CopyCacheManagerEnvironment env;
    env.platform = desk.platform();
    env.clock = &fx.clock;
    env.main = &fx.runner;
    env.defaults = fx.defaults.get();
    env.log = [this](const std::string& line) { logLines.push_back(line); };
    return CopyCacheManager::create(std::move(env));
  }
  ~CopyCacheSettingsPageTest() override {
    delete page;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    manager.reset();
    engine.reset();
    fx.engine.reset();
  }

  CopyCacheSettingsPage& open(const std::string& language = "th") {
    engine->appLanguage.set(language);
    DashboardServices services;
    services.copyCache = manager.get();
    QWidget* built = makeDashboardPage(DashboardPage::copyCache, engine->views(), nullptr, services);
    page = qobject_cast<CopyCacheSettingsPage*>(built);
    EXPECT_NE(page, nullptr);
    EXPECT_EQ(built->objectName(), "page.copyCache");
    page->resize(490, 480);
    page->show();
    settle();
    return *page;
  }
  // A page as tall as its content, for a screenshot of all of it.
  void showWhole() {
    page->resize(490, page->widget()->sizeHint().height() + 40);
    settle();
    page->fitContent();
    settle();
  }
  static void settle() { test::settle(); }
  template <class W = QWidget>
  W* find(const QString& name) {
    return page->findChild<W*>(name);
  }
  bool shows(const QString& name) {
    auto* w = find(name);
    return w && w->isVisibleTo(page);
  }
  QString text(const QString& name) { return find<QLabel>(name)->text(); }
  // The visible rows named `name`, in order.
  std::vector<QWidget*> rows(const QString& name) {
    std::vector<QWidget*> out;
    for (QWidget* w : page->findChildren<QWidget*>(name))
      if (w->isVisibleTo(page)) out.push_back(w);
    std::sort(out.begin(), out.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    return out;
  }
  QWidget* row(const std::string& id) {
    for (QWidget* w : rows("historyRow"))
      if (w->property("itemID").toString().toStdString() == id) return w;
    return nullptr;
  }
  void fill() {
    manager->isEnabled.set(true);
    Item converted = entry("t1", "l;ylfu", Item::Text{});
    converted.suggestedConvertedText = "สวัสดี";
    converted.conversionConfidence = 3;
    Item files = entry("f3", "a.pdf\nb.pdf\nc.pdf", Item::FileURLs{{"/h/a.pdf", "/h/b.pdf", "/h/c.pdf"},
                                                                   {"a.pdf", "b.pdf", "c.pdf"}, 3 * 1024 * 1024});
    Item odd = entry("f0", "", Item::FileURLs{{"/h/x.txt", "/h/y.txt"}, {}, 10});
    Item web = entry("w1", "https://example.com/docs", Item::WebURL{"https://example.com/docs", "example.com",
                                                                    std::string("Never shown")});
    Item image = entry("i1", "Image 48×32", Item::Image{pngBase64(QColor(30, 144, 255)), "v1", 3000, "48×32"});
    Item broken = entry("i2", "Image", Item::Image{"@@not base64@@", "v2", 100, "10×10"});
    Item colour = entry("c1", "#FF8000", Item::Color{"#FF8000", 1.0, 0.5, 0.0, 0.3});
    Item rich = entry("r1", "ประชุมวันจันทร์ เวลา 10:00 น. ห้องใหญ่", Item::RichText{"v3", true});
    std::vector<Item> all{converted, rich, image, broken, files, odd, colour, web};
    for (auto& item : all) item.createdAt = fx.clock.wallTime();  // fresh: nothing expires meanwhile
    manager->items.set(all);
    settle();
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::shared_ptr<CopyCacheManager> manager;
  CopyCacheSettingsPage* page = nullptr;
  std::vector<std::string> logLines;
};

TEST_F(CopyCacheSettingsPageTest, OffByDefaultWithOnlyTheSwitchesAndTheNotes) {
  open();
  auto* enable = find<QCheckBox>("copyCacheEnableSwitch");
  ASSERT_TRUE(enable);
  EXPECT_FALSE(enable->isChecked());
  EXPECT_FALSE(find<QCheckBox>("copyCacheClearOnQuitSwitch")->isChecked());
  EXPECT_EQ(text("copyCacheEnabledNote"), u8(Model::kDisabledNote));
  EXPECT_FALSE(find<QPushButton>("openQuickPasteButton")->isEnabled());
  EXPECT_FALSE(shows("pinnedSnippetsBox"));
  EXPECT_FALSE(shows("historyBox"));
  EXPECT_TRUE(shows("privacyBox"));
  // Doubled, so that the box shows its "&" rather than underlining a letter.
  EXPECT_EQ(find<QGroupBox>("privacyBox")->title(), "ข้อควรทราบและความปลอดภัย (Privacy && Security)");
  QStringList notes;
  for (int i = 1; i <= 4; ++i) notes << text(QStringLiteral("privacyNote%1").arg(i));
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
  writeScreenshot(*page, "copy_cache_page_off_th");

  enable->click();
  settle();
  EXPECT_TRUE(manager->isEnabled.get());
  EXPECT_TRUE(fx.defaults->boolForKey(CopyCacheManager::kEnabledSetting.key));
  EXPECT_TRUE(shows("pinnedSnippetsBox"));
  EXPECT_TRUE(shows("historyBox"));
  EXPECT_TRUE(find<QPushButton>("openQuickPasteButton")->isEnabled());
  for (int i = 1; i <= 4; ++i)
    EXPECT_EQ(text(QStringLiteral("privacyNote%1").arg(i)), notes[i - 1]) << "the notes do not change";
  find<QCheckBox>("copyCacheClearOnQuitSwitch")->click();
  EXPECT_TRUE(manager->isClearOnQuit.get());

  manager->isEnabled.set(false);  // turned off elsewhere (the status menu)
  settle();
  EXPECT_FALSE(enable->isChecked());
  EXPECT_FALSE(shows("historyBox"));
}

TEST_F(CopyCacheSettingsPageTest, EmptyStatesThenOneRowPerEntryByKind) {
  manager->isEnabled.set(true);
  open();
  EXPECT_EQ(text("historyCount"), "(0/10 รายการ)");
  EXPECT_EQ(text("historyEmptyMessage"), u8(Model::kNoHistory));
  EXPECT_FALSE(shows("clearAllButton"));
  EXPECT_TRUE(shows("pinnedEmptyMessage"));
  EXPECT_EQ(text("pinnedCount"), "(0/3)");
  EXPECT_EQ(find<QLineEdit>("historySearchField")->width(), 140);
  writeScreenshot(*page, "copy_cache_page_empty_th");

  fill();
  EXPECT_EQ(rows("historyRow").size(), 8u);
  EXPECT_FALSE(shows("historyEmptyMessage"));
  EXPECT_TRUE(shows("clearAllButton"));
  EXPECT_EQ(text("historyCount"), "(8/10 รายการ)");

  EXPECT_EQ(row("t1")->findChild<QLabel*>("conversionHint")->text(), "แปลงภาษา: \"สวัสดี\"");
  EXPECT_TRUE(row("r1")->findChild<QLabel*>("rtfBadge"));
  EXPECT_FALSE(row("t1")->findChild<QLabel*>("rtfBadge"));
  EXPECT_TRUE(row("i1")->findChild<QLabel*>("rowThumbnail"));
  EXPECT_FALSE(row("i2")->findChild<QLabel*>("rowThumbnail")) << "an undecodable thumbnail is left out";
  EXPECT_EQ(row("f3")->findChild<QLabel*>("rowTitle")->text(), "a.pdf และอีก 2 ไฟล์");
  EXPECT_EQ(row("f3")->findChild<QLabel*>("rowSymbol")->property("symbol").toString(), "folder.fill");
  EXPECT_EQ(row("f0")->findChild<QLabel*>("rowTitle")->text(), "x.txt และอีก 1 ไฟล์") << "names missing";
  EXPECT_EQ(row("c1")->findChild<QLabel*>("rowDetail")->text(), "RGB: 255, 127, 0");
  EXPECT_EQ(row("c1")->findChild<QLabel*>("colorSwatch")->property("swatch").toString(), "#ff7f00");
  for (QLabel* l : row("w1")->findChildren<QLabel*>()) EXPECT_NE(l->text(), "Never shown");
  EXPECT_EQ(row("w1")->findChild<QLabel*>("sourceApp")->text(), "Editor");

  showWhole();
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
  writeScreenshot(*page, "copy_cache_page_th");

  QTest::keyClicks(find<QLineEdit>("historySearchField"), "zzz");
  settle();
  EXPECT_TRUE(rows("historyRow").empty());
  EXPECT_EQ(text("historyEmptyMessage"), u8(Model::kNoMatch));
  EXPECT_EQ(text("historyCount"), "(8/10 รายการ)");
  find<QLineEdit>("historySearchField")->setText("สวัส");
  settle();
  ASSERT_EQ(rows("historyRow").size(), 1u);
  EXPECT_EQ(rows("historyRow")[0]->property("itemID").toString(), "t1");
}

TEST_F(CopyCacheSettingsPageTest, EnglishInterfaceKeepsTheSamePage) {
  fill();
  std::string text;
  for (int i = 0; i < 12; ++i) text += "ประชุมวันจันทร์ เวลา 10:00 น. ";
  auto items = manager->items.get();
  items.push_back(entry("long", text));
  items.back().createdAt = fx.clock.wallTime();
  manager->items.set(items);
  manager->togglePin("t1");
  manager->togglePin("r1");
  open("en");
  EXPECT_EQ(rows("pinnedRow").size(), 2u);
  showWhole();
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
  writeScreenshot(*page, "copy_cache_page_en");
  // A preview shows two lines at most: a much longer one is about as tall
  // as the two-line one (line heights vary a little with the glyphs).
  QLabel* twoLines = row("r1")->findChild<QLabel*>("rowTitle");
  QLabel* longer = row("long")->findChild<QLabel*>("rowTitle");
  EXPECT_GT(twoLines->height(), twoLines->fontMetrics().lineSpacing() * 3 / 2);
  EXPECT_NEAR(longer->height(), twoLines->height(), 4);
}

TEST_F(CopyCacheSettingsPageTest, RowButtonsCopyPinAndDelete) {
  fill();
  open();
  desk.launchApplication("org.example.Other", "Other");
  desk.activateApplication("org.example.Other");
  auto* copy = row("t1")->findChild<QPushButton*>("copyButton");
  EXPECT_EQ(copy->toolTip(), u8(Model::kCopyToolTip));
  copy->click();
  settle();
  EXPECT_EQ(*desk.pasteboard().items().front().get(types::kText), "l;ylfu");
  EXPECT_EQ(row("t1")->findChild<QPushButton*>("copyButton")->property("symbol").toString(),
            "checkmark.circle.fill");
  fx.runner.advance(1.5);
  settle();
  EXPECT_EQ(row("t1")->findChild<QPushButton*>("copyButton")->property("symbol").toString(), "doc.on.doc");
  EXPECT_TRUE(desk.postedEvents().empty());
  EXPECT_EQ(desk.frontmostApplication()->info.bundleID, "org.example.Other");

  auto* pin = row("w1")->findChild<QPushButton*>("pinButton");
  EXPECT_EQ(pin->toolTip(), u8(Model::kPinToolTip));
  pin->click();
  settle();
  ASSERT_EQ(rows("pinnedRow").size(), 1u);
  EXPECT_EQ(rows("pinnedRow")[0]->findChild<QLabel*>("snippetBadge")->text(), "1");
  EXPECT_EQ(row("w1")->findChild<QPushButton*>("pinButton")->property("symbol").toString(), "pin.fill");
  EXPECT_EQ(row("w1")->findChild<QPushButton*>("pinButton")->toolTip(), u8(Model::kUnpinToolTip));
  rows("pinnedRow")[0]->findChild<QPushButton*>("unpinButton")->click();
  settle();
  EXPECT_TRUE(rows("pinnedRow").empty());
  EXPECT_TRUE(shows("pinnedEmptyMessage"));

  row("c1")->findChild<QPushButton*>("deleteButton")->click();
  settle();
  EXPECT_EQ(row("c1"), nullptr) << "deleted at once";
  EXPECT_EQ(rows("historyRow").size(), 7u);

  desk.pasteboard().setWritable(false);
  row("w1")->findChild<QPushButton*>("copyButton")->click();
  settle();
  auto* failed = row("w1")->findChild<QPushButton*>("copyButton");
  EXPECT_EQ(failed->property("symbol").toString(), "exclamationmark.triangle.fill");
  EXPECT_EQ(failed->toolTip(), u8(Model::kCopyFailedToolTip));
}

TEST_F(CopyCacheSettingsPageTest, ClearAllAsksFirst) {
  fill();
  open();
  find<QPushButton>("clearAllButton")->click();
  settle();
  QMessageBox* box = page->clearAllConfirmation();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->windowModality(), Qt::WindowModal);
  EXPECT_EQ(box->text(), u8(Model::kClearAllTitle));
  EXPECT_EQ(box->informativeText(), u8(Model::kClearAllMessage));
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*box));
  box->findChild<QPushButton*>("clearAllCancelButton")->click();
  settle();
  EXPECT_EQ(page->clearAllConfirmation(), nullptr);
  EXPECT_EQ(manager->items.get().size(), 8u);

  find<QPushButton>("clearAllButton")->click();
  settle();
  page->clearAllConfirmation()->findChild<QPushButton*>("clearAllConfirmButton")->click();
  settle();
  EXPECT_TRUE(manager->items.get().empty());
  EXPECT_EQ(text("historyEmptyMessage"), u8(Model::kNoHistory));
  EXPECT_FALSE(shows("clearAllButton"));
}

TEST_F(CopyCacheSettingsPageTest, TheAddSnippetSheetSavesAndCancelClears) {
  manager->isEnabled.set(true);
  open();
  find<QPushButton>("addSnippetButton")->click();
  settle();
  AddSnippetSheet* sheet = page->addSnippetSheet();
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
  EXPECT_EQ(sheet->width(), 420);
  auto* save = sheet->findChild<QPushButton*>("saveSnippetButton");
  auto* editor = sheet->findChild<QPlainTextEdit*>("snippetTextEditor");
  auto* keyword = sheet->findChild<QLineEdit*>("snippetKeywordField");
  EXPECT_FALSE(save->isEnabled());
  editor->setPlainText(" \n ");
  EXPECT_FALSE(save->isEnabled()) << "spaces and newlines only";
  editor->setPlainText("บ้านเลขที่ 99/1 ถนนพระราม 4\nกรุงเทพฯ 10500");
  EXPECT_TRUE(save->isEnabled());
  keyword->setText("ที่อยู่");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*sheet));
  writeScreenshot(*sheet, "copy_cache_add_snippet_th");
  save->click();
  settle();
  EXPECT_EQ(page->addSnippetSheet(), nullptr);
  ASSERT_EQ(rows("pinnedRow").size(), 1u);
  EXPECT_EQ(rows("pinnedRow")[0]->findChild<QLabel*>("keywordBadge")->text(), "ที่อยู่");
  EXPECT_EQ(manager->pinnedSnippets.get().front().sourceAppName, "Custom Snippet");
  writeScreenshot(*page, "copy_cache_page_pinned_th");

  find<QPushButton>("addSnippetButton")->click();
  settle();
  sheet = page->addSnippetSheet();
  EXPECT_TRUE(sheet->findChild<QPlainTextEdit*>("snippetTextEditor")->toPlainText().isEmpty());
  sheet->findChild<QPlainTextEdit*>("snippetTextEditor")->setPlainText("draft");
  sheet->findChild<QLineEdit*>("snippetKeywordField")->setText("word");
  sheet->findChild<QPushButton*>("cancelSnippetButton")->click();
  settle();
  EXPECT_EQ(manager->items.get().size(), 1u);
  find<QPushButton>("addSnippetButton")->click();
  settle();
  sheet = page->addSnippetSheet();
  EXPECT_TRUE(sheet->findChild<QPlainTextEdit*>("snippetTextEditor")->toPlainText().isEmpty());
  EXPECT_TRUE(sheet->findChild<QLineEdit*>("snippetKeywordField")->text().isEmpty());
  engine->appLanguage.set("en");
  writeScreenshot(*sheet, "copy_cache_add_snippet_en");
  sheet->reject();
  settle();
}

TEST_F(CopyCacheSettingsPageTest, AHistorySetAsideIsToldAboveTheListsUntilTheUserDismissesIt) {
  open("en");
  EXPECT_FALSE(shows("historySetAsideNote"));
  delete page;
  page = nullptr;
  // A history no key opens, as after its keychain file was set aside.
  const auto vault = Paths::applicationSupport() / "CopyCache" / "history.vault";
  ASSERT_TRUE(writeFileAtomically(vault, std::string(64, 'x'), 0600));
  manager = makeManager();
  open("en");
  ASSERT_TRUE(shows("historySetAsideNote")) << "also while the history is off";
  EXPECT_EQ(text("historySetAsideTitle"), "Clipboard history set aside");
  EXPECT_TRUE(text("historySetAsideDetail").endsWith(QString::fromStdString(vault.string() + ".corrupt")));
  EXPECT_TRUE(text("historySetAsideDetail").startsWith("The key that opens it is no longer in the keychain"));
  writeScreenshot(*page, "copy_cache_history_set_aside_en");
  engine->appLanguage.set("th");
  manager->isEnabled.set(true);  // the page redraws on the manager's changes
  settle();
  EXPECT_EQ(text("historySetAsideTitle"), u8("ประวัติคลิปบอร์ดถูกแยกเก็บไว้"));
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
  find<QPushButton>("historySetAsideDismiss")->click();
  settle();
  EXPECT_FALSE(shows("historySetAsideNote"));
  EXPECT_EQ(manager->historySetAside.get(), std::nullopt);
}

TEST_F(CopyCacheSettingsPageTest, TheQuickPasteButtonAsksTheDelegateOnlyWhileOn) {
  int openings = 0;
  CopyCacheSettingsEnvironment env{manager.get(), &fx.runner, [&openings] { ++openings; }, {}, {}};
  page = new CopyCacheSettingsPage(std::move(env));
  page->resize(490, 480);
  page->show();
  settle();
  auto* button = find<QPushButton>("openQuickPasteButton");
  button->click();
  EXPECT_EQ(openings, 0);
  find<QCheckBox>("copyCacheEnableSwitch")->click();
  settle();
  button->click();
  EXPECT_EQ(openings, 1);
}

TEST_F(CopyCacheSettingsPageTest, TheDashboardHandsThePageItsManagerAndTheQuickPasteAction) {
  int openings = 0;
  DashboardServices services;
  services.copyCache = manager.get();
  services.openQuickPaste = [&openings] { ++openings; };
  page = qobject_cast<CopyCacheSettingsPage*>(
      makeDashboardPage(DashboardPage::copyCache, engine->views(), nullptr, services));
  ASSERT_NE(page, nullptr);
  page->resize(490, 480);
  page->show();
  settle();
  find<QCheckBox>("copyCacheEnableSwitch")->click();
  settle();
  EXPECT_TRUE(manager->isEnabled.get()) << "the switch reached the manager handed in";
  find<QPushButton>("openQuickPasteButton")->click();
  EXPECT_EQ(openings, 1);
}

}  // namespace
}  // namespace tessa
