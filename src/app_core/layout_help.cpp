#include "app_core/layout_help.h"

#include <algorithm>
#include <cctype>

#include "l10n/localization.h"

namespace tessa {

namespace {

bool names(const std::string& desktops, const std::string& name) {
  // A colon-separated list, compared without case.
  std::string lower = desktops;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  size_t start = 0;
  while (start <= lower.size()) {
    size_t end = lower.find(':', start);
    if (end == std::string::npos) end = lower.size();
    if (lower.compare(start, end - start, name) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

TooFewLayoutsAlert tooFewLayoutsAlert(const std::string& currentDesktop, const std::string& language) {
  const auto& table = LocalizedTable::shared();
  auto text = [&](const char* key) { return table.localized(key, language, false); };
  const char* how = "alert_add_layout_x11";
  if (names(currentDesktop, "gnome") || names(currentDesktop, "unity") || names(currentDesktop, "budgie"))
    how = "alert_add_layout_gnome";
  else if (names(currentDesktop, "kde"))
    how = "alert_add_layout_kde";
  else if (names(currentDesktop, "xfce"))
    how = "alert_add_layout_xfce";
  else if (names(currentDesktop, "x-cinnamon") || names(currentDesktop, "cinnamon"))
    how = "alert_add_layout_cinnamon";
  else if (names(currentDesktop, "mate"))
    how = "alert_add_layout_mate";
  return {text("alert_two_layouts"), text(how)};
}

}  // namespace tessa
