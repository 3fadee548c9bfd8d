#include "app_core/dashboard/copy_cache_settings_model.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "base/ascii_text.h"
#include "clipboard/copy_cache_manager.h"

namespace tessa {
namespace {

using Item = CopyCacheItem;


}  // namespace

const std::vector<std::string>& CopyCacheSettingsModel::privacyNotes() {
  static const std::vector<std::string> notes(std::begin(kPrivacyNotes), std::end(kPrivacyNotes));
  return notes;
}

CopyCacheSettingsModel::CopyCacheSettingsModel(CopyCacheSettingsEnvironment env) : env_(std::move(env)) {}

CopyCacheSettingsModel::~CopyCacheSettingsModel() { *alive_ = false; }

void CopyCacheSettingsModel::log(const std::string& line) const {
  if (env_.log) env_.log(line);
}

const Item* CopyCacheSettingsModel::find(const std::string& id) const {
  if (!env_.manager) return nullptr;
  const auto& items = env_.manager->items.get();
  auto it = std::find_if(items.begin(), items.end(), [&](const Item& item) { return item.id == id; });
  return it == items.end() ? nullptr : &*it;
}

// ------------------------------------------------------------------ operation

bool CopyCacheSettingsModel::isEnabled() const { return env_.manager && env_.manager->isEnabled.get(); }

void CopyCacheSettingsModel::setEnabled(bool enabled) {
  if (env_.manager) env_.manager->isEnabled.set(enabled);
}

bool CopyCacheSettingsModel::isClearOnQuit() const { return env_.manager && env_.manager->isClearOnQuit.get(); }

void CopyCacheSettingsModel::setClearOnQuit(bool clearOnQuit) {
  if (env_.manager) env_.manager->isClearOnQuit.set(clearOnQuit);
}

void CopyCacheSettingsModel::openQuickPaste() {
  if (canOpenQuickPaste() && env_.openQuickPaste) env_.openQuickPaste();
}

// -------------------------------------------------------------------- history

std::vector<Item> CopyCacheSettingsModel::filteredHistory() const {
  if (!env_.manager) return {};
  const auto& items = env_.manager->items.get();
  std::string query = trimmedAscii(searchText_);
  if (query.empty()) return items;
  std::string needle = foldedAscii(query);
  std::vector<Item> out;
  for (const auto& item : items) {
    if (containsFolded(item.text, needle) || (item.snippetKeyword && containsFolded(*item.snippetKeyword, needle)) ||
        (item.suggestedConvertedText && containsFolded(*item.suggestedConvertedText, needle)))
      out.push_back(item);
  }
  return out;
}

std::string CopyCacheSettingsModel::countLabel() const {
  size_t count = env_.manager ? env_.manager->items.get().size() : 0;
  return fmt::format(kCountFormat, count, CopyCacheManager::kMaxItems);
}

bool CopyCacheSettingsModel::showsClearAll() const { return env_.manager && !env_.manager->items.get().empty(); }

std::optional<std::string> CopyCacheSettingsModel::emptyMessage() const {
  if (!filteredHistory().empty()) return std::nullopt;
  // A search of spaces finds every entry, but over an empty history it
  // still reads as a search that found nothing.
  return std::string(searchText_.empty() ? kNoHistory : kNoMatch);
}

std::optional<HistorySetAsideNote> CopyCacheSettingsModel::setAsideNote() const {
  if (!env_.manager || !env_.manager->historySetAside.get()) return std::nullopt;
  return describeHistorySetAside(*env_.manager->historySetAside.get(),
                                 env_.language ? env_.language() : std::string("th"));
}

void CopyCacheSettingsModel::dismissSetAsideNote() {
  if (env_.manager) env_.manager->dismissHistorySetAside();
}

void CopyCacheSettingsModel::setMark(const std::string& id, bool failed) {
  copiedItemID_.reset();
  copyFailedItemID_.reset();
  (failed ? copyFailedItemID_ : copiedItemID_) = id;
  // The mark lasts from the last press: an earlier press's reset finds a
  // newer generation and leaves it alone.
  uint64_t generation = ++markGeneration_;
  if (!env_.main) return;
  std::weak_ptr<bool> alive = alive_;
  env_.main->postDelayed(kCopiedMarkSeconds, [this, alive, generation] {
    auto token = alive.lock();
    if (!token || !*token || generation != markGeneration_) return;
    copiedItemID_.reset();
    copyFailedItemID_.reset();
    if (onChange_) onChange_();
  });
}

bool CopyCacheSettingsModel::copy(const std::string& id) {
  const Item* item = find(id);
  if (!item) return false;
  // Copy only: nothing is activated and no paste is posted. The manager's
  // write is marked as our own, so the history does not take it again, and
  // a refused write is logged there without the content.
  bool written = env_.manager->writeToPasteboard(*item, false);
  setMark(id, !written);
  return written;
}

CopyButtonLook CopyCacheSettingsModel::copyButton(const std::string& id) const {
  if (copyFailedItemID_ == id) return {"exclamationmark.triangle.fill", CopyButtonLook::Tint::red, kCopyFailedToolTip};
  if (copiedItemID_ == id) return {"checkmark.circle.fill", CopyButtonLook::Tint::green, kCopyToolTip};
  return {"doc.on.doc", CopyButtonLook::Tint::secondary, kCopyToolTip};
}

void CopyCacheSettingsModel::togglePin(const std::string& id) {
  if (env_.manager) env_.manager->togglePin(id);
}

void CopyCacheSettingsModel::deleteItem(const std::string& id) {
  if (env_.manager) env_.manager->deleteItem(id);
}

void CopyCacheSettingsModel::confirmClearAll() {
  showClearAllConfirmation_ = false;
  if (env_.manager) env_.manager->clearHistory();
}

// --------------------------------------------------------------------- pinned

std::vector<Item> CopyCacheSettingsModel::shownSnippets() const {
  if (!env_.manager) return {};
  const auto& pinned = env_.manager->pinnedSnippets.get();
  return {pinned.begin(), pinned.begin() + static_cast<std::ptrdiff_t>(std::min(pinned.size(), kShownSnippets))};
}

std::string CopyCacheSettingsModel::pinnedCountLabel() const {
  size_t count = env_.manager ? env_.manager->pinnedSnippets.get().size() : 0;
  return fmt::format("({}/{})", count, kShownSnippets);
}

std::string CopyCacheSettingsModel::snippetBadge(size_t position) { return std::to_string(position + 1); }

// ---------------------------------------------------------------------- sheet

bool CopyCacheSettingsModel::canSaveSnippet() const { return !trimmedAscii(newSnippetText_).empty(); }

void CopyCacheSettingsModel::cancelAddSnippet() {
  showAddSnippetSheet_ = false;
  newSnippetText_.clear();
  newSnippetKeyword_.clear();
}

void CopyCacheSettingsModel::saveSnippet() {
  if (!isEnabled()) log("CopyCache: the history is off; the snippet was not saved");
  if (env_.manager) env_.manager->addSnippet(newSnippetText_, newSnippetKeyword_, true);
  cancelAddSnippet();
}

// -------------------------------------------------------------------- helpers

int64_t CopyCacheSettingsModel::kilobytes(int64_t bytes) { return copyCacheKilobytes(bytes); }

int CopyCacheSettingsModel::colorByte(double component) { return copyCacheComponentByte(component); }

std::string CopyCacheSettingsModel::filesTitle(const Item::FileURLs& files) {
  // The names come from what another program put on the clipboard: there
  // may be none, or fewer than the paths.
  const auto& names = files.fileNames;
  size_t count = std::max(names.size(), files.filePaths.size());
  std::string first = names.empty() ? "" : names.front();
  if (first.empty() && !files.filePaths.empty()) {
    const std::string& path = files.filePaths.front();
    auto slash = path.find_last_of('/');
    first = slash == std::string::npos ? path : path.substr(slash + 1);
  }
  if (count <= 1) return first;
  return fmt::format(kMoreFilesFormat, first, count - 1);
}

CopyCacheRowContent CopyCacheSettingsModel::rowContent(const Item& item) {
  CopyCacheRowContent row;
  row.id = item.id;
  row.sourceAppName = item.sourceAppName;
  row.isPinned = item.isPinned;
  std::visit(
      [&](const auto& p) {
        using T = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<T, Item::Image>) {
          row.body = CopyCacheRowContent::Body::image;
          row.title = kImageTitlePrefix + p.dimensions + ")";
          row.detail = fmt::format(kImageDetailFormat, kilobytes(p.byteSize));
          row.thumbnailBase64 = p.thumbnailBase64;
        } else if constexpr (std::is_same_v<T, Item::FileURLs>) {
          row.body = CopyCacheRowContent::Body::files;
          size_t count = std::max(p.fileNames.size(), p.filePaths.size());
          row.symbol = count > 1 ? "folder.fill" : "doc.fill";
          row.title = filesTitle(p);
          row.detail = fmt::format("{} KB · File URL", kilobytes(p.totalByteSize));
        } else if constexpr (std::is_same_v<T, Item::Color>) {
          row.body = CopyCacheRowContent::Body::color;
          row.swatch = {colorByte(p.r), colorByte(p.g), colorByte(p.b)};
          row.title = p.hex;
          row.detail = fmt::format("RGB: {}, {}, {}", row.swatch[0], row.swatch[1], row.swatch[2]);
        } else if constexpr (std::is_same_v<T, Item::WebURL>) {
          row.body = CopyCacheRowContent::Body::webURL;
          row.symbol = "globe";
          row.title = p.domain;
          row.detail = p.urlString;
        } else {
          row.body = CopyCacheRowContent::Body::text;
          row.richTextBadge = std::is_same_v<T, Item::RichText>;
          row.title = item.preview;
          if (item.hasConversionSuggestion())
            row.conversionHint = kConversionHintPrefix + *item.suggestedConvertedText + "\"";
        }
      },
      item.payloadType);
  return row;
}

}  // namespace tessa
