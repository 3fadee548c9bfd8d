#pragma once
// One entry of the clipboard history and its payload, and the history's
// stored form (JSON inside the sealed history file).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace tessa {

struct CopyCacheItem {
  struct Text {
    bool operator==(const Text&) const = default;
  };
  struct RichText {
    std::string vaultID;
    bool hasHTML = false;
    bool operator==(const RichText&) const = default;
  };
  struct Image {
    std::string thumbnailBase64;  // empty until a thumbnail is made
    std::string vaultID;
    int64_t byteSize = 0;
    std::string dimensions;  // "640×480", empty when unknown
    bool operator==(const Image&) const = default;
  };
  struct FileURLs {
    std::vector<std::string> filePaths;
    std::vector<std::string> fileNames;
    int64_t totalByteSize = 0;
    bool operator==(const FileURLs&) const = default;
  };
  struct Color {
    std::string hex;  // "#RRGGBB" or "#RRGGBBAA"
    double r = 0, g = 0, b = 0, a = 1;
    bool operator==(const Color&) const = default;
  };
  struct WebURL {
    std::string urlString;
    std::string domain;
    std::optional<std::string> title;
    bool operator==(const WebURL&) const = default;
  };
  struct CustomBinary {
    std::string typeIdentifier;
    std::string vaultID;
    int64_t byteSize = 0;
    bool operator==(const CustomBinary&) const = default;
  };
  using PayloadType = std::variant<Text, RichText, Image, FileURLs, Color, WebURL, CustomBinary>;

  enum class Category { all, text, image, files, color, url };
  static const std::vector<Category>& allCategories();
  // The tab's title ("ทั้งหมด", …) and its symbol name.
  static std::string rawValue(Category category);
  static std::string iconName(Category category);

  std::string id;  // UUID text
  std::string text;
  std::string preview;
  double createdAt = 0;  // wall-clock seconds since 1970
  std::string sourceAppName;
  std::string sourceBundleID;
  int64_t charCount = 0;
  int64_t lineCount = 0;
  bool isPinned = false;
  std::optional<std::string> snippetKeyword;
  std::optional<std::string> suggestedConvertedText;
  int64_t conversionConfidence = 0;
  PayloadType payloadType = Text{};
  // A long text is sealed in a blob of its own rather than in the history,
  // so that each change of the list does not rewrite it; the stored history
  // then has this identifier instead of the text.
  std::optional<std::string> textVaultID;

  bool operator==(const CopyCacheItem&) const = default;

  bool hasConversionSuggestion() const;
  Category category() const;
  // The sealed blob of the payload, when it has one.
  std::optional<std::string> vaultID() const;
  // Every blob the entry owns: the payload's and the long text's.
  std::vector<std::string> ownedVaultIDs() const;

  // A one-line preview: white space runs folded to one space, trimmed, at
  // most `maxCharacters` code points.
  static std::string makePreview(std::string_view text, size_t maxCharacters = 120);
  static int64_t countCharacters(std::string_view utf8);
  static int64_t countLines(std::string_view text);

  nlohmann::json toJson() const;
  // None when a field has the wrong type or the payload kind is unknown.
  static std::optional<CopyCacheItem> fromJson(const nlohmann::json& value);
};

// How the history shows sizes and colours: whole kilobytes, never below 1;
// colour components clamped to 0...1 (a value that is no number, or infinite,
// as 0), and as bytes 0...255.
int64_t copyCacheKilobytes(int64_t bytes);
double copyCacheClampedComponent(double value);
int copyCacheComponentByte(double value);

}  // namespace tessa
