#include "platform/linux/xdg_autostart.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "base/files.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;

// Reads an Exec= argument back as a launcher does: first the string-value
// escapes, then the quoting inside double quotes, then "%%".
std::string unquote(const std::string& exec) {
  std::string value;
  for (size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size()) {
      char n = exec[++i];
      value += n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
    } else {
      value += exec[i];
    }
  }
  EXPECT_TRUE(value.size() >= 2 && value.front() == '"' && value.back() == '"') << value;
  std::string argument;
  for (size_t i = 1; i + 1 < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 2 < value.size()) {
      char n = value[++i];
      EXPECT_TRUE(n == '"' || n == '`' || n == '$' || n == '\\') << "a stray escape of " << n;
      argument += n;
    } else if (c == '%') {
      EXPECT_EQ(value[i + 1], '%') << "a lone % is a field code";
      argument += '%';
      ++i;
    } else {
      EXPECT_TRUE(c != '"' && c != '`' && c != '$') << "unescaped " << c << " in " << value;
      argument += c;
    }
  }
  return argument;
}

TEST(XdgAutostart, ExecArgumentsSurviveTheDesktopEntryRules) {
  EXPECT_EQ(quoteDesktopExecArgument("/usr/bin/tessavinor"), "\"/usr/bin/tessavinor\"");
  EXPECT_EQ(quoteDesktopExecArgument("/opt/My Apps/tessavinor"), "\"/opt/My Apps/tessavinor\"");
  EXPECT_EQ(quoteDesktopExecArgument("/a/100%/b"), "\"/a/100%%/b\"");
  EXPECT_EQ(quoteDesktopExecArgument("/a\\b"), "\"/a\\\\\\\\b\"") << "four backslashes for one";
  EXPECT_EQ(quoteDesktopExecArgument("/a\"b"), "\"/a\\\\\"b\"");
  for (std::string path : {"/home/x/it's here/tessa", "/tmp/$HOME/`id`/a\"b\\c%d", "/tmp/a;b|c&d>e<f*g?h#i(j)k~l",
                           "/tmp/tab\there/new\nline"})
    EXPECT_EQ(unquote(quoteDesktopExecArgument(path)), path);
}

class XdgAutostartTest : public ::testing::Test {
 protected:
  fs::path dir() const { return home.path() / "config" / "autostart"; }
  std::string entry() const { return readFile(dir() / XdgAutostartLoginItems::kFileName, 1 << 20).value_or(""); }
  test::TempHome home;
};

TEST_F(XdgAutostartTest, RegisteringWritesAnEntryThatStartsThisProgramAndUnregisteringRemovesIt) {
  XdgAutostartLoginItems items(dir(), fs::path("/opt/Tessa Vinor/bin/tessavinor"));
  EXPECT_EQ(items.status(), LoginItems::Registration::notRegistered);
  EXPECT_EQ(items.registerMainApp(), std::nullopt) << "the folder is created";
  EXPECT_EQ(items.status(), LoginItems::Registration::enabled);
  std::string text = entry();
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"/opt/Tessa Vinor/bin/tessavinor\"\n"), std::string::npos) << text;
  EXPECT_EQ(items.registerMainApp(), std::nullopt) << "registering again rewrites the entry";
  EXPECT_EQ(items.unregisterMainApp(), std::nullopt);
  EXPECT_FALSE(fs::exists(items.entryPath()));
  EXPECT_EQ(items.status(), LoginItems::Registration::notRegistered);
  EXPECT_EQ(items.unregisterMainApp(), std::nullopt) << "nothing to remove is no error";
}

TEST_F(XdgAutostartTest, AHiddenEntryDoesNotCountAndIsRemovedByUnregistering) {
  fs::create_directories(dir());
  XdgAutostartLoginItems items(dir(), fs::path("/usr/bin/tessavinor"));
  std::ofstream(items.entryPath()) << "[Desktop Entry]\nType=Application\nExec=tessavinor\nHidden=true\n";
  EXPECT_EQ(items.status(), LoginItems::Registration::notRegistered);
  std::ofstream(items.entryPath()) << "[Desktop Entry]\nExec=tessavinor\nHidden=false\n[Desktop Action x]\nHidden=true\n";
  EXPECT_EQ(items.status(), LoginItems::Registration::enabled) << "only the main group counts";
  EXPECT_EQ(items.unregisterMainApp(), std::nullopt);
  EXPECT_FALSE(fs::exists(items.entryPath()));
}

TEST_F(XdgAutostartTest, AFolderThatCannotBeWrittenIsReportedAsAnError) {
  fs::create_directories(home.path() / "config");
  std::ofstream(home.path() / "config" / "autostart") << "a file where the folder should be";
  XdgAutostartLoginItems items(dir(), fs::path("/usr/bin/tessavinor"));
  auto error = items.registerMainApp();
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->find("autostart"), std::string::npos) << *error;
  EXPECT_EQ(items.status(), LoginItems::Registration::notRegistered);
}

TEST_F(XdgAutostartTest, TheFolderFollowsXdgConfigHomeAndFallsBackToDotConfig) {
  std::string oldConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_CONFIG_HOME", (home.path() / "cfg").c_str(), 1);
  ::setenv("HOME", (home.path() / "h").c_str(), 1);
  EXPECT_EQ(XdgAutostartLoginItems::defaultDirectory(), home.path() / "cfg" / "autostart");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  EXPECT_EQ(XdgAutostartLoginItems::defaultDirectory(), home.path() / "h" / ".config" / "autostart")
      << "a relative value is ignored";
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(XdgAutostartLoginItems::defaultDirectory(), home.path() / "h" / ".config" / "autostart");
  if (oldConfig.empty()) ::unsetenv("XDG_CONFIG_HOME"); else ::setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
  ::setenv("HOME", oldHome.c_str(), 1);
}

}  // namespace
}  // namespace tessa
