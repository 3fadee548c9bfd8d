#include "app_core/quick_paste/quick_paste_models.h"

#include <gtest/gtest.h>

#include <limits>

namespace tessa {
namespace {

using Item = CopyCacheItem;
const QuickPasteTexts& th = QuickPasteTexts::forLanguage("th");
const QuickPasteTexts& en = QuickPasteTexts::forLanguage("en");

Item textItem(const std::string& text) {
  Item item;
  item.id = "id-" + text;
  item.text = text;
  item.preview = text;
  item.sourceAppName = "Editor";
  return item;
}

Item filesItem(std::vector<std::string> paths, std::vector<std::string> names, int64_t bytes = 0) {
  Item item;
  item.id = "files";
  item.payloadType = Item::FileURLs{std::move(paths), std::move(names), bytes};
  return item;
}

Item colorItem(double r, double g, double b, double a = 1) {
  Item item;
  item.id = "colour";
  item.payloadType = Item::Color{"#FF8000", r, g, b, a};
  return item;
}

TEST(QuickPasteModels, SizesShowWholeKibibytesAndAtLeastOne) {
  for (auto [bytes, kb] : std::vector<std::pair<int64_t, int64_t>>{
           {0, 1}, {512, 1}, {900, 1}, {1023, 1}, {1024, 1}, {2047, 1}, {2048, 2}, {-5, 1}})
    EXPECT_EQ(quickPasteKilobytes(bytes), kb) << bytes;
  EXPECT_EQ(quickPasteRowModel(filesItem({"/a"}, {"a"}, 2048), 1, false, false, th).sizeText, "2 KB");
  EXPECT_EQ(quickPastePreviewModel(filesItem({"/a"}, {"a"}, 512), th).caption, "ขนาดรวม: 1 KB");

  Item image;
  image.payloadType = Item::Image{"", "vault", 900, "640×480"};
  auto row = quickPasteRowModel(image, 1, true, false, th);
  EXPECT_EQ(row.title, "🖼️ รูปภาพ (640×480)");
  EXPECT_EQ(row.detail, "1 KB · AES-256");
  EXPECT_EQ(quickPastePreviewModel(image, th).caption, "ขนาดภาพ: 640×480  ·  ขนาดไฟล์: 1 KB  ·  เข้ารหัส AES-256");
  EXPECT_EQ(quickPastePreviewModel(image, th).vaultID, "vault");
}

TEST(QuickPasteModels, ColoursAreOpaqueTruncatedAndClampedBeforeDisplay) {
  auto row = quickPasteRowModel(colorItem(1.0, 0.5, 0.0, 0.5), 1, false, false, th);
  EXPECT_EQ(row.detail, "RGB: 255, 127, 0");
  EXPECT_EQ(quickPastePreviewModel(colorItem(0.999, 0, 0), th).rgbLine, "RGB: 254, 0, 0");

  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto odd = quickPastePreviewModel(colorItem(1.7, -0.3, nan), th);
  EXPECT_EQ(odd.rgbLine, "RGB: 255, 0, 0");
  EXPECT_EQ(odd.red, 1.0);
  EXPECT_EQ(odd.green, 0.0);
  EXPECT_EQ(odd.blue, 0.0);
  EXPECT_EQ(odd.hex, "#FF8000");
}

TEST(QuickPasteModels, FilesEntriesShowWhatTheyHave) {
  auto one = quickPasteRowModel(filesItem({"/tmp/a.txt"}, {"a.txt"}), 1, false, false, th);
  EXPECT_EQ(one.symbol, "doc.fill");
  EXPECT_EQ(one.title, "a.txt");
  EXPECT_EQ(one.detail, "/tmp/a.txt");

  auto three = quickPasteRowModel(filesItem({"/a", "/b", "/c"}, {"a", "b", "c"}), 1, false, false, th);
  EXPECT_EQ(three.symbol, "folder.fill");
  EXPECT_EQ(three.title, "a และอีก 2 ไฟล์");
  EXPECT_EQ(quickPasteRowModel(filesItem({"/a", "/b"}, {"a", "b"}), 1, false, false, en).title, "a and 1 more");

  // No names at all: the paths give them; nothing at all: the category's name.
  auto unnamed = quickPasteRowModel(filesItem({"/x/report.pdf"}, {}), 1, false, false, th);
  EXPECT_EQ(unnamed.title, "report.pdf");
  auto nothing = quickPasteRowModel(filesItem({}, {}), 1, false, false, th);
  EXPECT_EQ(nothing.title, "ไฟล์");
  EXPECT_EQ(nothing.detail, "") << "no path, no second line";
  EXPECT_TRUE(quickPastePreviewModel(filesItem({}, {}), th).files.empty());

  // Names and paths of different lengths: every file that is known shows.
  auto mismatched = quickPastePreviewModel(filesItem({"/p/one", "/p/two", "/p/three"}, {"ONE"}), th);
  ASSERT_EQ(mismatched.files.size(), 3u);
  EXPECT_EQ(mismatched.files[0], std::make_pair(std::string("ONE"), std::string("/p/one")));
  EXPECT_EQ(mismatched.files[2], std::make_pair(std::string("three"), std::string("/p/three")));
  auto moreNames = quickPastePreviewModel(filesItem({"/p/one"}, {"one", "two"}), th);
  ASSERT_EQ(moreNames.files.size(), 2u);
  EXPECT_EQ(moreNames.files[1], std::make_pair(std::string("two"), std::string()));
}

TEST(QuickPasteModels, TextRowsShowBadgesAndTheSuggestionOnlyWhenItIsOne) {
  Item rich = textItem("hello");
  rich.payloadType = Item::RichText{"v", true};
  rich.snippetKeyword = "sig";
  auto row = quickPasteRowModel(rich, 3, false, false, th);
  EXPECT_EQ(row.keywordBadge, "sig");
  EXPECT_TRUE(row.richTextBadge);
  EXPECT_FALSE(row.suggestion);

  Item same = textItem("l;ylfu");
  same.suggestedConvertedText = "l;ylfu";
  same.conversionConfidence = 5;
  EXPECT_FALSE(quickPasteRowModel(same, 1, false, false, th).suggestion);
  Item weak = textItem("l;ylfu");
  weak.suggestedConvertedText = "สวัสดี";
  weak.conversionConfidence = 1;
  EXPECT_FALSE(quickPasteRowModel(weak, 1, false, false, th).suggestion);

  weak.conversionConfidence = 2;
  auto twelfth = quickPasteRowModel(weak, 12, false, false, th);
  EXPECT_EQ(twelfth.suggestion, "แปลงเป็น: \"สวัสดี\"");
  EXPECT_EQ(twelfth.pasteConvertedLabel, "Alt+12 วางคำแปล");
  EXPECT_EQ(twelfth.numberBadge, "•");
  EXPECT_EQ(quickPasteRowModel(weak, 9, false, false, th).numberBadge, "9");
  EXPECT_EQ(twelfth.numberAccessibility, "รายการลำดับที่ 12");
}

TEST(QuickPasteModels, ButtonsShowOnHoverOrSelectionAndFollowThePin) {
  Item item = textItem("a");
  EXPECT_FALSE(quickPasteRowModel(item, 1, false, false, th).buttonsVisible);
  auto hovered = quickPasteRowModel(item, 1, false, true, th);
  EXPECT_TRUE(hovered.buttonsVisible);
  EXPECT_TRUE(quickPasteRowModel(item, 1, true, false, th).buttonsVisible);
  ASSERT_EQ(hovered.buttons.size(), 3u);
  EXPECT_EQ(hovered.buttons[0].tooltip, "ดูตัวอย่าง (Spacebar)");
  EXPECT_EQ(hovered.buttons[1].symbol, "pin.fill");
  EXPECT_EQ(hovered.buttons[1].tooltip, "ปักหมุด");
  item.isPinned = true;
  auto pinned = quickPasteRowModel(item, 1, true, false, th);
  EXPECT_EQ(pinned.buttons[1].symbol, "pin.slash.fill");
  EXPECT_EQ(pinned.buttons[1].tooltip, "ถอดหมุด");
  EXPECT_EQ(pinned.buttons[2].action, QuickPasteRowAction::remove);
}

TEST(QuickPasteModels, TabsCountByCategoryAndTheEmptyStateReadsTheUntrimmedSearch) {
  Item binary = textItem("bin");
  binary.payloadType = Item::CustomBinary{"x-type", "v", 3};
  Item rich = textItem("rich");
  rich.payloadType = Item::RichText{"v", false};
  std::vector<Item> items = {textItem("t"), binary, rich, colorItem(0, 0, 0)};
  auto tabs = quickPasteCategoryTabs(items, Item::Category::text, th);
  ASSERT_EQ(tabs.size(), 6u);
  EXPECT_EQ(tabs[0].count, 4);
  EXPECT_EQ(tabs[1].count, 3) << "text, rich text and binary together";
  EXPECT_TRUE(tabs[1].selected);
  EXPECT_EQ(tabs[2].count, 0);
  EXPECT_EQ(tabs[4].title, "โค้ดสี");
  EXPECT_EQ(quickPasteCategoryTabs(items, Item::Category::all, en)[4].title, "Colours");

  EXPECT_EQ(quickPasteEmptyState("", Item::Category::image, th).message, "ยังไม่มีข้อมูลในหมวดรูปภาพ");
  EXPECT_EQ(quickPasteEmptyState("", Item::Category::image, th).symbol, "photo.fill");
  EXPECT_EQ(quickPasteEmptyState(" ", Item::Category::image, th).message, "ไม่พบข้อมูลที่ตรงกัน");
}

TEST(QuickPasteModels, APreviewOfALinkShowsTheDomainAndTheAddressOnly) {
  Item web;
  web.payloadType = Item::WebURL{"https://example.org/path", "example.org", "A page title"};
  auto m = quickPastePreviewModel(web, th);
  EXPECT_EQ(m.body, QuickPastePreviewBody::webURL);
  EXPECT_EQ(m.domain, "example.org");
  EXPECT_EQ(m.url, "https://example.org/path");
  EXPECT_EQ(m.title, "พรีวิว: ลิงก์");
  EXPECT_EQ(m.pasteButton, "วางรายการนี้ (Enter)");
  EXPECT_EQ(quickPastePreviewModel(web, en).title, "Preview: Links");
}

}  // namespace
}  // namespace tessa
