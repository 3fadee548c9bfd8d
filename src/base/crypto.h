#pragma once
// AES-256-GCM sealed boxes in the combined layout nonce(12) ‖ ciphertext ‖
// tag(16), SHA-256 and secure random bytes, over OpenSSL's libcrypto.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessa::crypto {

using Bytes = std::vector<uint8_t>;
constexpr size_t kKeySize = 32;
constexpr size_t kNonceSize = 12;
constexpr size_t kTagSize = 16;

Bytes randomBytes(size_t count);
// A random (version 4) UUID in its lower-case text form.
std::string randomUUID();
std::array<uint8_t, 32> sha256(const uint8_t* data, size_t size);
inline std::array<uint8_t, 32> sha256(std::string_view s) {
  return sha256(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}
inline std::array<uint8_t, 32> sha256(const Bytes& b) { return sha256(b.data(), b.size()); }

// Seals `plaintext` with a fresh random nonce. Empty result only when the key
// is not 32 bytes or OpenSSL fails.
std::optional<Bytes> sealCombined(const Bytes& key, const uint8_t* plaintext, size_t size);
inline std::optional<Bytes> sealCombined(const Bytes& key, const Bytes& plaintext) {
  return sealCombined(key, plaintext.data(), plaintext.size());
}
// Same with a caller-chosen nonce (for known-answer tests).
std::optional<Bytes> sealCombinedWithNonce(const Bytes& key, const Bytes& nonce, const uint8_t* plaintext,
                                           size_t size);
// Opens a combined box; none when it is too short, the key is wrong or the
// data was altered.
std::optional<Bytes> openCombined(const Bytes& key, const Bytes& combined);

}  // namespace tessa::crypto
