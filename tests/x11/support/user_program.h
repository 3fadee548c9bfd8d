#pragma once
// A program of the user's (a browser, a terminal) on the test's X session,
// started as the user starts it: found on PATH, nothing of ours in its
// environment but the display, and a home with XDG folders of its own (its
// profile, its settings kept in memory), removed once it has ended. It leads
// a process group of its own, which ends with it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "x11_session/child_process.h"

namespace tessa::xsession {
class XSession;
}

namespace tessa::test {

class UserProgram {
 public:
  // What to run, given its home folder (made first: a page to open or a
  // profile goes there).
  using Command = std::function<std::vector<std::string>(const std::string& home)>;
  // Null, with the reason in `why`, when the program is not installed or
  // does not start. `env` is added to what it gets.
  static std::unique_ptr<UserProgram> start(const xsession::XSession& session, const Command& command,
                                            std::string* why,
                                            const std::vector<std::pair<std::string, std::string>>& env = {});
  // Whether `name` is on PATH.
  static bool installed(const std::string& name);
  ~UserProgram();
  UserProgram(const UserProgram&) = delete;
  UserProgram& operator=(const UserProgram&) = delete;

  int64_t pid() const { return process_->pid(); }
  const std::string& home() const { return home_; }

 private:
  UserProgram() = default;
  std::unique_ptr<xsession::ChildProcess> process_;
  std::string home_;
};

// Chromium as a user's start gives it, run here as root (no sandbox) and
// offline, on a fresh profile in `home`, opening `url`; `more` switches
// before the address.
std::vector<std::string> chromiumCommand(const std::string& home, const std::string& url,
                                         const std::vector<std::string>& more = {});

}  // namespace tessa::test
