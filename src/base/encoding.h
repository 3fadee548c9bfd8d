#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessa {

std::string base64Encode(const std::vector<uint8_t>& data);
std::optional<std::vector<uint8_t>> base64Decode(std::string_view text);
std::string hexEncode(const uint8_t* data, size_t size);
inline std::string hexEncode(const std::vector<uint8_t>& data) { return hexEncode(data.data(), data.size()); }
std::optional<std::vector<uint8_t>> hexDecode(std::string_view text);

}  // namespace tessa
