#include "platform/sim/memory_keychain.h"

#include <gtest/gtest.h>

namespace tessa {
namespace {

TEST(MemoryKeychain, StoresAndAnswersTheUsualStatuses) {
  MemoryKeychain kc;
  const std::vector<uint8_t> key{1, 2, 3};
  EXPECT_EQ(kc.copy("svc", "acct").status, KeychainStatus::itemNotFound);
  EXPECT_EQ(kc.copy("svc", "acct").code, -25300);
  EXPECT_EQ(kc.update("svc", "acct", key).status, KeychainStatus::itemNotFound);
  EXPECT_EQ(kc.add("svc", "acct", key, {{"noAuthUI", "1"}}).status, KeychainStatus::success);
  EXPECT_EQ(kc.lastQuery().at("noAuthUI"), "1");
  EXPECT_EQ(kc.add("svc", "acct", key).status, KeychainStatus::duplicateItem);
  auto found = kc.copy("svc", "acct");
  EXPECT_EQ(found.status, KeychainStatus::success);
  EXPECT_EQ(found.data, key);
  EXPECT_EQ(kc.update("svc", "acct", {9}).status, KeychainStatus::success);
  EXPECT_EQ(kc.item("svc", "acct"), std::vector<uint8_t>{9});
  EXPECT_EQ(kc.remove("svc", "acct").status, KeychainStatus::success);
  EXPECT_EQ(kc.remove("svc", "acct").status, KeychainStatus::itemNotFound);
}

TEST(MemoryKeychain, ForcedStatusesWinUntilCleared) {
  MemoryKeychain kc;
  kc.add("svc", "acct", {7});
  kc.forceStatus("svc", "acct", KeychainStatus::interactionNotAllowed);
  auto locked = kc.copy("svc", "acct");
  EXPECT_EQ(locked.status, KeychainStatus::interactionNotAllowed);
  EXPECT_EQ(locked.code, -25308);
  EXPECT_TRUE(locked.data.empty());
  EXPECT_EQ(kc.remove("svc", "acct").status, KeychainStatus::interactionNotAllowed);
  EXPECT_TRUE(kc.contains("svc", "acct"));  // a forced answer changes nothing

  kc.forceStatus("svc", "other", KeychainStatus::otherError, -34018);
  EXPECT_EQ(kc.add("svc", "other", {1}).code, -34018);
  EXPECT_FALSE(kc.contains("svc", "other"));
  EXPECT_EQ(kc.copy("svc", "acct2").status, KeychainStatus::itemNotFound);  // other accounts unaffected

  kc.clearForcedStatus("svc", "acct");
  EXPECT_EQ(kc.copy("svc", "acct").data, std::vector<uint8_t>{7});
}

}  // namespace
}  // namespace tessa
