#include "base/diagnostic_log.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/files.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

using test::EngineFixture;

TEST(DiagnosticLog, KeepsTheLast500LinesOldestFirst) {
  EngineFixture f;
  auto e = f.start();
  for (int i = 0; i < 700; ++i) e->log("line " + std::to_string(i));
  auto lines = e->diagnosticLogs();
  ASSERT_EQ(lines.size(), 500u);
  EXPECT_NE(lines.front().find("] line 200"), std::string::npos);
  EXPECT_NE(lines.back().find("] line 699"), std::string::npos);
  EXPECT_EQ(lines.back()[0], '[');
  EXPECT_EQ(lines.back()[13], ']') << "[HH:mm:ss.SSS] prefix";
}

TEST(DiagnosticLog, WritesOnTheDiskQueueCreatingTheFolderAndKeepingMultilineEntries) {
  EngineFixture f;
  auto e = f.start();
  f.runner.runUntilIdle();
  auto url = *e->diagnosticLogURL();
  std::filesystem::remove_all(url.parent_path());
  e->log("first\nsecond");
  EXPECT_FALSE(std::filesystem::exists(url)) << "nothing is written on the caller's thread";
  f.runner.runUntilIdle();
  auto text = readFile(url, kMaxWordFileBytes).value();
  EXPECT_NE(text.find("] first\nsecond\n"), std::string::npos);
  EXPECT_TRUE(f.systemLog.contains("first\nsecond"));
}

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
