#include <gtest/gtest.h>

#include <fstream>

#include "platform/linux/keychain_factory.h"
#include "platform/linux/keychain_file_store.h"
#include "platform/sim/memory_keychain.h"
#include "support/temp_home.h"

namespace tessa::test {
namespace {

namespace fs = std::filesystem;

// The keychain is chosen once: a launch where the store holding our items is
// missing must not quietly start over with an empty one.
class KeychainChoiceTest : public ::testing::Test {
 protected:
  std::unique_ptr<Keychain> create(bool secretServiceReachable) {
    return createSystemKeychain([this](const std::string& l) { warnings.push_back(l); }, choice, store,
                                [secretServiceReachable](std::string* why) -> std::unique_ptr<Keychain> {
                                  if (!secretServiceReachable) {
                                    *why = "no session bus";
                                    return nullptr;
                                  }
                                  return std::make_unique<MemoryKeychain>();
                                });
  }
  TempHome home;
  fs::path choice = home.path() / "kc" / "keychain-backend";
  fs::path store = home.path() / "kc" / "items.json";
  std::vector<std::string> warnings;
};

TEST(KeychainOnFirstUse, IsChosenAtTheFirstCallOnceAndAnswersAsTheChosenOne) {
  int made = 0;
  auto keychain = keychainOnFirstUse([&made]() -> std::unique_ptr<Keychain> {
    ++made;
    return std::make_unique<MemoryKeychain>();
  });
  EXPECT_EQ(made, 0) << "nothing is asked while the program starts";
  EXPECT_EQ(keychain->add("svc", "acct", {7}).status, KeychainStatus::success);
  EXPECT_EQ(keychain->copy("svc", "acct").data, std::vector<uint8_t>{7});
  EXPECT_EQ(keychain->remove("svc", "acct").status, KeychainStatus::success);
  EXPECT_EQ(made, 1);
  // A maker with nothing to offer leaves the items unavailable.
  auto none = keychainOnFirstUse([] { return std::unique_ptr<Keychain>(); });
  EXPECT_EQ(none->copy("svc", "acct").status, KeychainStatus::interactionNotAllowed);
}

TEST_F(KeychainChoiceTest, ASecretServiceChosenOnceIsNeverSwappedForAnEmptyFileStore) {
  auto first = create(true);
  EXPECT_NE(dynamic_cast<MemoryKeychain*>(first.get()), nullptr);
  EXPECT_EQ(rememberedKeychainBackend(choice), KeychainBackend::secretService);

  // The service is late on the next launch: our items are unavailable, not absent.
  auto late = create(false);
  EXPECT_EQ(dynamic_cast<KeychainFileStore*>(late.get()), nullptr);
  EXPECT_EQ(late->copy("svc", "acct").status, KeychainStatus::interactionNotAllowed);
  EXPECT_EQ(late->add("svc", "acct", {1}).status, KeychainStatus::interactionNotAllowed);
  EXPECT_FALSE(fs::exists(store));
  ASSERT_FALSE(warnings.empty());
  EXPECT_NE(warnings.back().find("unavailable"), std::string::npos);
}

TEST_F(KeychainChoiceTest, AFileStoreChosenOnceStaysChosenWhenASecretServiceAppears) {
  auto first = create(false);
  ASSERT_NE(dynamic_cast<KeychainFileStore*>(first.get()), nullptr);
  ASSERT_EQ(first->add("svc", "acct", {7}).status, KeychainStatus::success);
  EXPECT_EQ(rememberedKeychainBackend(choice), KeychainBackend::fileStore);

  auto later = create(true);
  ASSERT_NE(dynamic_cast<KeychainFileStore*>(later.get()), nullptr);
  EXPECT_EQ(later->copy("svc", "acct").data, std::vector<uint8_t>{7});
}

TEST_F(KeychainChoiceTest, AFileStoreFromBeforeTheChoiceWasRememberedIsKept) {
  {
    KeychainFileStore old(store, nullptr);
    ASSERT_EQ(old.add("svc", "acct", {3}).status, KeychainStatus::success);
  }
  auto kc = create(true);
  ASSERT_NE(dynamic_cast<KeychainFileStore*>(kc.get()), nullptr);
  EXPECT_EQ(kc->copy("svc", "acct").data, std::vector<uint8_t>{3});
  EXPECT_EQ(rememberedKeychainBackend(choice), KeychainBackend::fileStore);
}

TEST_F(KeychainChoiceTest, AStoreFileNestedWithoutBoundIsKeptAsideAndTheStoreStartsAgain) {
  fs::create_directories(store.parent_path());
  std::ofstream(store) << std::string(30000, '[') << std::string(30000, ']');
  KeychainFileStore kc(store, [this](const std::string& l) { warnings.push_back(l); });
  EXPECT_EQ(kc.copy("svc", "acct").status, KeychainStatus::itemNotFound);
  EXPECT_TRUE(fs::exists(store.string() + ".corrupt"));
}

}  // namespace
}  // namespace tessa::test
