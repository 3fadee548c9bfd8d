#pragma once
// The clipboard history: captures what other applications copy (0.2 s after
// the change, on the main queue), keeps at most ten entries plus whatever is
// pinned, forgets unpinned entries after a day and when the machine sleeps,
// and keeps everything sealed in the vault. Confined to the main queue.
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/observable.h"
#include "base/stored_setting.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "clipboard/copy_cache_crypto_store.h"
#include "clipboard/copy_cache_item.h"
#include "platform/platform.h"

namespace tessa {

struct CopyCacheManagerEnvironment {
  Platform platform;
  const Clock* clock = nullptr;
  TaskRunner* main = nullptr;
  UserDefaults* defaults = nullptr;
  // The vault folder; empty means Application Support/Tessavinor/CopyCache.
  std::filesystem::path folder;
  // Diagnostic lines; they never carry clipboard contents.
  std::function<void(const std::string&)> log;
  // The text as typed in the other keyboard layout (for the search), when known.
  std::function<std::string(const std::string&)> otherLayout;
  // The text a copy was meant to be when it was typed in the wrong layout,
  // with the confidence of that reading; none when it reads as typed.
  std::function<std::optional<std::pair<std::string, int64_t>>(const std::string&)> suggestConversion;
};

class CopyCacheManager final : public ObservableObject, public std::enable_shared_from_this<CopyCacheManager> {
 public:
  // [design] the history's limits, delays, defaults keys and snippet source.
  static constexpr size_t kMaxItems = 10;
  static constexpr double kMaxAgeSeconds = 86400;
  // How long the owner of a copy has to hand over all of it.
  static constexpr double kCaptureDeadlineSeconds = 3.0;  // [ours]
  static constexpr double kCaptureDelay = 0.2;  // [ours]
  static constexpr double kPasteDelay = 0.1;
  static constexpr double kExpiryCheckInterval = 60;  // [ours]
  // Texts longer than this are sealed in a blob of their own.
  static constexpr size_t kInlineTextLimit = 16 * 1024;  // [ours]
  // Recording the clipboard is something the user turns on, never a default;
  // both fallbacks are registered in the defaults.
  static constexpr Setting<bool> kEnabledSetting{.key = "isCopyCacheEnabled", .fallback = false};
  static constexpr Setting<bool> kClearOnQuitSetting{.key = "isCopyCacheClearOnQuit", .fallback = false};
  static constexpr const char* kSnippetSourceName = "Custom Snippet";
  // [ours] the note about a history set aside, kept until the user has read it.
  static constexpr const char* kSetAsideKey = "copyCacheHistorySetAside";

  // A history that could not be opened at load and was kept aside instead.
  struct SetAside {
    // keyMissing: the keychain no longer held the key it was sealed with
    // (a damaged keychain file set aside, say); unreadable: the file itself.
    enum class Reason { keyMissing, unreadable };
    Reason reason = Reason::unreadable;
    std::string path;  // where the history now lies, still sealed
    bool operator==(const SetAside&) const = default;
  };

  // Makes the manager, loads the history and starts watching the pasteboard;
  // it becomes the shared one.
  static std::shared_ptr<CopyCacheManager> create(CopyCacheManagerEnvironment env);
  // The manager of the process; null before one was made.
  static CopyCacheManager* shared();
  ~CopyCacheManager();

  Published<std::vector<CopyCacheItem>> items{*this, {}};
  // The pinned entries, newest first; always derived from `items`.
  Published<std::vector<CopyCacheItem>> pinnedSnippets{*this, {}};
  StoredSetting<bool> isEnabled;
  StoredSetting<bool> isClearOnQuit;
  Published<std::string> searchText{*this, ""};
  Published<CopyCacheItem::Category> selectedCategory{*this, CopyCacheItem::Category::all};
  Published<int> selectedIndex{*this, 0};
  Published<std::optional<CopyCacheItem>> quickLookItem{*this, std::nullopt};
  // The history this run or an earlier one set aside, while the file kept
  // aside is still there and the user has not dismissed the note.
  Published<std::optional<SetAside>> historySetAside{*this, std::nullopt};
  // Whether this very run set it aside: the notice is told once, then.
  bool setAsideThisRun() const { return setAsideThisRun_; }
  void dismissHistorySetAside();

  std::vector<CopyCacheItem> filteredItems() const;

  void rememberFrontmostApp();
  const std::optional<RunningApplication>& previousApp() const { return previousApp_; }
  // Reads the pasteboard now (while enabled), cancelling a pending capture.
  void captureNow();
  // False when there is no previous application or it could not be activated.
  bool activatePreviousApp();
  // Puts the entry on the pasteboard as our own write; nothing else. False
  // (and one log line) when the write failed.
  bool writeToPasteboard(const CopyCacheItem& item, bool useConvertedText);
  // Writes, brings the previous application forward and, once it is, posts
  // the paste keystroke (Ctrl+V) 0.1 s later. False when nothing was pasted.
  bool pasteToPreviousApp(const CopyCacheItem& item, bool useConvertedText);
  // Posts the paste keystroke (Ctrl+V) 0.1 s from now; false when no
  // keystroke can be posted on this desktop.
  bool postPasteKeystroke();
  void togglePin(const std::string& id);
  void deleteItem(const std::string& id);
  void clearHistory();
  // Clear on Quit when the program ends without the X server: the vault's
  // files and the note of a history set aside go, from any thread (the one
  // member that is not confined to the main queue); nothing in memory
  // changes and nothing is published.
  void clearStoredHistory();
  void addSnippet(const std::string& text, const std::string& keyword, bool pinned);

  // Drops unpinned entries (the machine is going to sleep).
  void dropUnpinned();
  // Drops unpinned entries older than a day.
  void expireOldEntries();
  // The decrypted payload of an entry's blob (images, rich text, binary).
  std::optional<std::string> openVault(const std::string& vaultID);

  CopyCacheCryptoStore& store() { return store_; }

 private:
  explicit CopyCacheManager(CopyCacheManagerEnvironment env);
  void start();
  void load();
  void noteSetAside(SetAside aside);
  // The stored note, while its file is still there.
  void readSetAsideNote();
  void save();
  void log(const std::string& line);
  double now() const;
  void pasteboardChanged();
  void captureFromPasteboard();
  std::optional<RunningApplication> copySource(const Pasteboard& pb) const;
  void captureRead(int64_t changeCount, PasteboardRead read);
  std::optional<CopyCacheItem> makeEntry(const PasteboardItem& item);
  void insert(CopyCacheItem entry);
  // Asks for the text in a captured image; the answer becomes the entry's
  // text (what the search looks in) if the entry is still there by then.
  void recognizeText(const std::string& id, const std::string& image);
  void applyRecognizedText(const std::string& id, const TextRecognition& result);
  void logOnce(const std::string& line);
  // Seals a long text apart; false when it could not be stored.
  bool sealLongText(CopyCacheItem& entry);
  // Replaces the list, deletes the blobs of removed entries, stores it and
  // derives the pinned list; closes the preview when its entry left.
  void commit(std::vector<CopyCacheItem> next);
  void removeWhere(const std::function<bool(const CopyCacheItem&)>& drop);

  CopyCacheManagerEnvironment env_;
  CopyCacheCryptoStore store_;
  TaskHandle pendingCapture_;
  TaskHandle expiryTimer_;
  Subscription pasteboardSubscription_;
  Subscription workspaceSubscription_;
  int64_t lastSeenChangeCount_ = -1;
  int64_t ownChangeCount_ = -1;
  std::optional<RunningApplication> previousApp_;
  bool historyUsable_ = true;  // false while the vault key is unavailable
  bool setAsideThisRun_ = false;
  bool loggedForegroundOnly_ = false;
  bool recognitionUnavailable_ = false;  // no language data: images are not sent again
  std::set<std::string> loggedOnce_;
};

}  // namespace tessa
