#pragma once
// Start at login on a Linux desktop: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/tessavinor.desktop (~/.config when the variable
// is unset or not absolute). The application starts at login while the
// entry exists and is not marked Hidden=true.
#include <filesystem>
#include <optional>
#include <string>

#include "platform/login_items.h"

namespace tessa {

class XdgAutostartLoginItems final : public LoginItems {
 public:
  static constexpr const char* kFileName = "tessavinor.desktop";  // [ours]

  // `directory` and `executable` default to the user's autostart folder and
  // this process's own program.
  explicit XdgAutostartLoginItems(std::optional<std::filesystem::path> directory = std::nullopt,
                                  std::optional<std::filesystem::path> executable = std::nullopt);

  Registration status() override;
  std::optional<std::string> registerMainApp() override;
  std::optional<std::string> unregisterMainApp() override;

  std::filesystem::path entryPath() const { return directory_ / kFileName; }

  static std::filesystem::path defaultDirectory();
  // The entry's text for `executable`.
  static std::string entryText(const std::filesystem::path& executable);

 private:
  std::filesystem::path directory_;
  std::optional<std::filesystem::path> executable_;
};

// One argument of an Exec= line, quoted by the Desktop Entry rules and then
// escaped as a string value, so the launcher runs exactly `argument`: inside
// double quotes '"', '`', '$' and '\' take a backslash, every backslash is
// doubled again for the string value, and '%' is written "%%" so it is not
// read as a field code.
std::string quoteDesktopExecArgument(const std::string& argument);

}  // namespace tessa
