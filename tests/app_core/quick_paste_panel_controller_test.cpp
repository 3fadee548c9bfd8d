#include "app_core/quick_paste/quick_paste_panel_controller.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/copy_cache_fixture.h"

namespace tessa {
namespace {

using Item = CopyCacheItem;

class FakeView final : public QuickPastePanelView {
 public:
  void showAt(double x, double y) override {
    visible = true;
    origin = {x, y};
  }
  void orderOut() override { visible = false; }
  bool isVisible() const override { return visible; }
  bool visible = false;
  std::pair<double, double> origin{-1, -1};
};

QuickPasteKey key(uint16_t code, uint64_t mods = 0) { return {code, mods}; }

class QuickPastePanelControllerTest : public test::CopyCacheFixture {
 protected:
  QuickPastePanelControllerTest() {
    desk.setTrusted(true);
    desk.screens().setScreens({{{0, 0, 1440, 900}, {0, 0, 1440, 875}}, {{1440, 0, 1920, 1080}, {1440, 0, 1920, 1080}}});
    main.runUntilIdle();

    manager = CopyCacheManager::create(copyCacheEnvironment(home.path() / "CopyCache"));
    manager->isEnabled.set(true);

    QuickPastePanelEnvironment penv;
    penv.platform = desk.platform();
    penv.main = &main;
    penv.log = [this](const std::string& line) { logLines.push_back(line); };
    penv.notice = [this](const std::string& title, const std::string& detail) { notices.push_back(title); };
    penv.language = [this] { return language; };
    panel = std::make_unique<QuickPastePanelController>(*manager, std::move(penv));
    panel->setView(&view);
  }

  void copy(const std::string& text) {
    desk.pasteboard().copyText(text);
    main.advance(0.25);
  }
  // Copies each text in turn: the last one ends up first.
  void copyAll(std::initializer_list<const char*> texts) {
    for (const char* t : texts) copy(t);
  }
  void showPanel() {
    desk.events().setMouseLocation(700, 500);
    panel->show();
    ASSERT_TRUE(panel->isShown());
  }
  std::string pasteboardText() {
    auto items = desk.pasteboard().items();
    if (items.empty()) return "";
    auto it = items.front().representations.find(pasteboard_types::kText);
    return it == items.front().representations.end() ? "" : it->second;
  }
  // The Ctrl+V pairs posted so far.
  int pasteKeystrokes() {
    int n = 0;
    for (const auto& e : desk.postedEvents())
      if (e.type == EventType::keyDown && e.keyCode == keycode::v && (e.flags & flags::control) && e.isTagged()) ++n;
    return n;
  }
  std::string frontmost() { return desk.frontmostApplication() ? desk.frontmostApplication()->info.bundleID : ""; }
  // What the user sees as our own application coming forward over the editor.
  void bringOurselvesForward() {
    desk.activateApplication(SimDesktop::kOwnBundleID);
    main.runUntilIdle();
  }

  std::vector<std::string> notices;
  std::string language = "th";
  std::shared_ptr<CopyCacheManager> manager;
  FakeView view;
  std::unique_ptr<QuickPastePanelController> panel;
};

TEST_F(QuickPastePanelControllerTest, ShowOnlyWhileEnabledResetsTheListAndHideIsIdempotent) {
  manager->isEnabled.set(false);
  panel->show();
  EXPECT_FALSE(view.visible);

  manager->isEnabled.set(true);
  copyAll({"one", "two"});
  manager->searchText.set("x");
  manager->selectedCategory.set(Item::Category::color);
  manager->selectedIndex.set(5);
  manager->quickLookItem.set(manager->items.get().front());
  // What was copied just before opening is taken at once, without the delay.
  desk.pasteboard().copyText("just now");
  showPanel();
  EXPECT_EQ(manager->items.get().front().text, "just now");
  EXPECT_EQ(manager->searchText.get(), "");
  EXPECT_EQ(manager->selectedCategory.get(), Item::Category::all);
  EXPECT_EQ(manager->selectedIndex.get(), 0);
  EXPECT_FALSE(manager->quickLookItem.get());
  ASSERT_TRUE(manager->previousApp());
  EXPECT_EQ(manager->previousApp()->bundleID, "org.example.Editor");

  bringOurselvesForward();
  panel->hide(true);
  main.runUntilIdle();
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(frontmost(), "org.example.Editor");
  // A second hide does nothing: the focus is not taken from where it went.
  bringOurselvesForward();
  panel->hide(true);
  main.runUntilIdle();
  EXPECT_EQ(frontmost(), SimDesktop::kOwnBundleID);

  // A click elsewhere hides the panel and leaves the focus where it went.
  showPanel();
  panel->windowDidResignKey();
  main.runUntilIdle();
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(frontmost(), SimDesktop::kOwnBundleID);
  // Keys reach nothing while hidden.
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::escape)));
}

TEST_F(QuickPastePanelControllerTest, AnEmptyListSwallowsArrowsAndPassesReturnAndDigits) {
  showPanel();
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::down)));
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::up)));
  EXPECT_EQ(manager->selectedIndex.get(), 0);
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::space)));
  EXPECT_FALSE(manager->quickLookItem.get());
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::returnKey)));
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::one, flags::command)));
  panel->submitSearch();
  EXPECT_EQ(desk.pasteboard().writeCount(), 0);
  EXPECT_TRUE(view.visible);
  auto empty = panel->emptyState();
  EXPECT_EQ(empty.message, "ยังไม่มีข้อมูลในหมวดทั้งหมด");
  EXPECT_EQ(empty.symbol, "tray.full.fill");
}

TEST_F(QuickPastePanelControllerTest, ArrowsClampAndCarryThePreviewEscapeClosesItThenThePanel) {
  copyAll({"c", "b", "a"});  // list: a, b, c
  showPanel();
  bringOurselvesForward();
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::up)));
  EXPECT_EQ(manager->selectedIndex.get(), 0);
  for (int k = 0; k < 4; ++k) panel->handleKeyDown(key(keycode::down));
  EXPECT_EQ(manager->selectedIndex.get(), 2);

  EXPECT_TRUE(panel->handleKeyDown(key(keycode::space)));
  ASSERT_TRUE(manager->quickLookItem.get());
  EXPECT_EQ(manager->quickLookItem.get()->text, "c");
  panel->handleKeyDown(key(keycode::up));
  EXPECT_EQ(manager->selectedIndex.get(), 1);
  EXPECT_EQ(manager->quickLookItem.get()->text, "b");
  ASSERT_TRUE(panel->preview());
  EXPECT_EQ(panel->preview()->title, "พรีวิว: ข้อความ");

  EXPECT_TRUE(panel->handleKeyDown(key(keycode::escape)));
  EXPECT_FALSE(manager->quickLookItem.get());
  EXPECT_TRUE(view.visible);
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::escape)));
  main.runUntilIdle();
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(frontmost(), "org.example.Editor");
}

TEST_F(QuickPastePanelControllerTest, SpaceOpensThePreviewOnlyFromAnEmptySearchOrWithCtrl) {
  copyAll({"b", "a b"});
  showPanel();
  panel->setSearchText("a");
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::space))) << "types into the search";
  EXPECT_FALSE(manager->quickLookItem.get());
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::space, flags::command)));
  EXPECT_TRUE(manager->quickLookItem.get());
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::space, flags::command)));
  EXPECT_FALSE(manager->quickLookItem.get());
}

TEST_F(QuickPastePanelControllerTest, CtrlBackspaceDeletesTheRowAndKeepsTheSelectionInTheList) {
  copyAll({"5", "4", "3", "2", "1"});
  showPanel();
  manager->selectedIndex.set(4);
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::deleteKey, flags::command)));
  EXPECT_EQ(manager->items.get().size(), 4u);
  EXPECT_EQ(manager->selectedIndex.get(), 3);
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::deleteKey))) << "a plain Backspace edits the search";

  panel->setSearchText("2");
  manager->selectedIndex.set(0);
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::deleteKey, flags::command)));
  EXPECT_EQ(manager->items.get().size(), 4u);

  panel->setSearchText("");
  for (int k = 0; k < 3; ++k) panel->handleKeyDown(key(keycode::deleteKey, flags::command));
  ASSERT_EQ(manager->items.get().size(), 1u);
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::deleteKey, flags::command)));
  EXPECT_TRUE(manager->items.get().empty());
  EXPECT_EQ(manager->selectedIndex.get(), 0);
}

TEST_F(QuickPastePanelControllerTest, MainRowDigitsWithCtrlOrAltPasteAndEverythingElsePasses) {
  copyAll({"third", "second", "first"});
  auto items = manager->items.get();
  items[2].suggestedConvertedText = "ธฟรพก";
  items[2].conversionConfidence = 3;
  manager->items.set(items);
  showPanel();

  EXPECT_FALSE(panel->handleKeyDown(key(keycode::five, flags::command))) << "no fifth row";
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::three))) << "a bare digit types";
  EXPECT_FALSE(panel->handleKeyDown(key(85 /* keypad 3 */, flags::command)));
  EXPECT_TRUE(view.visible);

  EXPECT_TRUE(panel->handleKeyDown(key(keycode::three, flags::option)));
  EXPECT_EQ(pasteboardText(), "ธฟรพก");
  EXPECT_FALSE(view.visible);

  showPanel();
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::three, flags::command)));
  EXPECT_EQ(pasteboardText(), "third");
  showPanel();
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::two, flags::option)));
  EXPECT_EQ(pasteboardText(), "second") << "without a suggestion Alt pastes the entry itself";
}

TEST_F(QuickPastePanelControllerTest, ReturnPastesTheHighlightedRowKeypadEnterAndLostRowsGoToTheSearch) {
  copyAll({"banana", "apple"});
  showPanel();
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::keypadEnter)));
  EXPECT_EQ(desk.pasteboard().writeCount(), 0);

  manager->selectedIndex.set(1);
  panel->setSearchText("apple");  // the highlighted row is no longer in the list
  manager->quickLookItem.set(manager->items.get().front());
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::returnKey)));
  EXPECT_FALSE(manager->quickLookItem.get()) << "Return closes the preview even when it passes";
  EXPECT_EQ(desk.pasteboard().writeCount(), 0);
  panel->submitSearch();
  EXPECT_EQ(pasteboardText(), "apple");

  showPanel();
  manager->selectedIndex.set(-1);
  for (const auto& row : panel->rows()) EXPECT_FALSE(row.selected);
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::returnKey))) << "a negative highlight is no row";
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::down)));
  EXPECT_EQ(manager->selectedIndex.get(), 0);
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::returnKey)));
  EXPECT_EQ(pasteboardText(), "apple");
}

TEST_F(QuickPastePanelControllerTest, APastePostsCtrlVOnlyAfterThePreviousApplicationCameForward) {
  copyAll({"hello"});
  showPanel();
  bringOurselvesForward();
  desk.events().clearPosted();
  EXPECT_EQ(panel->paste(manager->items.get().front(), false), QuickPastePasteResult::pasted);
  EXPECT_FALSE(view.visible);
  main.advance(0.09);
  EXPECT_EQ(pasteKeystrokes(), 0);
  main.advance(0.02);
  EXPECT_EQ(pasteKeystrokes(), 1);
  EXPECT_EQ(frontmost(), "org.example.Editor");
  EXPECT_TRUE(notices.empty());
  // Our own write is not captured again.
  main.advance(1);
  EXPECT_EQ(manager->items.get().size(), 1u);
}

TEST_F(QuickPastePanelControllerTest, AFailedWritePostsNothingAndLogsOneLineWithoutTheContent) {
  copyAll({"secret-ish text"});
  showPanel();
  desk.pasteboard().setWritable(false);
  logLines.clear();
  EXPECT_EQ(panel->paste(manager->items.get().front(), false), QuickPastePasteResult::writeFailed);
  main.advance(1);
  EXPECT_EQ(pasteKeystrokes(), 0);
  EXPECT_TRUE(view.visible);
  ASSERT_EQ(logLines.size(), 1u);
  EXPECT_EQ(logLines[0].find("secret"), std::string::npos);
  EXPECT_TRUE(notices.empty());
}

TEST_F(QuickPastePanelControllerTest, WithoutActivationOrKeystrokesTheEntryStaysCopiedAndTheHudSaysSo) {
  copyAll({"hello"});
  showPanel();
  desk.terminateApplication("org.example.Editor");
  main.runUntilIdle();
  EXPECT_EQ(panel->paste(manager->items.get().front(), false), QuickPastePasteResult::copiedOnly);
  main.advance(1);
  EXPECT_EQ(pasteKeystrokes(), 0);
  EXPECT_EQ(pasteboardText(), "hello");
  EXPECT_EQ(notices, std::vector<std::string>{QuickPastePanelController::kCopiedTitleKey});

  // A desktop that takes no synthetic keystrokes (Wayland).
  desk.launchApplication("org.example.Editor", "Editor");
  desk.activateApplication("org.example.Editor");
  main.runUntilIdle();
  desk.events().setPostingAllowed(false);
  showPanel();
  EXPECT_EQ(panel->paste(manager->items.get().front(), false), QuickPastePasteResult::copiedOnly);
  main.advance(1);
  EXPECT_EQ(pasteKeystrokes(), 0);
  EXPECT_EQ(notices.size(), 2u);
}

TEST_F(QuickPastePanelControllerTest, PlacementFollowsThePointersScreenAndKeepsTwentyPointsInside) {
  std::vector<ScreenInfo> screens = {{{0, 0, 1440, 900}, {0, 0, 1440, 875}},
                                     {{1440, 0, 1920, 1080}, {1440, 40, 1920, 1040}}};
  // The very right edge of the second screen: on that screen, not the main one.
  auto at = QuickPastePanelController::placement(screens, screens[0], 3359, 600, 500, 420);
  ASSERT_TRUE(at);
  EXPECT_DOUBLE_EQ(at->first, 3360 - 500 - 20);
  EXPECT_DOUBLE_EQ(at->second, 600 - 420 - 10);
  // Near the bottom: lifted to the margin.
  at = QuickPastePanelController::placement(screens, screens[0], 700, 100, 500, 420);
  EXPECT_DOUBLE_EQ(at->first, 450);
  EXPECT_DOUBLE_EQ(at->second, 20);
  // Off every screen: the main screen.
  at = QuickPastePanelController::placement(screens, screens[1], -400, 5000, 500, 420);
  EXPECT_DOUBLE_EQ(at->first, 1460);
  EXPECT_DOUBLE_EQ(at->second, 40 + 1040 - 420 - 20);
  // A screen too small for the panel: the lower-left margin wins.
  std::vector<ScreenInfo> tiny = {{{0, 0, 400, 300}, {0, 0, 400, 300}}};
  at = QuickPastePanelController::placement(tiny, std::nullopt, 200, 150, 500, 420);
  EXPECT_DOUBLE_EQ(at->first, 20);
  EXPECT_DOUBLE_EQ(at->second, 20);
  EXPECT_FALSE(QuickPastePanelController::placement({}, std::nullopt, 0, 0, 500, 420));

  // Through show(): the simulated pointer on the second screen.
  desk.events().setMouseLocation(3000, 700);
  panel->show();
  EXPECT_DOUBLE_EQ(view.origin.first, 2750);
  EXPECT_DOUBLE_EQ(view.origin.second, 270);
  panel->hide(false);
  desk.screens().setScreens({});
  panel->show();
  EXPECT_FALSE(panel->isShown()) << "no screen, no panel";
}

TEST_F(QuickPastePanelControllerTest, RowActionsHoverPinDeleteAndThePreviewPasteButton) {
  copyAll({"d", "c", "b", "a"});
  showPanel();
  panel->hoverEnter(manager->filteredItems()[3].id, 4);
  EXPECT_EQ(manager->selectedIndex.get(), 3);
  auto rows = panel->rows();
  EXPECT_TRUE(rows[3].selected && rows[3].hovered);
  EXPECT_TRUE(rows[3].buttonsVisible);
  EXPECT_FALSE(rows[1].buttonsVisible);
  panel->hoverExit(rows[3].id);
  rows = panel->rows();
  EXPECT_TRUE(rows[3].selected);
  EXPECT_FALSE(rows[3].hovered);
  EXPECT_TRUE(rows[3].buttonsVisible) << "the selected row keeps its buttons";

  panel->togglePin(rows[0].id);
  EXPECT_TRUE(manager->items.get()[0].isPinned);
  EXPECT_EQ(manager->pinnedSnippets.get().size(), 1u);
  EXPECT_EQ(panel->rows()[3].buttons[1].symbol, "pin.fill");

  // Deleting the previewed entry closes the preview.
  panel->openPreview(manager->filteredItems()[2]);
  panel->deleteItem(manager->filteredItems()[2].id);
  EXPECT_FALSE(manager->quickLookItem.get());
  EXPECT_EQ(manager->items.get().size(), 3u);

  // The preview's button pastes the entry's own text, never its conversion.
  auto items = manager->items.get();
  items[0].suggestedConvertedText = "ฟ";
  items[0].conversionConfidence = 5;
  manager->items.set(items);
  panel->openPreview(manager->items.get()[0]);
  panel->pastePreviewed();
  EXPECT_FALSE(manager->quickLookItem.get());
  EXPECT_EQ(pasteboardText(), "a");
}

TEST_F(QuickPastePanelControllerTest, CtrlOOpensLinksAndFileFoldersAndPassesOtherwise) {
  Item web;
  web.id = "w";
  web.text = "https://example.org/a b";
  web.payloadType = Item::WebURL{"https://example.org/a", "example.org", "Title"};
  Item files;
  files.id = "f";
  files.payloadType = Item::FileURLs{{"/home/u/My Docs/a.txt"}, {"a.txt"}, 10};
  Item nopaths;
  nopaths.id = "n";
  nopaths.payloadType = Item::FileURLs{{}, {"lost.txt"}, 10};
  Item text;
  text.id = "t";
  text.text = "plain";
  manager->items.set({web, files, nopaths, text});
  showPanel();

  for (int i : {2, 3}) {
    manager->selectedIndex.set(i);
    EXPECT_FALSE(panel->handleKeyDown(key(keycode::o, flags::command)));
  }
  EXPECT_FALSE(panel->handleKeyDown(key(keycode::o))) << "a bare O types";
  manager->selectedIndex.set(1);
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::o, flags::command)));
  EXPECT_FALSE(view.visible);
  showPanel();
  EXPECT_TRUE(panel->handleKeyDown(key(keycode::o, flags::command)));
  EXPECT_EQ(desk.workspace().openedURLs(),
            (std::vector<std::string>{"file:///home/u/My%20Docs", "https://example.org/a"}));
  main.runUntilIdle();
  EXPECT_EQ(frontmost(), "org.example.Editor");
}

TEST_F(QuickPastePanelControllerTest, TabsCountEveryEntryAndChoosingOneHighlightsTheFirstRow) {
  copyAll({"x1", "x2"});
  showPanel();
  panel->setSearchText("x1");
  manager->selectedIndex.set(1);
  panel->selectCategory(Item::Category::all);
  EXPECT_EQ(manager->selectedIndex.get(), 0) << "also for the tab already chosen";
  EXPECT_EQ(panel->tabs()[0].count, 2) << "the count ignores the search";
  panel->setSearchText(" ");
  panel->selectCategory(Item::Category::color);
  EXPECT_EQ(panel->emptyState().message, "ไม่พบข้อมูลที่ตรงกัน");
  language = "en";
  panel->setSearchText("");
  EXPECT_EQ(panel->emptyState().message, "Nothing yet in Colours");
}

}  // namespace
}  // namespace tessa
