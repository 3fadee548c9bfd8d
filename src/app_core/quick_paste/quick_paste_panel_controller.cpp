#include "app_core/quick_paste/quick_paste_panel_controller.h"

#include <algorithm>
#include <array>

namespace tessa {
namespace {

using Item = CopyCacheItem;

// The digits of the main row, 1 to 9, by key code; keypad digits are not here.
constexpr std::array<uint16_t, 9> kDigitKeys = {keycode::one,  keycode::two,   keycode::three,
                                                keycode::four, keycode::five,  keycode::six,
                                                keycode::seven, keycode::eight, keycode::nine};

std::optional<size_t> digitIndex(uint16_t keyCode) {
  auto it = std::find(kDigitKeys.begin(), kDigitKeys.end(), keyCode);
  if (it == kDigitKeys.end()) return std::nullopt;
  return static_cast<size_t>(it - kDigitKeys.begin());
}

bool contains(const Rect& r, double x, double y) {
  return x >= r.x && x <= r.x + r.width && y >= r.y && y <= r.y + r.height;
}

std::string percentEncodedPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                 c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

}  // namespace

QuickPastePanelController::QuickPastePanelController(CopyCacheManager& manager, QuickPastePanelEnvironment env)
    : manager_(manager), env_(std::move(env)) {}

QuickPastePanelController::~QuickPastePanelController() = default;

void QuickPastePanelController::setView(QuickPastePanelView* view) {
  view_ = view;
  if (!view_) shown_ = false;
}

void QuickPastePanelController::log(const std::string& line) {
  if (env_.log) env_.log(line);
}

void QuickPastePanelController::changed() {
  if (view_) view_->refresh();
}

bool QuickPastePanelController::isShown() const { return shown_ && view_ && view_->isVisible(); }

std::optional<std::pair<double, double>> QuickPastePanelController::placement(const std::vector<ScreenInfo>& screens,
                                                                             std::optional<ScreenInfo> mainScreen,
                                                                             double mouseX, double mouseY,
                                                                             double width, double height) {
  std::optional<ScreenInfo> screen;
  for (const auto& s : screens) {
    if (contains(s.frame, mouseX, mouseY)) {
      screen = s;
      break;
    }
  }
  if (!screen) screen = mainScreen;
  if (!screen && !screens.empty()) screen = screens.front();
  if (!screen) return std::nullopt;
  const Rect& v = screen->visibleFrame;
  double x = mouseX - width * 0.5;
  x = std::min(x, v.x + v.width - width - kMargin);
  x = std::max(x, v.x + kMargin);
  double y = mouseY - height - kBelowPointer;
  y = std::min(y, v.y + v.height - height - kMargin);
  y = std::max(y, v.y + kMargin);
  return std::make_pair(x, y);
}

void QuickPastePanelController::show() {
  if (!manager_.isEnabled.get() || !view_) return;
  manager_.rememberFrontmostApp();
  manager_.captureNow();
  manager_.searchText.set("");
  manager_.selectedCategory.set(Item::Category::all);
  manager_.selectedIndex.set(0);
  manager_.quickLookItem.set(std::nullopt);
  hoveredItemID_.reset();

  Screens* screens = env_.platform.screens;
  std::vector<ScreenInfo> all = screens ? screens->all() : std::vector<ScreenInfo>{};
  std::optional<ScreenInfo> mainScreen = screens ? screens->main() : std::nullopt;
  std::optional<std::pair<double, double>> pointer = view_->pointerLocation();
  if (!pointer && env_.platform.events) pointer = env_.platform.events->mouseLocation();
  if (!pointer) {
    // Nothing tells where the pointer is: the middle of the main screen.
    auto s = mainScreen ? mainScreen : (all.empty() ? std::nullopt : std::optional(all.front()));
    if (s) pointer = std::make_pair(s->frame.x + s->frame.width / 2, s->frame.y + s->frame.height / 2);
  }
  if (!pointer) return;
  auto origin = placement(all, mainScreen, pointer->first, pointer->second, kWidth, kHeight);
  if (!origin) return;
  shown_ = true;
  view_->showAt(origin->first, origin->second);
  changed();
}

void QuickPastePanelController::hide(bool restoreFocus) {
  if (!shown_) return;
  shown_ = false;
  hoveredItemID_.reset();
  if (view_) view_->orderOut();
  if (restoreFocus) manager_.activatePreviousApp();
}

void QuickPastePanelController::toggle() {
  if (!view_) return;
  if (isShown())
    hide(true);
  else
    show();
}

void QuickPastePanelController::windowDidResignKey() { hide(false); }

bool QuickPastePanelController::handleKeyDown(const QuickPasteKey& key) {
  if (!isShown()) return false;
  const bool command = key.flags & flags::command;
  const bool option = key.flags & flags::option;
  const bool previewOpen = manager_.quickLookItem.get().has_value();

  if (key.keyCode == keycode::escape) {
    if (previewOpen)
      manager_.quickLookItem.set(std::nullopt);
    else
      hide(true);
    return true;
  }

  const std::vector<Item> list = manager_.filteredItems();
  const int count = static_cast<int>(list.size());
  const int i = manager_.selectedIndex.get();
  // A negative or too large index is no row: every action below checks.
  const bool onRow = i >= 0 && i < count;

  switch (key.keyCode) {
    case keycode::space:
      if (!manager_.searchText.get().empty() && !command) return false;
      if (previewOpen)
        manager_.quickLookItem.set(std::nullopt);
      else if (onRow)
        manager_.quickLookItem.set(list[i]);
      return true;
    case keycode::down:
    case keycode::up: {
      if (count == 0) return true;
      int next = key.keyCode == keycode::down ? i + 1 : i - 1;
      next = std::clamp(next, 0, count - 1);
      manager_.selectedIndex.set(next);
      if (previewOpen) manager_.quickLookItem.set(list[next]);
      return true;
    }
    case keycode::returnKey:
      manager_.quickLookItem.set(std::nullopt);
      if (!onRow) return false;
      paste(list[i], option);
      return true;
    case keycode::deleteKey:
      if (!command || !manager_.searchText.get().empty() || !onRow) return false;
      manager_.deleteItem(list[i].id);
      manager_.selectedIndex.set(std::max(0, std::min(i, count - 2)));
      return true;
    case keycode::o:
      if (!command || !onRow) return false;
      return openEntry(list[i]);
    default:
      break;
  }

  if (auto n = digitIndex(key.keyCode)) {
    if (static_cast<int>(*n) >= count || (!option && !command)) return false;
    paste(list[*n], option);
    return true;
  }
  return false;
}

bool QuickPastePanelController::openEntry(const Item& item) {
  Workspace* ws = env_.platform.workspace;
  if (!ws) return false;
  if (const auto* web = std::get_if<Item::WebURL>(&item.payloadType)) {
    if (web->urlString.empty() || !ws->openURL(web->urlString)) return false;
    hide(true);
    return true;
  }
  if (const auto* files = std::get_if<Item::FileURLs>(&item.payloadType)) {
    if (files->filePaths.empty() || files->filePaths.front().empty()) return false;
    // The file manager is opened on the folder that holds the first file.
    std::string path = files->filePaths.front();
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
    if (!ws->openURL("file://" + percentEncodedPath(folder))) return false;
    hide(true);
    return true;
  }
  return false;
}

QuickPastePasteResult QuickPastePanelController::paste(const Item& item, bool useConvertedText) {
  // A refused write has been logged by the manager; nothing else happens, so
  // no stale clipboard is pasted.
  if (!manager_.writeToPasteboard(item, useConvertedText)) return QuickPastePasteResult::writeFailed;
  hide(false);
  EventSystem* events = env_.platform.events;
  const bool canPost = events && events->canPostEvents();
  const bool forward = manager_.activatePreviousApp();
  if (forward && canPost && manager_.postPasteKeystroke()) return QuickPastePasteResult::pasted;
  if (!forward)
    log("QuickPaste: the previous application could not be brought forward; the entry was copied, not pasted");
  else
    log("QuickPaste: this desktop takes no synthetic keystrokes; the entry was copied, not pasted");
  if (env_.notice) env_.notice(kCopiedTitleKey, kCopiedDetailKey);
  return QuickPastePasteResult::copiedOnly;
}

void QuickPastePanelController::submitSearch() {
  auto list = manager_.filteredItems();
  if (!list.empty()) paste(list.front(), false);
}

void QuickPastePanelController::setSearchText(const std::string& text) {
  if (manager_.searchText.get() != text) manager_.searchText.set(text);
}

void QuickPastePanelController::selectCategory(Item::Category category) {
  manager_.selectedCategory.set(category);
  manager_.selectedIndex.set(0);
}

void QuickPastePanelController::openPreview(const Item& item) { manager_.quickLookItem.set(item); }

void QuickPastePanelController::closePreview() { manager_.quickLookItem.set(std::nullopt); }

void QuickPastePanelController::pastePreviewed() {
  auto item = manager_.quickLookItem.get();
  manager_.quickLookItem.set(std::nullopt);
  if (item) paste(*item, false);
}

void QuickPastePanelController::togglePin(const std::string& id) { manager_.togglePin(id); }

void QuickPastePanelController::deleteItem(const std::string& id) {
  if (hoveredItemID_ == id) hoveredItemID_.reset();
  manager_.deleteItem(id);
}

void QuickPastePanelController::hoverEnter(const std::string& id, int number) {
  hoveredItemID_ = id;
  manager_.selectedIndex.set(number - 1);
  changed();
}

void QuickPastePanelController::hoverExit(const std::string& id) {
  if (hoveredItemID_ != id) return;
  hoveredItemID_.reset();
  changed();
}

const QuickPasteTexts& QuickPastePanelController::texts() const {
  return QuickPasteTexts::forLanguage(env_.language ? env_.language() : "th");
}

std::vector<QuickPasteCategoryTab> QuickPastePanelController::tabs() const {
  return quickPasteCategoryTabs(manager_.items.get(), manager_.selectedCategory.get(), texts());
}

std::vector<QuickPasteRowModel> QuickPastePanelController::rows() const {
  std::vector<QuickPasteRowModel> out;
  auto list = manager_.filteredItems();
  const int selected = manager_.selectedIndex.get();
  for (size_t k = 0; k < list.size(); ++k) {
    int number = static_cast<int>(k) + 1;
    out.push_back(quickPasteRowModel(list[k], number, selected == number - 1, hoveredItemID_ == list[k].id, texts()));
  }
  return out;
}

QuickPasteEmptyState QuickPastePanelController::emptyState() const {
  return quickPasteEmptyState(manager_.searchText.get(), manager_.selectedCategory.get(), texts());
}

std::optional<QuickPastePreviewModel> QuickPastePanelController::preview() const {
  const auto& item = manager_.quickLookItem.get();
  if (!item) return std::nullopt;
  return quickPastePreviewModel(*item, texts());
}

}  // namespace tessa
