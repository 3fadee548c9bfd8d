#include "app_core/quick_paste/quick_paste_models.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "l10n/localization.h"

namespace tessa {
namespace {

using Item = CopyCacheItem;
using Category = Item::Category;

QuickPasteTexts makeTexts(std::string_view language) {
  // The texts live in the text tables; this panel shows Thai for "th" and
  // English for every other language.
  auto text = [language](std::string_view key) { return thaiOrEnglishText(key, language); };
  QuickPasteTexts t;
  t.thai = language == "th";
  t.searchPlaceholder = text("quick_paste_search_placeholder");
  t.searchAccessibility = text("quick_paste_search_accessibility");
  t.clearSearchAccessibility = text("quick_paste_clear_search");
  // This desktop cannot leave a window out of a screen capture, so the badge
  // warns instead of promising.
  t.shareBadge = text("quick_paste_share_badge");
  t.shareBadgeTooltip = text("quick_paste_share_badge_tooltip");
  t.escapeHint = "Esc";
  t.escapeAccessibility = text("quick_paste_escape_hint_accessibility");
  t.noMatch = text("quick_paste_no_match");
  t.emptyCategoryPrefix = text("quick_paste_empty_category_prefix");
  t.vaultBadge = text("quick_paste_vault_badge");
  t.keyHints = text("quick_paste_key_hints");
  t.previewTitlePrefix = text("quick_paste_preview_title_prefix");
  t.pasteThisEntry = text("quick_paste_paste_this_entry");
  t.imageSizePrefix = text("quick_paste_image_size_prefix");
  t.fileSizeInfix = text("quick_paste_file_size_infix");
  t.encryptedSuffix = text("quick_paste_encrypted_suffix");
  t.totalSizePrefix = text("quick_paste_total_size_prefix");
  t.previewTooltip = text("quick_paste_preview_tooltip");
  t.pinTooltip = text("quick_paste_pin_tooltip");
  t.unpinTooltip = text("quick_paste_unpin_tooltip");
  t.deleteTooltip = text("quick_paste_delete_tooltip");
  t.convertPrefix = text("quick_paste_convert_prefix");
  t.pasteConverted = text("quick_paste_paste_converted");
  t.imageRowPrefix = text("quick_paste_image_row_prefix");
  t.andMore = text("quick_paste_and_more");
  t.files = text("quick_paste_files");
  t.itemNumberPrefix = text("quick_paste_item_number_prefix");
  return t;
}

std::string basename(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Name and path of each file, as far as the entry has them: a name without
// a path keeps an empty path, a path without a name gives its last part.
std::vector<std::pair<std::string, std::string>> fileRows(const Item::FileURLs& files) {
  std::vector<std::pair<std::string, std::string>> rows;
  size_t n = std::max(files.fileNames.size(), files.filePaths.size());
  for (size_t i = 0; i < n; ++i) {
    std::string path = i < files.filePaths.size() ? files.filePaths[i] : "";
    std::string name = i < files.fileNames.size() ? files.fileNames[i] : basename(path);
    rows.emplace_back(std::move(name), std::move(path));
  }
  return rows;
}

std::string rgbLine(const Item::Color& c) {
  return "RGB: " + std::to_string(quickPasteByteComponent(c.r)) + ", " + std::to_string(quickPasteByteComponent(c.g)) +
         ", " + std::to_string(quickPasteByteComponent(c.b));
}

}  // namespace

int64_t quickPasteKilobytes(int64_t bytes) { return copyCacheKilobytes(bytes); }

double quickPasteClampedComponent(double value) { return copyCacheClampedComponent(value); }

int quickPasteByteComponent(double value) { return copyCacheComponentByte(value); }

const QuickPasteTexts& QuickPasteTexts::forLanguage(const std::string& language) {
  static const QuickPasteTexts thai = makeTexts("th");
  static const QuickPasteTexts english = makeTexts("en");
  return language == "th" ? thai : english;
}

std::string QuickPasteTexts::categoryTitle(Category category) const {
  if (thai) return Item::rawValue(category);
  switch (category) {
    case Category::all: return "All";
    case Category::text: return "Text";
    case Category::image: return "Images";
    case Category::files: return "Files";
    case Category::color: return "Colours";
    case Category::url: return "Links";
  }
  return "";
}

std::vector<QuickPasteCategoryTab> quickPasteCategoryTabs(const std::vector<Item>& items, Category selected,
                                                          const QuickPasteTexts& texts) {
  std::vector<QuickPasteCategoryTab> tabs;
  for (Category c : Item::allCategories()) {
    QuickPasteCategoryTab tab{c, texts.categoryTitle(c), Item::iconName(c), 0, c == selected};
    tab.count = c == Category::all ? static_cast<int>(items.size())
                                   : static_cast<int>(std::count_if(items.begin(), items.end(), [c](const Item& i) {
                                       return i.category() == c;
                                     }));
    tabs.push_back(std::move(tab));
  }
  return tabs;
}

QuickPasteEmptyState quickPasteEmptyState(const std::string& searchText, Category selected,
                                          const QuickPasteTexts& texts) {
  QuickPasteEmptyState state;
  state.symbol = Item::iconName(selected);
  state.message = searchText.empty() ? texts.emptyCategoryPrefix + texts.categoryTitle(selected) : texts.noMatch;
  return state;
}

QuickPasteRowModel quickPasteRowModel(const Item& item, int number, bool selected, bool hovered,
                                      const QuickPasteTexts& texts) {
  QuickPasteRowModel row;
  row.id = item.id;
  row.number = number;
  row.selected = selected;
  row.hovered = hovered;
  row.pinned = item.isPinned;
  row.numberBadge = number >= 1 && number <= 9 ? std::to_string(number) : "•";
  row.numberAccessibility = texts.itemNumberPrefix + std::to_string(number);
  row.sourceAppName = item.sourceAppName;
  std::visit(
      [&](const auto& p) {
        using T = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<T, Item::Image>) {
          row.kind = QuickPasteRowKind::image;
          row.title = texts.imageRowPrefix + p.dimensions + ")";
          row.detail = std::to_string(quickPasteKilobytes(p.byteSize)) + " KB · AES-256";
          row.thumbnailBase64 = p.thumbnailBase64;
        } else if constexpr (std::is_same_v<T, Item::FileURLs>) {
          row.kind = QuickPasteRowKind::files;
          auto rows = fileRows(p);
          row.symbol = rows.size() > 1 ? "folder.fill" : "doc.fill";
          if (rows.empty()) {
            row.title = texts.categoryTitle(Category::files);
          } else {
            row.title = rows.front().first;
            if (rows.size() > 1) row.title += texts.andMore + std::to_string(rows.size() - 1) + texts.files;
          }
          row.sizeText = std::to_string(quickPasteKilobytes(p.totalByteSize)) + " KB";
          if (!p.filePaths.empty()) row.detail = p.filePaths.front();
        } else if constexpr (std::is_same_v<T, Item::Color>) {
          row.kind = QuickPasteRowKind::color;
          row.title = p.hex;
          row.detail = rgbLine(p);
          row.red = quickPasteClampedComponent(p.r);
          row.green = quickPasteClampedComponent(p.g);
          row.blue = quickPasteClampedComponent(p.b);
        } else if constexpr (std::is_same_v<T, Item::WebURL>) {
          row.kind = QuickPasteRowKind::webURL;
          row.title = p.domain;
          row.detail = p.urlString;
        } else {
          row.kind = QuickPasteRowKind::text;
          row.title = item.preview;
          row.keywordBadge = item.snippetKeyword;
          row.richTextBadge = std::is_same_v<T, Item::RichText>;
          if (item.hasConversionSuggestion()) {
            row.suggestion = texts.convertPrefix + "\"" + *item.suggestedConvertedText + "\"";
            row.pasteConvertedLabel = "Alt+" + std::to_string(number) + texts.pasteConverted;
          }
        }
      },
      item.payloadType);
  row.buttonsVisible = selected || hovered;
  row.buttons.push_back({QuickPasteRowAction::preview, "eye.fill", texts.previewTooltip, "blue"});
  if (item.isPinned)
    row.buttons.push_back({QuickPasteRowAction::pin, "pin.slash.fill", texts.unpinTooltip, "secondary"});
  else
    row.buttons.push_back({QuickPasteRowAction::pin, "pin.fill", texts.pinTooltip, "orange"});
  row.buttons.push_back({QuickPasteRowAction::remove, "trash.fill", texts.deleteTooltip, "red"});
  return row;
}

QuickPastePreviewModel quickPastePreviewModel(const Item& item, const QuickPasteTexts& texts) {
  QuickPastePreviewModel m;
  m.id = item.id;
  m.symbol = Item::iconName(item.category());
  m.title = texts.previewTitlePrefix + texts.categoryTitle(item.category());
  m.pasteButton = texts.pasteThisEntry;
  m.text = item.text;
  std::visit(
      [&](const auto& p) {
        using T = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<T, Item::Image>) {
          m.body = QuickPastePreviewBody::image;
          m.vaultID = p.vaultID;
          m.caption = texts.imageSizePrefix + p.dimensions + texts.fileSizeInfix +
                      std::to_string(quickPasteKilobytes(p.byteSize)) + texts.encryptedSuffix;
        } else if constexpr (std::is_same_v<T, Item::FileURLs>) {
          m.body = QuickPastePreviewBody::files;
          m.files = fileRows(p);
          m.caption = texts.totalSizePrefix + std::to_string(quickPasteKilobytes(p.totalByteSize)) + " KB";
        } else if constexpr (std::is_same_v<T, Item::Color>) {
          m.body = QuickPastePreviewBody::color;
          m.hex = p.hex;
          m.rgbLine = rgbLine(p);
          m.red = quickPasteClampedComponent(p.r);
          m.green = quickPasteClampedComponent(p.g);
          m.blue = quickPasteClampedComponent(p.b);
        } else if constexpr (std::is_same_v<T, Item::WebURL>) {
          m.body = QuickPastePreviewBody::webURL;
          m.domain = p.domain;
          m.url = p.urlString;
        } else {
          m.body = QuickPastePreviewBody::text;
        }
      },
      item.payloadType);
  return m;
}

}  // namespace tessa
