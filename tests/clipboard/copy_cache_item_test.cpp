#include "clipboard/copy_cache_item.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/files.h"
#include "clipboard/copy_cache_crypto_store.h"
#include "platform/sim/memory_keychain.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

using Item = CopyCacheItem;

Item withPayload(Item::PayloadType payload) {
  Item item;
  item.id = "5d3c8f8e-1111-4222-8333-444455556666";
  item.text = "t";
  item.payloadType = std::move(payload);
  return item;
}

TEST(CopyCacheItem, EveryPayloadRoundTripsExactly) {
  std::vector<Item::PayloadType> payloads{
      Item::Text{},
      Item::RichText{"a", true},
      Item::Image{"aGVsbG8=", "b", 4096, "640×480"},
      Item::FileURLs{{"/x/a", "/x/b"}, {"a", "b"}, -1},
      // Byte values that a float or a fixed number of digits would not keep.
      Item::Color{"#1A334D80", 26 / 255.0, 0.1 + 0.2, 77 / 255.0, 128 / 255.0},
      Item::WebURL{"https://example.org", "example.org", "Example"},
      Item::WebURL{"https://example.org", "example.org", std::nullopt},
      Item::CustomBinary{"application/x-thing", "c", 3},
  };
  for (const auto& payload : payloads) {
    Item item = withPayload(payload);
    item.isPinned = true;
    item.snippetKeyword = "kw";
    item.createdAt = 1798000000.123456;
    auto back = Item::fromJson(nlohmann::json::parse(item.toJson().dump()));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, item) << item.toJson().dump();
  }
  // NaN has no JSON form: it comes back as NaN rather than failing the load.
  auto nan = Item::fromJson(withPayload(Item::Color{"#000000", std::nan(""), 0, 0, 1}).toJson());
  ASSERT_TRUE(nan);
  EXPECT_TRUE(std::isnan(std::get<Item::Color>(nan->payloadType).r));

  nlohmann::json bad = withPayload(Item::Text{}).toJson();
  bad["payload"]["kind"] = "hologram";
  EXPECT_FALSE(Item::fromJson(bad));
  bad = withPayload(Item::FileURLs{}).toJson();
  bad["payload"]["filePaths"] = 7;
  EXPECT_FALSE(Item::fromJson(bad));
  EXPECT_FALSE(Item::fromJson(nlohmann::json::array()));
}

TEST(CopyCacheItem, CategoriesSuggestionsAndPreviews) {
  EXPECT_EQ(withPayload(Item::RichText{}).category(), Item::Category::text);
  EXPECT_EQ(withPayload(Item::CustomBinary{}).category(), Item::Category::text);
  EXPECT_EQ(withPayload(Item::Image{}).category(), Item::Category::image);
  EXPECT_EQ(withPayload(Item::FileURLs{}).category(), Item::Category::files);
  EXPECT_EQ(withPayload(Item::Color{}).category(), Item::Category::color);
  EXPECT_EQ(withPayload(Item::WebURL{}).category(), Item::Category::url);
  EXPECT_EQ(Item::rawValue(Item::Category::color), "โค้ดสี");
  EXPECT_EQ(Item::iconName(Item::Category::url), "globe");
  EXPECT_EQ(Item::allCategories().size(), 6u);

  Item item = withPayload(Item::Text{});
  item.text = "l;ylfu";
  item.suggestedConvertedText = "สวัสดี";
  item.conversionConfidence = 1;
  EXPECT_FALSE(item.hasConversionSuggestion());
  item.conversionConfidence = 2;
  EXPECT_TRUE(item.hasConversionSuggestion());
  item.suggestedConvertedText = "l;ylfu";
  EXPECT_FALSE(item.hasConversionSuggestion());

  std::string thai;
  for (int i = 0; i < 130; ++i) thai += "ก";
  EXPECT_EQ(Item::countCharacters(Item::makePreview(thai)), 120);
  EXPECT_EQ(Item::makePreview("\n\t a \n\n b  "), "a b");
  EXPECT_EQ(Item::countLines(""), 0);
  EXPECT_EQ(Item::countLines("a\nb\n"), 3);
}

TEST(CopyCacheCryptoStore, BlobsAreSealedAndNamesAreNeverPaths) {
  test::TempHome home;
  CopyCacheCryptoStore::resetInMemoryKeyForTesting();
  MemoryKeychain keychain;
  CopyCacheCryptoStore store({&keychain, true, home.path() / "vault", {}});
  auto id = store.storeVault("payload bytes");
  ASSERT_TRUE(id);
  EXPECT_TRUE(CopyCacheCryptoStore::isValidVaultID(*id));
  EXPECT_EQ(store.openVault(*id), "payload bytes");
  EXPECT_EQ(store.vaultIDs(), std::vector<std::string>{*id});

  EXPECT_FALSE(CopyCacheCryptoStore::isValidVaultID("../history"));
  EXPECT_FALSE(store.openVault("../vault/" + *id));
  EXPECT_FALSE(store.openVault("00000000-0000-4000-8000-000000000000")) << "missing is none, not an error";

  auto path = home.path() / "vault" / (*id + ".blob");
  auto sealed = *readFile(path, 1 << 20);
  sealed.back() ^= 0x40;
  ASSERT_TRUE(writeFileAtomically(path, sealed, 0600));
  EXPECT_THROW(store.openVault(*id), std::runtime_error);

  // Another key (a new keychain) cannot open what the first one sealed.
  MemoryKeychain other;
  CopyCacheCryptoStore stranger({&other, true, home.path() / "vault", {}});
  EXPECT_EQ(stranger.loadHistory().status, CopyCacheCryptoStore::LoadStatus::missing);
  ASSERT_TRUE(store.saveHistory("{}"));
  EXPECT_EQ(stranger.loadHistory().status, CopyCacheCryptoStore::LoadStatus::unreadable);
}

}  // namespace
}  // namespace tessa
