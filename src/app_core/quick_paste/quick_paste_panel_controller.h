#pragma once
// The quick-paste panel without any toolkit: showing it at the pointer on the
// pointer's screen, hiding it and giving the focus back, the keys it answers
// while shown, the row and preview actions, and the paste road (write the
// entry, bring the previous application forward, then Ctrl+V). The list state
// itself (search text, tab, highlighted row, previewed entry) lives in the
// clipboard history's manager; the widget draws it and forwards its keys and
// clicks here. Confined to the main queue.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app_core/quick_paste/quick_paste_models.h"
#include "app_core/quick_paste/quick_paste_panel_view.h"
#include "base/task_runner.h"
#include "clipboard/copy_cache_manager.h"
#include "platform/platform.h"

namespace tessa {

// A key press in the panel, in the platform's virtual key codes and modifier
// bits. On Linux the widget reports Ctrl as flags::command and Alt as
// flags::option; a keypad Enter is keycode::keypadEnter, never Return, and a
// keypad digit is not a main-row digit.
struct QuickPasteKey {
  uint16_t keyCode = 0;
  uint64_t flags = 0;
};

struct QuickPastePanelEnvironment {
  Platform platform;
  TaskRunner* main = nullptr;
  // Diagnostic lines; they never carry clipboard contents.
  std::function<void(const std::string&)> log;
  // Shows a HUD notice by text key (title key, detail key).
  std::function<void(const std::string& titleKey, const std::string& detailKey)> notice;
  // The application's language ("th", "en", …), read at each redraw.
  std::function<std::string()> language;
};

enum class QuickPastePasteResult {
  pasted,          // written, previous application forward, Ctrl+V posted
  copiedOnly,      // written; the user pastes it (no keystroke could be sent)
  writeFailed,     // nothing written, nothing posted
};

class QuickPastePanelController {
 public:
  // [design] the panel's size and its distance from a screen's edge.
  static constexpr double kWidth = 500;
  static constexpr double kHeight = 420;
  static constexpr double kMargin = 20;

  static constexpr double kBelowPointer = 10;
  static constexpr const char* kCopiedTitleKey = "quick_paste_copied";
  static constexpr const char* kCopiedDetailKey = "quick_paste_copied_detail";

  QuickPastePanelController(CopyCacheManager& manager, QuickPastePanelEnvironment env);
  ~QuickPastePanelController();
  QuickPastePanelController(const QuickPastePanelController&) = delete;
  QuickPastePanelController& operator=(const QuickPastePanelController&) = delete;

  // The window; none until the shell made one. Not owned.
  void setView(QuickPastePanelView* view);
  QuickPastePanelView* view() const { return view_; }
  CopyCacheManager& manager() const { return manager_; }

  // Opens the panel at the pointer (nothing while the history is off).
  void show();
  // Idempotent; with `restoreFocus` the previous application comes forward.
  void hide(bool restoreFocus);
  void toggle();
  bool isShown() const;
  // The panel lost the keyboard focus (a click elsewhere): hidden, and the
  // application clicked keeps the focus.
  void windowDidResignKey();

  // True when the key was used (swallowed); false passes it to the search field.
  bool handleKeyDown(const QuickPasteKey& key);

  // Where the panel goes for a pointer at (mouseX, mouseY): on the first
  // screen whose frame holds the pointer (else the main screen, else the
  // first), centred under the pointer, 20 points inside the visible frame.
  // None without a screen.
  static std::optional<std::pair<double, double>> placement(const std::vector<ScreenInfo>& screens,
                                                            std::optional<ScreenInfo> mainScreen, double mouseX,
                                                            double mouseY, double width, double height);

  // ---------------------------------------------------------- the view's actions
  QuickPastePasteResult paste(const CopyCacheItem& item, bool useConvertedText);
  // Return in the search field: the first visible entry, whatever is highlighted.
  void submitSearch();
  void setSearchText(const std::string& text);
  void selectCategory(CopyCacheItem::Category category);
  void openPreview(const CopyCacheItem& item);
  void closePreview();
  void pastePreviewed();
  void togglePin(const std::string& id);
  void deleteItem(const std::string& id);
  void hoverEnter(const std::string& id, int number);
  void hoverExit(const std::string& id);
  const std::optional<std::string>& hoveredItemID() const { return hoveredItemID_; }

  // ---------------------------------------------------------- what the view draws
  const QuickPasteTexts& texts() const;
  std::vector<QuickPasteCategoryTab> tabs() const;
  std::vector<QuickPasteRowModel> rows() const;
  QuickPasteEmptyState emptyState() const;
  std::optional<QuickPastePreviewModel> preview() const;

 private:
  void log(const std::string& line);
  void changed();
  // Ctrl+O: opens a link or shows a file's folder; false when the entry has neither.
  bool openEntry(const CopyCacheItem& item);

  CopyCacheManager& manager_;
  QuickPastePanelEnvironment env_;
  QuickPastePanelView* view_ = nullptr;
  bool shown_ = false;
  std::optional<std::string> hoveredItemID_;
};

}  // namespace tessa
