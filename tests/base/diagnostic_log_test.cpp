#include "base/diagnostic_log.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/files.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

TEST(DiagnosticLog, RotatesOnlyPastTwoMebibytes) {
  test::TempHome home;
  auto url = Paths::applicationSupport() / "tessavinor_diagnostic.log";
  std::filesystem::create_directories(url.parent_path());
  {
    std::ofstream(url) << std::string(DiagnosticLog::kRotateAboveBytes, 'x');
  }
  DiagnosticLog::appendDiagnosticLine(url, "at the boundary");
  EXPECT_FALSE(std::filesystem::exists(url.string() + ".old")) << "exactly 2 MiB is appended to";
  EXPECT_EQ(std::filesystem::file_size(url), DiagnosticLog::kRotateAboveBytes + 16);

  std::ofstream(url.string() + ".old") << "older generation";
  DiagnosticLog::appendDiagnosticLine(url, "fresh");
  EXPECT_EQ(readFile(url, kMaxWordFileBytes).value(), "fresh\n");
  EXPECT_EQ(std::filesystem::file_size(url.string() + ".old"), DiagnosticLog::kRotateAboveBytes + 16);
}

TEST(DiagnosticLog, NoUrlWritesNothing) {
  test::TempHome home;
  DiagnosticLog::appendDiagnosticLine(std::nullopt, "nowhere");
  EXPECT_FALSE(std::filesystem::exists(Paths::applicationSupport()));
}

}  // namespace
}  // namespace tessa
