#include "x11/support/user_program.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "x11_session/x11_session.h"

namespace tessa::test {

bool UserProgram::installed(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (!folder.empty() && ::access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  return false;
}

std::unique_ptr<UserProgram> UserProgram::start(const xsession::XSession& session, const Command& command,
                                                std::string* why,
                                                const std::vector<std::pair<std::string, std::string>>& env) {
  std::unique_ptr<UserProgram> program(new UserProgram());
  char folder[] = "/tmp/tessavinor-program-XXXXXX";
  if (!::mkdtemp(folder)) {
    if (why) *why = "cannot make a home folder for the program";
    return nullptr;
  }
  program->home_ = folder;
  for (const char* sub : {"config", "cache", "data", "state"})
    std::filesystem::create_directories(program->home_ + "/" + sub);
  const std::vector<std::string> argv = command(program->home_);
  if (argv.empty() || !installed(argv[0])) {
    if (why) *why = (argv.empty() ? std::string("nothing") : argv[0]) + " is not installed (scripts/install-deps)";
    return nullptr;
  }
  xsession::ChildProcess::Options options;
  const std::string& home = program->home_;
  options.env = {{"DISPLAY", session.displayName()},     {"HOME", home},
                 {"XDG_CONFIG_HOME", home + "/config"},  {"XDG_CACHE_HOME", home + "/cache"},
                 {"XDG_DATA_HOME", home + "/data"},      {"XDG_STATE_HOME", home + "/state"},
                 {"GSETTINGS_BACKEND", "memory"}};
  options.env.insert(options.env.end(), env.begin(), env.end());
  program->process_ = xsession::ChildProcess::start(argv, options);
  if (!program->process_) {
    if (why) *why = argv[0] + " did not start";
    return nullptr;
  }
  return program;
}

UserProgram::~UserProgram() {
  process_.reset();
  std::error_code ec;
  if (!home_.empty()) std::filesystem::remove_all(home_, ec);
}

std::vector<std::string> chromiumCommand(const std::string& home, const std::string& url,
                                         const std::vector<std::string>& more) {
  std::vector<std::string> argv = {"chromium",
                                   "--no-sandbox",
                                   "--user-data-dir=" + home + "/profile",
                                   "--no-first-run",
                                   "--no-default-browser-check",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--disable-gpu",
                                   "--password-store=basic"};
  argv.insert(argv.end(), more.begin(), more.end());
  argv.push_back(url);
  return argv;
}

}  // namespace tessa::test
