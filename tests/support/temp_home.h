#pragma once
// Points TESSAVINOR_HOME at a fresh temporary folder for the life of a test,
// so nothing touches the real home.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tessa::test {

class TempHome {
 public:
  TempHome() {
    char tmpl[] = "/tmp/tessavinor-test-XXXXXX";
    char* dir = ::mkdtemp(tmpl);
    path_ = dir ? dir : "/tmp/tessavinor-test";
    if (const char* old = std::getenv("TESSAVINOR_HOME")) previous_ = old;
    ::setenv("TESSAVINOR_HOME", path_.c_str(), 1);
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    if (previous_.empty())
      ::unsetenv("TESSAVINOR_HOME");
    else
      ::setenv("TESSAVINOR_HOME", previous_.c_str(), 1);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::string previous_;
};

}  // namespace tessa::test
