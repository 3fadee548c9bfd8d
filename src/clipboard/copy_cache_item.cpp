#include "clipboard/copy_cache_item.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "base/json_reading.h"
#include "base/unicode.h"

namespace tessa {
namespace {

using nlohmann::json;

template <class T>
bool read(const json& object, const char* key, T& out) {
  auto it = object.find(key);
  if (it == object.end()) return true;  // absent fields keep their defaults
  if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
    // Range-checked: a count of 1e119 is a damaged file, not a conversion.
    auto value = jsonInteger<T>(*it);
    if (!value) return false;
    out = *value;
    return true;
  }
  try {
    out = it->template get<T>();
    return true;
  } catch (const json::exception&) {
    return false;
  }
}

bool readOptional(const json& object, const char* key, std::optional<std::string>& out) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return true;
  if (!it->is_string()) return false;
  out = it->get<std::string>();
  return true;
}

// Colour components: a number, or null for a NaN that JSON cannot hold.
bool readComponent(const json& object, const char* key, double& out) {
  auto it = object.find(key);
  if (it == object.end()) return true;
  if (it->is_null()) {
    out = std::nan("");
    return true;
  }
  if (!it->is_number()) return false;
  out = it->get<double>();
  return true;
}

}  // namespace

const std::vector<CopyCacheItem::Category>& CopyCacheItem::allCategories() {
  static const std::vector<Category> all{Category::all,   Category::text,  Category::image,
                                         Category::files, Category::color, Category::url};
  return all;
}

// [design] The categories' raw values: identifiers the design gives, which
// the Thai quick-paste tabs also show as their titles.
std::string CopyCacheItem::rawValue(Category category) {
  switch (category) {
    case Category::all: return "ทั้งหมด";
    case Category::text: return "ข้อความ";
    case Category::image: return "รูปภาพ";
    case Category::files: return "ไฟล์";
    case Category::color: return "โค้ดสี";
    case Category::url: return "ลิงก์";
  }
  return "";
}

std::string CopyCacheItem::iconName(Category category) {
  switch (category) {
    case Category::all: return "tray.full.fill";
    case Category::text: return "doc.text.fill";
    case Category::image: return "photo.fill";
    case Category::files: return "folder.fill";
    case Category::color: return "paintpalette.fill";
    case Category::url: return "globe";
  }
  return "";
}

bool CopyCacheItem::hasConversionSuggestion() const {
  return suggestedConvertedText && !suggestedConvertedText->empty() && *suggestedConvertedText != text &&
         conversionConfidence > 1;
}

CopyCacheItem::Category CopyCacheItem::category() const {
  if (std::holds_alternative<Image>(payloadType)) return Category::image;
  if (std::holds_alternative<FileURLs>(payloadType)) return Category::files;
  if (std::holds_alternative<Color>(payloadType)) return Category::color;
  if (std::holds_alternative<WebURL>(payloadType)) return Category::url;
  return Category::text;
}

std::optional<std::string> CopyCacheItem::vaultID() const {
  if (auto* p = std::get_if<RichText>(&payloadType)) return p->vaultID;
  if (auto* p = std::get_if<Image>(&payloadType)) return p->vaultID;
  if (auto* p = std::get_if<CustomBinary>(&payloadType)) return p->vaultID;
  return std::nullopt;
}

std::vector<std::string> CopyCacheItem::ownedVaultIDs() const {
  std::vector<std::string> ids;
  if (auto id = vaultID()) ids.push_back(*id);
  if (textVaultID) ids.push_back(*textVaultID);
  return ids;
}

std::string CopyCacheItem::makePreview(std::string_view text, size_t maxCharacters) {
  std::string out;
  bool pendingSpace = false;
  size_t characters = 0;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
      pendingSpace = !out.empty();
      ++i;
      continue;
    }
    size_t next = i;
    const std::string_view character = nextUtf8Character(text, next);
    if (pendingSpace) {
      if (characters + 1 >= maxCharacters) break;
      out += ' ';
      ++characters;
      pendingSpace = false;
    }
    if (characters >= maxCharacters) break;
    out.append(character);
    ++characters;
    i = next;
  }
  return out;
}

int64_t CopyCacheItem::countCharacters(std::string_view utf8) {
  return static_cast<int64_t>(codePointCount(utf8));
}

int64_t CopyCacheItem::countLines(std::string_view text) {
  if (text.empty()) return 0;
  int64_t lines = 1;
  for (char c : text)
    if (c == '\n') ++lines;
  return lines;
}

json CopyCacheItem::toJson() const {
  json j{{"id", id},
         {"preview", preview},
         {"createdAt", createdAt},
         {"sourceAppName", sourceAppName},
         {"sourceBundleID", sourceBundleID},
         {"charCount", charCount},
         {"lineCount", lineCount},
         {"isPinned", isPinned},
         {"conversionConfidence", conversionConfidence}};
  if (textVaultID)
    j["textVaultID"] = *textVaultID;
  else
    j["text"] = text;
  if (snippetKeyword) j["snippetKeyword"] = *snippetKeyword;
  if (suggestedConvertedText) j["suggestedConvertedText"] = *suggestedConvertedText;
  json p;
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Text>) {
          p = {{"kind", "text"}};
        } else if constexpr (std::is_same_v<T, RichText>) {
          p = {{"kind", "richText"}, {"vaultID", v.vaultID}, {"hasHTML", v.hasHTML}};
        } else if constexpr (std::is_same_v<T, Image>) {
          p = {{"kind", "image"},
               {"thumbnailBase64", v.thumbnailBase64},
               {"vaultID", v.vaultID},
               {"byteSize", v.byteSize},
               {"dimensions", v.dimensions}};
        } else if constexpr (std::is_same_v<T, FileURLs>) {
          p = {{"kind", "fileURLs"},
               {"filePaths", v.filePaths},
               {"fileNames", v.fileNames},
               {"totalByteSize", v.totalByteSize}};
        } else if constexpr (std::is_same_v<T, Color>) {
          // NaN has no JSON form: it is written as null and read back as NaN.
          auto component = [](double x) { return std::isfinite(x) ? json(x) : json(nullptr); };
          p = {{"kind", "color"},
               {"hex", v.hex},
               {"r", component(v.r)},
               {"g", component(v.g)},
               {"b", component(v.b)},
               {"a", component(v.a)}};
        } else if constexpr (std::is_same_v<T, WebURL>) {
          p = {{"kind", "webURL"}, {"urlString", v.urlString}, {"domain", v.domain}};
          if (v.title) p["title"] = *v.title;
        } else {
          p = {{"kind", "customBinary"},
               {"typeIdentifier", v.typeIdentifier},
               {"vaultID", v.vaultID},
               {"byteSize", v.byteSize}};
        }
      },
      payloadType);
  j["payload"] = std::move(p);
  return j;
}

std::optional<CopyCacheItem> CopyCacheItem::fromJson(const json& value) {
  if (!value.is_object()) return std::nullopt;
  CopyCacheItem item;
  bool ok = read(value, "id", item.id) && read(value, "text", item.text) && read(value, "preview", item.preview) &&
            read(value, "createdAt", item.createdAt) && read(value, "sourceAppName", item.sourceAppName) &&
            read(value, "sourceBundleID", item.sourceBundleID) && read(value, "charCount", item.charCount) &&
            read(value, "lineCount", item.lineCount) && read(value, "isPinned", item.isPinned) &&
            read(value, "conversionConfidence", item.conversionConfidence) &&
            readOptional(value, "snippetKeyword", item.snippetKeyword) &&
            readOptional(value, "suggestedConvertedText", item.suggestedConvertedText) &&
            readOptional(value, "textVaultID", item.textVaultID);
  if (!ok || item.id.empty()) return std::nullopt;
  auto payload = value.find("payload");
  if (payload == value.end() || !payload->is_object()) return std::nullopt;
  const json& p = *payload;
  std::string kind;
  if (!read(p, "kind", kind)) return std::nullopt;
  if (kind == "text") {
    item.payloadType = Text{};
  } else if (kind == "richText") {
    RichText v;
    if (!read(p, "vaultID", v.vaultID) || !read(p, "hasHTML", v.hasHTML)) return std::nullopt;
    item.payloadType = v;
  } else if (kind == "image") {
    Image v;
    if (!read(p, "thumbnailBase64", v.thumbnailBase64) || !read(p, "vaultID", v.vaultID) ||
        !read(p, "byteSize", v.byteSize) || !read(p, "dimensions", v.dimensions))
      return std::nullopt;
    item.payloadType = v;
  } else if (kind == "fileURLs") {
    FileURLs v;
    if (!read(p, "filePaths", v.filePaths) || !read(p, "fileNames", v.fileNames) ||
        !read(p, "totalByteSize", v.totalByteSize))
      return std::nullopt;
    item.payloadType = v;
  } else if (kind == "color") {
    Color v;
    if (!read(p, "hex", v.hex) || !readComponent(p, "r", v.r) || !readComponent(p, "g", v.g) ||
        !readComponent(p, "b", v.b) || !readComponent(p, "a", v.a))
      return std::nullopt;
    item.payloadType = v;
  } else if (kind == "webURL") {
    WebURL v;
    if (!read(p, "urlString", v.urlString) || !read(p, "domain", v.domain) || !readOptional(p, "title", v.title))
      return std::nullopt;
    item.payloadType = v;
  } else if (kind == "customBinary") {
    CustomBinary v;
    if (!read(p, "typeIdentifier", v.typeIdentifier) || !read(p, "vaultID", v.vaultID) ||
        !read(p, "byteSize", v.byteSize))
      return std::nullopt;
    item.payloadType = v;
  } else {
    return std::nullopt;
  }
  return item;
}

int64_t copyCacheKilobytes(int64_t bytes) { return bytes > 1023 ? bytes / 1024 : 1; }

double copyCacheClampedComponent(double value) { return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0; }

int copyCacheComponentByte(double value) { return static_cast<int>(copyCacheClampedComponent(value) * 255); }

}  // namespace tessa
