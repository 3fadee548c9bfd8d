#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/keychain_query.h"
#include "platform/linux/keychain_factory.h"
#include "platform/linux/keychain_file_store.h"
#include "support/file_bytes.h"
#include "support/temp_home.h"

namespace tessa::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

unsigned modeOf(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return 0;
  return st.st_mode & 0777;
}

class KeychainFileStoreTest : public ::testing::Test {
 protected:
  KeychainFileStore store() {
    return KeychainFileStore(KeychainFileStore::defaultFile(), [this](const std::string& l) { logLines.push_back(l); });
  }
  TempHome home;
  std::vector<std::string> logLines;
};

TEST_F(KeychainFileStoreTest, AnswersEveryStatusOfAGenericPasswordStore) {
  auto kc = store();
  EXPECT_EQ(kc.copy("svc", "acct").status, KeychainStatus::itemNotFound);
  EXPECT_EQ(kc.update("svc", "acct", bytes("x")).status, KeychainStatus::itemNotFound);
  EXPECT_EQ(kc.remove("svc", "acct").status, KeychainStatus::itemNotFound);
  EXPECT_EQ(kc.add("svc", "acct", bytes("one"), {{keychain::kAttrAccessible, keychain::kAccessibleAfterFirstUnlock}})
                .status,
            KeychainStatus::success);
  EXPECT_EQ(kc.add("svc", "acct", bytes("two")).status, KeychainStatus::duplicateItem);
  EXPECT_EQ(kc.copy("svc", "acct").data, bytes("one"));
  EXPECT_EQ(kc.copy("svc", "other").status, KeychainStatus::itemNotFound);
  EXPECT_EQ(kc.copy("other", "acct").status, KeychainStatus::itemNotFound);
  EXPECT_EQ(kc.update("svc", "acct", bytes(std::string("\0\xFFkey", 5))).status, KeychainStatus::success);
  EXPECT_EQ(kc.copy("svc", "acct").data, bytes(std::string("\0\xFFkey", 5)));
  EXPECT_EQ(kc.remove("svc", "acct").status, KeychainStatus::success);
  EXPECT_EQ(kc.copy("svc", "acct").status, KeychainStatus::itemNotFound);
}

TEST_F(KeychainFileStoreTest, ItemsOutliveTheStoreInAnOwnerOnlyFile) {
  store().add("svc", "acct", bytes("kept"));
  EXPECT_EQ(store().copy("svc", "acct").data, bytes("kept"));
  EXPECT_EQ(modeOf(KeychainFileStore::defaultFile()), 0600u);
  EXPECT_EQ(modeOf(KeychainFileStore::defaultFile().parent_path()), 0700u);
  EXPECT_TRUE(logLines.empty());
}

TEST_F(KeychainFileStoreTest, AFileThatDoesNotParseIsKeptAsideAndLogged) {
  writeBytes(KeychainFileStore::defaultFile(), "{not json");
  auto kc = store();
  EXPECT_EQ(kc.copy("svc", "acct").status, KeychainStatus::itemNotFound);
  ASSERT_EQ(logLines.size(), 1u);
  EXPECT_NE(logLines[0].find("could not be parsed"), std::string::npos);
  fs::path aside = KeychainFileStore::defaultFile();
  aside += ".corrupt";
  EXPECT_EQ(readBytes(aside), "{not json");
}

TEST_F(KeychainFileStoreTest, AnUnreadableStoreIsAnErrorNotAnEmptyStore) {
  // A folder where the file should be cannot be read as a file.
  fs::create_directories(KeychainFileStore::defaultFile());
  auto kc = store();
  EXPECT_EQ(kc.copy("svc", "acct").status, KeychainStatus::otherError);
  EXPECT_EQ(kc.add("svc", "acct", bytes("x")).status, KeychainStatus::otherError);
}

TEST_F(KeychainFileStoreTest, WithoutASecretServiceTheApplicationGetsTheFileStoreAndAWarning) {
  const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  std::string saved = old ? old : "";
  ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (home.path() / "no-bus").string()).c_str(), 1);
  std::vector<std::string> warnings;
  auto kc = createSystemKeychain([&](const std::string& l) { warnings.push_back(l); });
  if (old)
    ::setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
  else
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  ASSERT_NE(dynamic_cast<KeychainFileStore*>(kc.get()), nullptr);
  ASSERT_FALSE(warnings.empty());
  EXPECT_NE(warnings.back().find("owner-only file"), std::string::npos);
  EXPECT_EQ(kc->add("svc", "acct", bytes("x")).status, KeychainStatus::success);
}

}  // namespace
}  // namespace tessa::test
