#pragma once
// The clipboard settings page without any toolkit: the switches, the pinned
// snippets with their add sheet, the history list with its search, copied
// mark and clear-all confirmation, and the privacy notes. The list state is
// the manager's; the page keeps only its search text, the copied mark and
// what the add sheet holds. Every removal and every switch goes through the
// manager. Main thread only.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/task_runner.h"
#include "clipboard/copy_cache_item.h"
#include "app_core/dashboard/copy_cache_settings_texts.h"
#include "app_core/history_set_aside_note.h"

namespace tessa {

// What one history row shows, by the entry's payload kind.
struct CopyCacheRowContent {
  enum class Body { text, image, files, color, webURL };
  Body body = Body::text;
  std::string id;
  // The preview, "รูปภาพ (…)", the files' title, the hex code or the domain.
  std::string title;
  // The size line, "RGB: …" or the address; empty for text rows.
  std::string detail;
  bool richTextBadge = false;
  // "แปลงภาษา: "…"" when the entry suggests a conversion.
  std::optional<std::string> conversionHint;
  // "doc.fill", "folder.fill" or "globe"; empty when the body has none.
  std::string symbol;
  std::string thumbnailBase64;  // image rows; may not decode
  std::array<int, 3> swatch{0, 0, 0};  // colour rows, 0…255, always opaque
  std::string sourceAppName;
  bool isPinned = false;
};

// The copy button's look for one entry.
struct CopyButtonLook {
  std::string symbol;
  enum class Tint { secondary, green, red } tint = Tint::secondary;
  std::string toolTip;
};

struct CopyCacheSettingsEnvironment {
  CopyCacheManager* manager = nullptr;
  TaskRunner* main = nullptr;
  // The delegate's action that shows the quick-paste panel.
  std::function<void()> openQuickPaste;
  // Diagnostic lines; never clipboard contents.
  std::function<void(const std::string&)> log;
  // The application language, for the texts this build added (Thai for
  // "th", English otherwise); none reads as Thai, like the rest of the page.
  std::function<std::string()> language;
};


class CopyCacheSettingsModel : public CopyCacheSettingsTexts {
 public:
  static constexpr double kCopiedMarkSeconds = 1.5;
  static constexpr size_t kShownSnippets = 3;

  static const std::vector<std::string>& privacyNotes();

  explicit CopyCacheSettingsModel(CopyCacheSettingsEnvironment env);
  ~CopyCacheSettingsModel();
  CopyCacheSettingsModel(const CopyCacheSettingsModel&) = delete;
  CopyCacheSettingsModel& operator=(const CopyCacheSettingsModel&) = delete;

  // Runs after the model changed state on its own (the copied mark's reset).
  void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

  // ------------------------------------------------------------ operation
  bool isEnabled() const;
  void setEnabled(bool enabled);
  bool isClearOnQuit() const;
  void setClearOnQuit(bool clearOnQuit);
  // The panel shows only while the history is on.
  bool canOpenQuickPaste() const { return isEnabled(); }
  void openQuickPaste();

  // --------------------------------------------------------------- history
  const std::string& searchText() const { return searchText_; }
  void setSearchText(std::string text) { searchText_ = std::move(text); }
  // The entries whose text, keyword or suggested conversion contains the
  // trimmed search text, ignoring case; every entry when it is empty.
  std::vector<CopyCacheItem> filteredHistory() const;
  // "(n/10 รายการ)": every entry, whatever the search.
  std::string countLabel() const;
  bool showsClearAll() const;
  // The message shown in place of an empty list; none while rows show.
  std::optional<std::string> emptyMessage() const;

  // Puts the entry on the clipboard and nothing more. True when written;
  // otherwise the row shows the failure for as long as a copied mark.
  bool copy(const std::string& id);
  CopyButtonLook copyButton(const std::string& id) const;
  const std::optional<std::string>& copiedItemID() const { return copiedItemID_; }
  const std::optional<std::string>& copyFailedItemID() const { return copyFailedItemID_; }
  void togglePin(const std::string& id);
  void deleteItem(const std::string& id);

  bool showClearAllConfirmation() const { return showClearAllConfirmation_; }
  void requestClearAll() { showClearAllConfirmation_ = true; }
  void confirmClearAll();
  void cancelClearAll() { showClearAllConfirmation_ = false; }

  // The note over the list while a history set aside is still to be read.
  std::optional<HistorySetAsideNote> setAsideNote() const;
  void dismissSetAsideNote();

  // --------------------------------------------------------------- pinned
  // The first three pinned snippets, in the manager's order.
  std::vector<CopyCacheItem> shownSnippets() const;
  // "(n/3)".
  std::string pinnedCountLabel() const;
  // The badge of the snippet at `position` (0, 1, 2): its number.
  static std::string snippetBadge(size_t position);

  // --------------------------------------------------------------- sheet
  bool showAddSnippetSheet() const { return showAddSnippetSheet_; }
  void openAddSnippet() { showAddSnippetSheet_ = true; }
  // The sheet went away without its own buttons: what was typed stays.
  void addSnippetSheetClosed() { showAddSnippetSheet_ = false; }
  const std::string& newSnippetText() const { return newSnippetText_; }
  const std::string& newSnippetKeyword() const { return newSnippetKeyword_; }
  void setNewSnippetText(std::string text) { newSnippetText_ = std::move(text); }
  void setNewSnippetKeyword(std::string keyword) { newSnippetKeyword_ = std::move(keyword); }
  bool canSaveSnippet() const;
  void cancelAddSnippet();
  void saveSnippet();

  // ------------------------------------------------------------- helpers
  static CopyCacheRowContent rowContent(const CopyCacheItem& item);
  // Bytes shown as whole KB: 0…2047 → 1, 2048 → 2; never below 1.
  static int64_t kilobytes(int64_t bytes);
  // A colour component as a byte: clamped to 0…1 (NaN as 0), times 255,
  // truncated.
  static int colorByte(double component);
  // "name", "first และอีก n ไฟล์", or "" when there is no name at all.
  static std::string filesTitle(const CopyCacheItem::FileURLs& files);

 private:
  const CopyCacheItem* find(const std::string& id) const;
  void setMark(const std::string& id, bool failed);
  void log(const std::string& line) const;

  CopyCacheSettingsEnvironment env_;
  std::function<void()> onChange_;
  std::string searchText_;
  bool showClearAllConfirmation_ = false;
  bool showAddSnippetSheet_ = false;
  std::string newSnippetText_;
  std::string newSnippetKeyword_;
  std::optional<std::string> copiedItemID_;
  std::optional<std::string> copyFailedItemID_;
  uint64_t markGeneration_ = 0;
  // Delayed resets do nothing once the model is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tessa
