#include "base/crypto.h"

#include <gtest/gtest.h>

#include "base/encoding.h"

namespace tessa {
namespace {

TEST(Crypto, Sha256KnownAnswer) {
  auto h = crypto::sha256(std::string_view("abc"));
  EXPECT_EQ(hexEncode(h.data(), h.size()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Crypto, SealedBoxKnownAnswerAndLayout) {
  // NIST GCM test case 13/14 shape: zero key, zero nonce.
  crypto::Bytes key(32, 0), nonce(12, 0), plain(16, 0);
  auto box = crypto::sealCombinedWithNonce(key, nonce, plain.data(), plain.size());
  ASSERT_TRUE(box);
  ASSERT_EQ(box->size(), 12u + 16u + 16u);
  EXPECT_EQ(hexEncode(*box), "000000000000000000000000"
                             "cea7403d4d606b6e074ec5d3baf39d18"
                             "d0d1c8a799996bf0265b98b5d48ab919");
  EXPECT_EQ(crypto::openCombined(key, *box), plain);
}

TEST(Crypto, OpenRefusesTamperingWrongKeyAndShortInput) {
  auto key = crypto::randomBytes(32);
  auto box = crypto::sealCombined(key, crypto::Bytes{'h', 'i'});
  ASSERT_TRUE(box);
  auto tampered = *box;
  tampered[13] ^= 1;
  EXPECT_FALSE(crypto::openCombined(key, tampered));
  EXPECT_FALSE(crypto::openCombined(crypto::randomBytes(32), *box));
  EXPECT_FALSE(crypto::openCombined(key, crypto::Bytes(27, 0)));
  EXPECT_FALSE(crypto::sealCombined(crypto::Bytes(16, 0), crypto::Bytes{1}));
}

TEST(Encoding, Base64RoundTrip) {
  for (size_t n = 0; n < 10; ++n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 37 + 1);
    EXPECT_EQ(base64Decode(base64Encode(v)), v);
  }
  EXPECT_FALSE(base64Decode("ab$d"));
}

}  // namespace
}  // namespace tessa
