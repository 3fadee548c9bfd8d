#include "platform/linux/xdg_autostart.h"

#include <cstdlib>
#include <sstream>
#include <system_error>

#include "base/files.h"

namespace tessa {

namespace {

std::filesystem::path ownExecutable() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : path;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Whether the [Desktop Entry] group of `text` says Hidden=true.
bool isHidden(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  bool inMainGroup = false;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (trim(line.substr(0, eq)) == "Hidden" && trim(line.substr(eq + 1)) == "true") return true;
  }
  return false;
}

}  // namespace

std::string quoteDesktopExecArgument(const std::string& argument) {
  std::string out = "\"";
  for (char c : argument) {
    switch (c) {
      case '"':
      case '`':
      case '$':
        out += "\\\\";  // the quoting backslash, itself escaped for the string value
        out += c;
        break;
      case '\\':
        out += "\\\\\\\\";
        break;
      case '%':
        out += "%%";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  out += '"';
  return out;
}

XdgAutostartLoginItems::XdgAutostartLoginItems(std::optional<std::filesystem::path> directory,
                                               std::optional<std::filesystem::path> executable)
    : directory_(directory ? *directory : defaultDirectory()), executable_(std::move(executable)) {}

std::filesystem::path XdgAutostartLoginItems::defaultDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && std::filesystem::path(config).is_absolute()) return std::filesystem::path(config) / "autostart";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : "") / ".config" / "autostart";
}

std::string XdgAutostartLoginItems::entryText(const std::filesystem::path& executable) {
  std::string text;
  text += "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Name=Tessavinor\n";
  text += "Comment=Thai and English keyboard helper\n";
  text += "Exec=" + quoteDesktopExecArgument(executable.string()) + "\n";
  text += "Terminal=false\n";
  text += "X-GNOME-Autostart-enabled=true\n";
  return text;
}

LoginItems::Registration XdgAutostartLoginItems::status() {
  auto text = readFile(entryPath(), kMaxSettingsFileBytes);
  if (!text) return Registration::notRegistered;
  return isHidden(*text) ? Registration::notRegistered : Registration::enabled;
}

std::optional<std::string> XdgAutostartLoginItems::registerMainApp() {
  std::filesystem::path executable = executable_ ? *executable_ : ownExecutable();
  if (executable.empty()) return std::string("the program's own path cannot be read from /proc/self/exe");
  std::error_code ec;
  std::filesystem::create_directories(directory_, ec);
  if (ec) return "cannot create " + directory_.string() + ": " + ec.message();
  auto written = writeFileAtomically(entryPath(), entryText(executable));
  if (!written) return written.error;
  return std::nullopt;
}

std::optional<std::string> XdgAutostartLoginItems::unregisterMainApp() {
  std::error_code ec;
  std::filesystem::remove(entryPath(), ec);
  if (ec) return "cannot remove " + entryPath().string() + ": " + ec.message();
  return std::nullopt;
}

}  // namespace tessa
