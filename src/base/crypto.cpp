#include "base/crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>
#include <stdexcept>

#include "base/encoding.h"

namespace tessa::crypto {

namespace {
struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using Ctx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;
}  // namespace

Bytes randomBytes(size_t count) {
  Bytes out(count);
  if (count && RAND_bytes(out.data(), static_cast<int>(count)) != 1) throw std::runtime_error("RAND_bytes failed");
  return out;
}

std::string randomUUID() {
  Bytes b = randomBytes(16);
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
  std::string hex = hexEncode(b);
  return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
         hex.substr(20);
}

std::array<uint8_t, 32> sha256(const uint8_t* data, size_t size) {
  std::array<uint8_t, 32> out{};
  unsigned int len = 0;
  EVP_Digest(data, size, out.data(), &len, EVP_sha256(), nullptr);
  return out;
}

std::optional<Bytes> sealCombinedWithNonce(const Bytes& key, const Bytes& nonce, const uint8_t* plaintext,
                                           size_t size) {
  if (key.size() != kKeySize || nonce.size() != kNonceSize) return std::nullopt;
  Ctx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return std::nullopt;
  if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1) return std::nullopt;
  if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) != 1) return std::nullopt;
  if (EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), nonce.data()) != 1) return std::nullopt;
  Bytes out(kNonceSize + size + kTagSize);
  std::copy(nonce.begin(), nonce.end(), out.begin());
  int len = 0;
  if (size > 0 &&
      EVP_EncryptUpdate(ctx.get(), out.data() + kNonceSize, &len, plaintext, static_cast<int>(size)) != 1)
    return std::nullopt;
  int fin = 0;
  if (EVP_EncryptFinal_ex(ctx.get(), out.data() + kNonceSize + len, &fin) != 1) return std::nullopt;
  if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, out.data() + kNonceSize + size) != 1)
    return std::nullopt;
  return out;
}

std::optional<Bytes> sealCombined(const Bytes& key, const uint8_t* plaintext, size_t size) {
  return sealCombinedWithNonce(key, randomBytes(kNonceSize), plaintext, size);
}

std::optional<Bytes> openCombined(const Bytes& key, const Bytes& combined) {
  if (key.size() != kKeySize || combined.size() < kNonceSize + kTagSize) return std::nullopt;
  size_t ctSize = combined.size() - kNonceSize - kTagSize;
  Ctx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return std::nullopt;
  if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1) return std::nullopt;
  if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) != 1) return std::nullopt;
  if (EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), combined.data()) != 1) return std::nullopt;
  Bytes out(ctSize);
  int len = 0;
  if (ctSize > 0 && EVP_DecryptUpdate(ctx.get(), out.data(), &len, combined.data() + kNonceSize,
                                      static_cast<int>(ctSize)) != 1)
    return std::nullopt;
  Bytes tag(combined.end() - kTagSize, combined.end());
  if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag.data()) != 1) return std::nullopt;
  int fin = 0;
  if (EVP_DecryptFinal_ex(ctx.get(), out.data() + len, &fin) != 1) return std::nullopt;
  return out;
}

}  // namespace tessa::crypto
