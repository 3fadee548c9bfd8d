// The program's folders are the owner's alone, and what a write that died
// half-way left behind is cleared away without touching a write under way.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/files.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;

unsigned modeOf(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(PrivateFolders, WritesMakeMissingFoldersOwnerOnlyAndLeaveExistingOnesAlone) {
  test::TempHome home;
  const fs::path shared = home.path() / "shared";
  fs::create_directory(shared);
  ::chmod(shared.c_str(), 0755);
  ASSERT_TRUE(writeFileAtomically(shared / "Tessavinor" / "Keychain" / "items.json", "{}", 0600));
  EXPECT_EQ(modeOf(shared / "Tessavinor"), 0700u);
  EXPECT_EQ(modeOf(shared / "Tessavinor" / "Keychain"), 0700u);
  EXPECT_EQ(modeOf(shared), 0755u) << "a folder that was there is not ours to change";

  std::string error;
  { std::ofstream(home.path() / "file") << "x"; }
  EXPECT_FALSE(createPrivateFolders(home.path() / "file" / "below", &error));
  EXPECT_NE(error.find("file/below"), std::string::npos) << error;
}

TEST(UnfinishedWrites, OnlyTheTemporaryFilesOfOtherWritersGo) {
  test::TempHome home;
  const fs::path root = home.path();
  fs::create_directories(root / "CopyCache");
  const std::string self = std::to_string(::getpid());
  const std::vector<std::string> stale{"a.json.tmp-123",               // an older build's name
                                       "a.json.tmp-2147483646-77",     // a writer that is gone
                                       "CopyCache/history.vault.tmp-1-2"};
  const std::vector<std::string> kept{"a.json", "a.json.tmp-" + self + "-5",  // this process, writing now
                                      "notes.tmp-draft", "b.json.tmp-", ".tmp-12", "c.json.tmp-12-ab",
                                      "d.json.tmp-1-2-3"};
  for (const auto& name : stale) std::ofstream(root / name) << "x";
  for (const auto& name : kept) std::ofstream(root / name) << "x";

  EXPECT_EQ(removeUnfinishedWrites(root), 3);
  for (const auto& name : stale) EXPECT_FALSE(fs::exists(root / name)) << name;
  for (const auto& name : kept) EXPECT_TRUE(fs::exists(root / name)) << name;
  EXPECT_EQ(removeUnfinishedWrites(root / "missing"), 0);
}

}  // namespace
}  // namespace tessa
