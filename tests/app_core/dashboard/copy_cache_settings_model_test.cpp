#include "app_core/dashboard/copy_cache_settings_model.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/files.h"
#include "clipboard/copy_cache_manager.h"
#include "support/copy_cache_fixture.h"

namespace tessa {
namespace {

namespace types = pasteboard_types;
using Item = CopyCacheItem;
using Model = CopyCacheSettingsModel;
using Body = CopyCacheRowContent::Body;

class CopyCacheSettingsModelTest : public test::CopyCacheFixture {
 protected:
  CopyCacheSettingsModelTest() {
    manager = CopyCacheManager::create(copyCacheEnvironment(home.path() / "CopyCache"));
    model = std::make_unique<Model>(CopyCacheSettingsEnvironment{
        manager.get(), &main, [this] { ++panelOpenings; },
        [this](const std::string& line) { logLines.push_back(line); }, {}});
    model->setOnChange([this] { ++changes; });
  }

  void enable() { model->setEnabled(true); }
  // Another application copies; the history takes it 0.2 s later.
  void copy(const std::string& text) {
    desk.pasteboard().copyText(text);
    main.advance(0.25);
  }
  std::vector<std::string> texts(const std::vector<Item>& list) const {
    std::vector<std::string> out;
    for (const auto& item : list) out.push_back(item.text);
    return out;
  }
  const Item& entry(const std::string& text) const {
    for (const auto& item : manager->items.get())
      if (item.text == text) return item;
    throw std::runtime_error("no entry " + text);
  }

  std::shared_ptr<CopyCacheManager> manager;
  std::unique_ptr<Model> model;
  int panelOpenings = 0;
  int changes = 0;
};

TEST_F(CopyCacheSettingsModelTest, StartsOffAndTheSwitchesGoThroughTheManager) {
  EXPECT_FALSE(model->isEnabled()) << "nothing is recorded until the user turns it on";
  EXPECT_FALSE(model->isClearOnQuit());
  model->openQuickPaste();
  EXPECT_EQ(panelOpenings, 0) << "the panel shows nothing while the history is off";
  copy("while off");
  EXPECT_TRUE(manager->items.get().empty());

  enable();
  EXPECT_TRUE(manager->isEnabled.get());
  EXPECT_TRUE(defaults.boolForKey(CopyCacheManager::kEnabledSetting.key));
  model->setClearOnQuit(true);
  EXPECT_TRUE(defaults.boolForKey(CopyCacheManager::kClearOnQuitSetting.key));
  model->openQuickPaste();
  EXPECT_EQ(panelOpenings, 1);
  copy("while on");
  EXPECT_EQ(texts(manager->items.get()), std::vector<std::string>{"while on"});
}

TEST_F(CopyCacheSettingsModelTest, AHistorySetAsideIsToldInTheAppLanguageUntilDismissed) {
  EXPECT_EQ(model->setAsideNote(), std::nullopt);
  enable();
  copy("seals the vault key into the keychain");
  const auto folder = home.path() / "Damaged";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(writeFileAtomically(folder / "history.vault", std::string(64, 'x'), 0600));
  manager = CopyCacheManager::create(copyCacheEnvironment(folder));
  std::string language = "en";
  model = std::make_unique<Model>(CopyCacheSettingsEnvironment{
      manager.get(), &main, {}, {}, [&language] { return language; }});
  const std::string where = (folder / "history.vault.corrupt").string();
  auto note = model->setAsideNote();
  ASSERT_TRUE(note);
  EXPECT_EQ(note->title, "Clipboard history set aside");
  EXPECT_EQ(note->detail, "The history file could not be read, so the history started empty. Nothing was deleted: "
                          "the file is kept as it was at " + where);
  EXPECT_EQ(note->dismiss, "OK");
  language = "th";
  note = model->setAsideNote();
  EXPECT_EQ(note->title, "ประวัติคลิปบอร์ดถูกแยกเก็บไว้");
  EXPECT_EQ(note->detail, "อ่านไฟล์ประวัติไม่ได้ ประวัติจึงเริ่มใหม่แบบว่างเปล่า ไม่มีสิ่งใดถูกลบ: ไฟล์เดิมยังเก็บไว้ตามเดิมที่ " + where);
  using SetAside = CopyCacheManager::SetAside;
  EXPECT_EQ(describeHistorySetAside({SetAside::Reason::keyMissing, "/h/history.vault.corrupt"}, "ja").detail,
            "The key that opens it is no longer in the keychain, so the history started empty. Nothing was "
            "deleted: the old history is kept, still sealed, at /h/history.vault.corrupt")
      << "English in every language but Thai";

  model->dismissSetAsideNote();
  EXPECT_EQ(model->setAsideNote(), std::nullopt);
  EXPECT_TRUE(std::filesystem::exists(where));
}

TEST_F(CopyCacheSettingsModelTest, EmptyStatesCountAndSearch) {
  enable();
  EXPECT_EQ(model->countLabel(), "(0/10 รายการ)");
  EXPECT_FALSE(model->showsClearAll());
  EXPECT_EQ(model->emptyMessage(), Model::kNoHistory);
  EXPECT_EQ(model->pinnedCountLabel(), "(0/3)");
  EXPECT_TRUE(model->shownSnippets().empty());
  model->setSearchText("   ");
  EXPECT_EQ(model->emptyMessage(), Model::kNoMatch) << "a search of spaces over nothing found nothing";

  copy("Hello World");
  copy("ที่อยู่ บ้าน");
  manager->addSnippet("0812345678", "  Phone ", true);
  auto items = manager->items.get();
  items[1].suggestedConvertedText = "สวัสดี";  // the Thai entry's suggestion
  manager->items.set(items);

  EXPECT_EQ(texts(model->filteredHistory()).size(), 3u) << "spaces only: every entry";
  EXPECT_FALSE(model->emptyMessage());
  model->setSearchText(" hello ");
  EXPECT_EQ(texts(model->filteredHistory()), std::vector<std::string>{"Hello World"});
  model->setSearchText("PHONE");
  EXPECT_EQ(texts(model->filteredHistory()), std::vector<std::string>{"0812345678"}) << "the keyword, any case";
  model->setSearchText("สวัส");
  EXPECT_EQ(texts(model->filteredHistory()), std::vector<std::string>{"ที่อยู่ บ้าน"}) << "the suggestion";
  model->setSearchText("nothing like it");
  EXPECT_TRUE(model->filteredHistory().empty());
  EXPECT_EQ(model->emptyMessage(), Model::kNoMatch);
  EXPECT_EQ(model->countLabel(), "(3/10 รายการ)") << "the count ignores the search";
  EXPECT_TRUE(model->showsClearAll());
}

TEST_F(CopyCacheSettingsModelTest, TenPinnedAndANewCaptureShowTheCaptureAndThreeSnippets) {
  enable();
  for (int i = 0; i < 10; ++i) manager->addSnippet("snippet " + std::to_string(i), "", true);
  copy("just copied");
  EXPECT_EQ(model->filteredHistory().front().text, "just copied");
  EXPECT_EQ(model->countLabel(), "(11/10 รายการ)") << "only pinned entries go past the capacity";
  auto shown = model->shownSnippets();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(texts(shown), (std::vector<std::string>{"snippet 9", "snippet 8", "snippet 7"}));
  EXPECT_EQ(Model::snippetBadge(0), "1");
  EXPECT_EQ(Model::snippetBadge(2), "3");
  EXPECT_EQ(model->pinnedCountLabel(), "(10/3)");

  // Unpinning from a pinned row takes it out of the pinned list.
  model->togglePin(shown[0].id);
  EXPECT_EQ(model->shownSnippets().front().text, "snippet 8");
  model->deleteItem(entry("just copied").id);
  EXPECT_EQ(model->countLabel(), "(10/10 รายการ)") << "deleted at once, no question asked";
  model->togglePin("no such id");  // gone meanwhile: nothing happens
  model->deleteItem("no such id");
  EXPECT_EQ(manager->items.get().size(), 10u);
}

TEST_F(CopyCacheSettingsModelTest, CopyOnlyCopiesAndItsMarkLastsFromTheLastPress) {
  enable();
  copy("first");
  copy("second");
  manager->rememberFrontmostApp();
  desk.launchApplication("org.example.Other", "Other");
  desk.activateApplication("org.example.Other");
  std::string first = entry("first").id, second = entry("second").id;

  EXPECT_TRUE(model->copy(first));
  ASSERT_EQ(desk.pasteboard().items().size(), 1u);
  EXPECT_EQ(*desk.pasteboard().items().front().get(types::kText), "first");
  EXPECT_EQ(model->copyButton(first).symbol, "checkmark.circle.fill");
  EXPECT_EQ(model->copyButton(first).tint, CopyButtonLook::Tint::green);
  EXPECT_EQ(model->copyButton(second).symbol, "doc.on.doc");

  main.advance(1.0);
  EXPECT_TRUE(model->copy(second));
  EXPECT_EQ(model->copiedItemID(), second) << "the mark moves to the second";
  main.advance(0.6);  // the first press's reset comes and goes
  EXPECT_EQ(model->copiedItemID(), second);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(model->copy(second));  // pressed again: 1.5 s from now
  main.advance(1.0);
  EXPECT_EQ(model->copiedItemID(), second);
  main.advance(0.6);
  EXPECT_FALSE(model->copiedItemID());
  EXPECT_EQ(changes, 1);

  main.advance(1);
  EXPECT_TRUE(desk.postedEvents().empty()) << "no paste keystroke";
  EXPECT_EQ(desk.frontmostApplication()->info.bundleID, "org.example.Other") << "nothing is activated";
  EXPECT_EQ(manager->items.get().size(), 2u) << "our own write is not taken again";

  // A reset due after the page is gone does nothing.
  model->copy(first);
  model.reset();
  main.advance(2);
}

TEST_F(CopyCacheSettingsModelTest, AFailedWriteShowsOnTheButtonAndIsLoggedWithoutTheContent) {
  enable();
  copy("secret-ish text");
  std::string id = entry("secret-ish text").id;
  desk.pasteboard().setWritable(false);
  logLines.clear();
  EXPECT_FALSE(model->copy(id));
  EXPECT_FALSE(model->copiedItemID());
  EXPECT_EQ(model->copyButton(id).symbol, "exclamationmark.triangle.fill");
  EXPECT_EQ(model->copyButton(id).tint, CopyButtonLook::Tint::red);
  EXPECT_EQ(model->copyButton(id).toolTip, Model::kCopyFailedToolTip);
  ASSERT_EQ(logLines.size(), 1u);
  EXPECT_EQ(logLines[0].find("secret-ish"), std::string::npos);
  main.advance(1.5);
  EXPECT_EQ(model->copyButton(id).symbol, "doc.on.doc");
  EXPECT_TRUE(desk.postedEvents().empty());
}

TEST_F(CopyCacheSettingsModelTest, ClearAllWaitsForItsConfirmation) {
  enable();
  copy("one");
  manager->addSnippet("pinned", "", true);
  model->requestClearAll();
  EXPECT_TRUE(model->showClearAllConfirmation());
  model->cancelClearAll();
  EXPECT_FALSE(model->showClearAllConfirmation());
  EXPECT_EQ(manager->items.get().size(), 2u);
  model->requestClearAll();
  model->confirmClearAll();
  EXPECT_FALSE(model->showClearAllConfirmation());
  EXPECT_TRUE(manager->items.get().empty());
  EXPECT_TRUE(model->shownSnippets().empty()) << "the pinned snippets go too";
}

TEST_F(CopyCacheSettingsModelTest, TheAddSheetSavesTrimmedPinnedSnippetsAndCancelForgets) {
  enable();
  model->openAddSnippet();
  model->setNewSnippetText(" \n\t ");
  EXPECT_FALSE(model->canSaveSnippet());
  model->setNewSnippetText(" \nก");
  EXPECT_TRUE(model->canSaveSnippet());

  model->setNewSnippetText("  123 ถนนสุขุมวิท\nกรุงเทพฯ  ");
  model->setNewSnippetKeyword("   ");
  model->saveSnippet();
  EXPECT_FALSE(model->showAddSnippetSheet());
  EXPECT_TRUE(model->newSnippetText().empty());
  ASSERT_EQ(model->shownSnippets().size(), 1u);
  const Item saved = model->shownSnippets().front();
  EXPECT_EQ(saved.text, "123 ถนนสุขุมวิท\nกรุงเทพฯ");
  EXPECT_EQ(saved.preview, "123 ถนนสุขุมวิท กรุงเทพฯ");
  EXPECT_FALSE(saved.snippetKeyword) << "a keyword of spaces is none";
  EXPECT_TRUE(saved.isPinned);
  EXPECT_EQ(saved.sourceAppName, "Custom Snippet");

  // Copying a pinned row puts the whole text on the clipboard, not the preview.
  EXPECT_TRUE(model->copy(saved.id));
  EXPECT_EQ(*desk.pasteboard().items().front().get(types::kText), "123 ถนนสุขุมวิท\nกรุงเทพฯ");

  model->openAddSnippet();
  model->setNewSnippetText("typed");
  model->setNewSnippetKeyword("word");
  model->addSnippetSheetClosed();  // closed by Escape: kept for the next opening
  EXPECT_EQ(model->newSnippetText(), "typed");
  model->openAddSnippet();
  model->cancelAddSnippet();
  EXPECT_FALSE(model->showAddSnippetSheet());
  EXPECT_TRUE(model->newSnippetText().empty());
  EXPECT_TRUE(model->newSnippetKeyword().empty());

  // Turned off while the sheet was open: it closes, nothing is added.
  model->openAddSnippet();
  model->setNewSnippetText("refused");
  model->setEnabled(false);
  logLines.clear();
  model->saveSnippet();
  EXPECT_FALSE(model->showAddSnippetSheet());
  EXPECT_TRUE(model->newSnippetText().empty());
  EXPECT_EQ(manager->items.get().size(), 1u);
  ASSERT_EQ(logLines.size(), 1u);
  EXPECT_EQ(logLines[0].find("refused"), std::string::npos);
}

TEST(CopyCacheRowContentTest, SizesColoursAndFileTitles) {
  EXPECT_EQ(Model::kilobytes(0), 1);
  EXPECT_EQ(Model::kilobytes(1023), 1);
  EXPECT_EQ(Model::kilobytes(1024), 1);
  EXPECT_EQ(Model::kilobytes(2047), 1);
  EXPECT_EQ(Model::kilobytes(2048), 2);
  EXPECT_EQ(Model::kilobytes(-5), 1);

  EXPECT_EQ(Model::colorByte(1.0), 255);
  EXPECT_EQ(Model::colorByte(0.5), 127);
  EXPECT_EQ(Model::colorByte(0.999), 254);
  EXPECT_EQ(Model::colorByte(-0.5), 0);
  EXPECT_EQ(Model::colorByte(7.0), 255);
  EXPECT_EQ(Model::colorByte(std::nan("")), 0);
  EXPECT_EQ(Model::colorByte(INFINITY), 0);

  using Files = Item::FileURLs;
  EXPECT_EQ(Model::filesTitle(Files{{"/home/u/doc.pdf"}, {"doc.pdf"}, 10}), "doc.pdf");
  EXPECT_EQ(Model::filesTitle(Files{{"/a", "/b", "/c"}, {"a", "b", "c"}, 10}), "a และอีก 2 ไฟล์");
  EXPECT_EQ(Model::filesTitle(Files{}), "") << "no names at all";
  EXPECT_EQ(Model::filesTitle(Files{{"/x/report.txt", "/x/b"}, {}, 0}), "report.txt และอีก 1 ไฟล์");
  EXPECT_EQ(Model::filesTitle(Files{{"/a"}, {"a", "b", "c"}, 0}), "a และอีก 2 ไฟล์") << "lengths differ";
}

TEST(CopyCacheRowContentTest, EachPayloadKindHasItsBody) {
  Item item;
  item.id = "id";
  item.sourceAppName = "Editor";
  item.text = "hello";
  item.preview = "hello";
  item.suggestedConvertedText = "้ำสสน";
  item.conversionConfidence = 2;
  auto text = Model::rowContent(item);
  EXPECT_EQ(text.body, Body::text);
  EXPECT_EQ(text.title, "hello");
  EXPECT_FALSE(text.richTextBadge);
  EXPECT_EQ(text.conversionHint, "แปลงภาษา: \"้ำสสน\"");
  EXPECT_EQ(text.sourceAppName, "Editor");
  item.conversionConfidence = 1;
  EXPECT_FALSE(Model::rowContent(item).conversionHint) << "a weak suggestion is not offered";

  item.payloadType = Item::RichText{"v", true};
  EXPECT_TRUE(Model::rowContent(item).richTextBadge);

  item.payloadType = Item::Image{"not base64!", "v", 2048, "640×480"};
  auto image = Model::rowContent(item);
  EXPECT_EQ(image.body, Body::image);
  EXPECT_EQ(image.title, "รูปภาพ (640×480)");
  EXPECT_EQ(image.detail, "2 KB · เข้ารหัส AES-GCM-256");

  item.payloadType = Item::FileURLs{{"/home/u/doc.pdf"}, {"doc.pdf"}, 5000};
  auto one = Model::rowContent(item);
  EXPECT_EQ(one.symbol, "doc.fill");
  EXPECT_EQ(one.title, "doc.pdf");
  EXPECT_EQ(one.detail, "4 KB · File URL");
  item.payloadType = Item::FileURLs{{"/a", "/b", "/c"}, {"a", "b", "c"}, 0};
  EXPECT_EQ(Model::rowContent(item).symbol, "folder.fill");
  item.payloadType = Item::FileURLs{{}, {}, 0};
  EXPECT_EQ(Model::rowContent(item).symbol, "doc.fill");
  EXPECT_EQ(Model::rowContent(item).title, "");

  item.payloadType = Item::Color{"#FF8000", 1.0, 0.5, 0.0, 0.2};
  auto colour = Model::rowContent(item);
  EXPECT_EQ(colour.title, "#FF8000");
  EXPECT_EQ(colour.detail, "RGB: 255, 127, 0");
  EXPECT_EQ(colour.swatch, (std::array<int, 3>{255, 127, 0})) << "opaque whatever its alpha";
  item.payloadType = Item::Color{"#??", std::nan(""), -3, 2, 1};
  EXPECT_EQ(Model::rowContent(item).detail, "RGB: 0, 0, 255");

  item.payloadType = Item::WebURL{"https://example.com/a?b=1", "example.com", "A title"};
  auto web = Model::rowContent(item);
  EXPECT_EQ(web.symbol, "globe");
  EXPECT_EQ(web.title, "example.com");
  EXPECT_EQ(web.detail, "https://example.com/a?b=1");
}

}  // namespace
}  // namespace tessa
