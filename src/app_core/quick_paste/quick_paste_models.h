#pragma once
// What the quick-paste panel shows, without any toolkit: the panel's fixed
// texts in Thai or English, the category tabs with their counts, the empty
// state, one row per visible entry and the preview pane of one entry. The
// widgets only lay these out.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clipboard/copy_cache_item.h"

namespace tessa {

// "N KB" sizes: whole kibibytes, and anything under one shows as 1.
int64_t quickPasteKilobytes(int64_t bytes);
// A colour component for display: clamped to 0…1 (NaN counts as 0).
double quickPasteClampedComponent(double value);
// The component as 0…255, truncated toward zero (0.5 gives 127).
int quickPasteByteComponent(double value);

struct QuickPasteTexts {
  std::string searchPlaceholder;
  std::string searchAccessibility;
  std::string clearSearchAccessibility;
  std::string shareBadge;
  std::string shareBadgeTooltip;
  std::string escapeHint;
  std::string escapeAccessibility;
  std::string noMatch;
  std::string emptyCategoryPrefix;
  std::string vaultBadge;
  std::string keyHints;
  std::string previewTitlePrefix;
  std::string pasteThisEntry;
  std::string imageSizePrefix;
  std::string fileSizeInfix;
  std::string encryptedSuffix;
  std::string totalSizePrefix;
  std::string previewTooltip;
  std::string pinTooltip;
  std::string unpinTooltip;
  std::string deleteTooltip;
  std::string convertPrefix;
  std::string pasteConverted;
  std::string imageRowPrefix;
  std::string andMore;
  std::string files;
  std::string itemNumberPrefix;

  // Thai texts for "th", English for every other language.
  static const QuickPasteTexts& forLanguage(const std::string& language);
  std::string categoryTitle(CopyCacheItem::Category category) const;
  bool thai = true;
};

struct QuickPasteCategoryTab {
  CopyCacheItem::Category category;
  std::string title;
  std::string symbol;
  int count = 0;  // over every entry, not the search result
  bool selected = false;
};

// The six tabs in their fixed order.
std::vector<QuickPasteCategoryTab> quickPasteCategoryTabs(const std::vector<CopyCacheItem>& items,
                                                          CopyCacheItem::Category selected,
                                                          const QuickPasteTexts& texts);

struct QuickPasteEmptyState {
  std::string symbol;
  std::string message;
};
// What the list area says when nothing is visible. A search of spaces still
// counts as a search.
QuickPasteEmptyState quickPasteEmptyState(const std::string& searchText, CopyCacheItem::Category selected,
                                          const QuickPasteTexts& texts);

enum class QuickPasteRowKind { text, image, files, color, webURL };

enum class QuickPasteRowAction { preview, pin, remove };

struct QuickPasteRowButton {
  QuickPasteRowAction action;
  std::string symbol;
  std::string tooltip;
  // "blue", "orange", "secondary", "red".
  std::string color;
};

struct QuickPasteRowModel {
  std::string id;
  int number = 0;  // 1-based position in the visible list
  bool selected = false;
  bool hovered = false;
  bool pinned = false;
  std::string numberBadge;  // "1"…"9", then "•"
  std::string numberAccessibility;
  QuickPasteRowKind kind = QuickPasteRowKind::text;

  std::string title;  // preview, domain, file title, hex or image caption
  std::string sourceAppName;
  std::string detail;  // web address, first file path, "RGB: …", "N KB · AES-256"
  std::string sizeText;  // files: "N KB"
  std::string symbol;    // files: "doc.fill" or "folder.fill"
  std::optional<std::string> keywordBadge;
  bool richTextBadge = false;
  std::optional<std::string> suggestion;  // แปลงเป็น: "…"
  std::string pasteConvertedLabel;
  std::string thumbnailBase64;
  double red = 0, green = 0, blue = 0;  // clamped, for the swatch
  std::vector<QuickPasteRowButton> buttons;
  bool buttonsVisible = false;  // while the row is hovered or selected
};

QuickPasteRowModel quickPasteRowModel(const CopyCacheItem& item, int number, bool selected, bool hovered,
                                      const QuickPasteTexts& texts);

enum class QuickPastePreviewBody { text, image, color, webURL, files };

struct QuickPastePreviewModel {
  std::string id;
  std::string symbol;
  std::string title;
  QuickPastePreviewBody body = QuickPastePreviewBody::text;
  std::string text;
  std::string vaultID;  // image: the blob holding the full picture
  std::string caption;  // image size line, or the files' total size
  std::string hex;
  std::string rgbLine;
  double red = 0, green = 0, blue = 0;
  std::string domain;
  std::string url;
  // Name and path of each file; a missing name is taken from its path.
  std::vector<std::pair<std::string, std::string>> files;
  std::string pasteButton;
};

QuickPastePreviewModel quickPastePreviewModel(const CopyCacheItem& item, const QuickPasteTexts& texts);

}  // namespace tessa
