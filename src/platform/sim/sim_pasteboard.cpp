#include "platform/sim/sim_pasteboard.h"

namespace tessa {

bool SimPasteboard::write(const std::vector<PasteboardItem>& items) {
  ++writes_;
  if (!writable_) return false;
  std::vector<PasteboardItem> marked = items;
  for (auto& item : marked) item.representations[pasteboard_types::kOwnWrite] = "";
  copyItems(std::move(marked));
  return true;
}

void SimPasteboard::copyItems(std::vector<PasteboardItem> items) {
  items_ = std::move(items);
  ++changeCount_;
  observers_.notify();
}

void SimPasteboard::copyText(const std::string& text, const std::map<std::string, std::string>& extra) {
  PasteboardItem item;
  item.representations[pasteboard_types::kText] = text;
  for (const auto& [type, value] : extra) item.representations[type] = value;
  copyItems({item});
}

void SimPasteboard::copyImage(const std::string& png) {
  PasteboardItem item;
  item.representations[pasteboard_types::kPng] = png;
  copyItems({item});
}

void SimPasteboard::copyFiles(const std::vector<std::string>& paths) {
  PasteboardItem item;
  std::string list;
  for (const auto& p : paths) list += "file://" + p + "\r\n";
  item.representations[pasteboard_types::kUriList] = list;
  copyItems({item});
}

}  // namespace tessa
