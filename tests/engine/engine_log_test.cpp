// The engine's diagnostic log: the lines it keeps and how it writes them.
#include <gtest/gtest.h>

#include "base/diagnostic_log.h"
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

}  // namespace
}  // namespace tessa
