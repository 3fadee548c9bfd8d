#include "l10n/localization.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "base/unicode.h"
#include "l10n/localized_texts.h"

namespace tessa {
namespace {

constexpr std::string_view kProSuffix = "_pro";
constexpr std::string_view kEllipsis = "\u2026";

std::unordered_map<std::string_view, std::string_view> makeMap(std::span<const l10n::TextPair> pairs) {
  std::unordered_map<std::string_view, std::string_view> map;
  map.reserve(pairs.size());
  for (const auto& pair : pairs) map.emplace(pair.key, pair.text);
  return map;
}

bool contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

}  // namespace

// ---- LocalizedTable

LocalizedTable::LocalizedTable()
    : languages_{{
          {"en", makeMap(l10n::englishTexts())},
          {"th", makeMap(l10n::thaiTexts())},
          {"zh", makeMap(l10n::chineseTexts())},
          {"ja", makeMap(l10n::japaneseTexts())},
          {"vi", makeMap(l10n::vietnameseTexts())},
          {"lo", makeMap(l10n::laoTexts())},
      }} {}

const LocalizedTable& LocalizedTable::shared() {
  static const LocalizedTable table;
  return table;
}

const LocalizedTable::Language* LocalizedTable::language(std::string_view code) const {
  for (const auto& lang : languages_) {
    if (lang.code == code) return &lang;
  }
  return nullptr;
}

const std::string_view* LocalizedTable::find(std::string_view language, std::string_view key) const {
  const Language* lang = this->language(language);
  if (!lang) return nullptr;
  auto it = lang->texts.find(key);
  return it == lang->texts.end() ? nullptr : &it->second;
}

std::string LocalizedTable::localized(std::string_view key, std::string_view language, bool pro) const {
  if (pro) {
    std::string proKey;
    proKey.reserve(key.size() + kProSuffix.size());
    proKey.append(key).append(kProSuffix);
    if (const auto* text = find(language, proKey)) return std::string(*text);
  }
  for (std::string_view code : {language, std::string_view("en"), std::string_view("th")}) {
    if (const auto* text = find(code, key)) return std::string(*text);
  }
  return std::string(key);
}

size_t LocalizedTable::count(std::string_view language) const {
  const Language* lang = this->language(language);
  return lang ? lang->texts.size() : 0;
}

// ---- Text functions

std::string languageDisplayName(std::string_view code) {
  if (code == "en") return "อังกฤษ (EN)";
  if (code == "th") return "ไทย (TH)";
  if (code == "lo") return "ลาว (LO)";
  return uppercased(code);
}

std::string languageMenuName(std::string_view code) {
  if (code == "th") return "ไทย (Thai)";
  if (code == "en") return "English (US)";
  if (code == "lo") return "ລາວ (Lao)";
  if (code == "vi") return "Tiếng Việt (Vietnamese)";
  return std::string(code);
}

std::string languageMenuHeading(std::string_view language) {
  if (language == "th") return "เลือกภาษา (Language)";
  if (language == "lo") return "ເລືອກພາສາ (Language)";
  if (language == "vi") return "Chọn ngôn ngữ (Language)";
  return "Language";
}

std::string xkbSourceLanguage(std::string_view id) {
  if (!id.starts_with("xkb:")) return "";
  std::string_view layout = id.substr(4);
  layout = layout.substr(0, layout.find(':'));
  if (layout == "us" || layout == "gb") return "en";
  if (layout == "th") return "th";
  if (layout == "la") return "lo";
  if (layout == "vn") return "vi";
  return "";
}

bool isEnglishInputSourceID(std::string_view id) {
  if (contains(id, "US") || contains(id, "ABC") || xkbSourceLanguage(id) == "en") return true;
  const std::string lower = lowercased(id);
  const std::string_view l = lower;
  return contains(l, "english") || l == "en" || l.starts_with("en-") || l.starts_with("en_");
}

std::string inputSourceDisplayName(std::string_view id) {
  if (isEnglishInputSourceID(id)) return "อังกฤษ (EN)";
  const std::string lower = lowercased(id);
  const std::string xkb = xkbSourceLanguage(id);
  if (xkb == "th" || contains(lower, "thai") || contains(lower, "kedmanee") || contains(lower, "pattajoti"))
    return "ไทย (TH)";
  if (xkb == "lo" || contains(lower, "lao")) return "ลาว (LO)";
  // The last non-empty component: "com.example.Foo." still names Foo.
  std::string_view last;
  size_t start = 0;
  while (start <= id.size()) {
    const size_t dot = id.find('.', start);
    const size_t end = dot == std::string_view::npos ? id.size() : dot;
    if (end > start) last = id.substr(start, end - start);
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return uppercased(last.empty() ? id : last);
}

std::string middleTruncated(std::string_view text, int maxCharacters) {
  if (maxCharacters <= 0) return "";
  if (text.empty()) return "";
  const std::vector<size_t> b = graphemeBoundaries(text);
  if (b.size() < 2) return std::string(text);
  const size_t clusters = b.size() - 1;
  if (clusters <= static_cast<size_t>(maxCharacters)) return std::string(text);
  const size_t half = static_cast<size_t>(maxCharacters - 1) / 2;
  const size_t headEnd = b[half];
  const size_t tailStart = b[clusters - half];
  std::string out;
  out.reserve(headEnd + kEllipsis.size() + (text.size() - tailStart));
  out.append(text.substr(0, headEnd)).append(kEllipsis).append(text.substr(tailStart));
  return out;
}

int differingCharacterCount(std::string_view a, std::string_view b) {
  const std::u32string sa = codePoints(a);
  const std::u32string sb = codePoints(b);
  if (sa.size() != sb.size()) {
    return static_cast<int>(sa.size() > sb.size() ? sa.size() - sb.size() : sb.size() - sa.size());
  }
  int differing = 0;
  for (size_t i = 0; i < sa.size(); ++i) {
    if (sa[i] != sb[i]) ++differing;
  }
  return differing;
}

std::string thaiOrEnglishText(std::string_view key, std::string_view language) {
  const std::string_view* found = LocalizedTable::shared().find(language == "th" ? "th" : "en", key);
  return found ? std::string(*found) : std::string(key);
}

std::string formatLocalized(std::string_view text, std::initializer_list<std::string> args) {
  std::string out;
  out.reserve(text.size());
  auto next = args.begin();
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '%' || i + 1 >= text.size()) {
      out.push_back(c);
      continue;
    }
    const char conversion = text[i + 1];
    if (conversion == '%') {
      out.push_back('%');
      ++i;
    } else if ((conversion == '@' || conversion == 'd') && next != args.end()) {
      out.append(*next++);
      ++i;
    } else {
      out.push_back(c);  // not a placeholder we fill: keep it as written
    }
  }
  return out;
}

}  // namespace tessa
