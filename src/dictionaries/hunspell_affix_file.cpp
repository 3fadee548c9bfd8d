// The affix and dictionary files as text: their character set, the .aff's
// directives and rules, and the rules' conditions.
#include "dictionaries/hunspell_expander.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include <fmt/format.h>

#include "base/files.h"
#include "base/unicode.h"
#include "dictionaries/hunspell_expander_internal.h"

namespace tessa {

namespace HunspellExpander {

namespace fs = std::filesystem;

namespace detail {

bool isFieldSeparator(char c) { return c == ' ' || c == '\t'; }

void splitFields(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isFieldSeparator(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !isFieldSeparator(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
}

bool startsWithDirective(std::string_view line, std::string_view keyword) {
  return line.size() > keyword.size() && line.substr(0, keyword.size()) == keyword &&
         isFieldSeparator(line[keyword.size()]);
}

bool isInt64(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  std::int64_t value;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc{} && end == s.data() + s.size();
}

void log(const LogFunction& fn, const std::string& line) {
  if (fn) fn(line);
}

}  // namespace detail

namespace {

using namespace detail;

// The encoding name on the first line that begins with "SET". Lines end at
// every kind of line break here, and empty lines do not count.
std::optional<std::string> findSetName(std::string_view text) {
  auto lineBreakLength = [&](size_t i) -> size_t {
    size_t next = i;
    const char32_t c = decodeUtf8(text, next);
    if (!isLineBreakCodePoint(c)) return 0;
    return (c == '\r' && next < text.size() && text[next] == '\n') ? 2 : next - i;
  };
  size_t start = 0;
  size_t i = 0;
  while (start <= text.size()) {
    size_t breakLength = 0;
    while (i < text.size() && (breakLength = lineBreakLength(i)) == 0) ++i;
    const std::string_view line = text.substr(start, i - start);
    if (startsWithDirective(line, "SET")) {
      std::vector<std::string_view> pieces;
      splitFields(line.substr(4), pieces);
      if (pieces.empty()) return std::nullopt;
      return std::string(pieces.front());
    }
    if (i >= text.size()) break;
    i += breakLength;
    start = i;
  }
  return std::nullopt;
}

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
    s.replace(pos, from.size(), to);
}

}  // namespace

std::optional<std::string> encoding(std::string_view name) {
  std::string upper = uppercased(name);
  replaceAll(upper, "MICROSOFT-", "");
  std::string normalised(trimWhitespace(upper, true));
  if (normalised.starts_with("ISO8859")) replaceAll(normalised, "ISO8859", "ISO-8859");
  const std::string beforeCodePage = normalised;
  if (normalised.starts_with("CP")) normalised = "WINDOWS-" + normalised.substr(2);

  if (auto found = registeredCharsetName(normalised)) return found;
  // "CP850" is no Windows code page: the name as written is the IBM one.
  if (normalised != beforeCodePage)
    if (auto found = registeredCharsetName(beforeCodePage)) return found;
  // The one name the Hunspell format documents that IANA does not register.
  if (normalised == "TIS620-2533") return registeredCharsetName("TIS-620");
  return std::nullopt;
}

std::optional<std::string> readHunspellFile(const fs::path& file, std::optional<std::string_view> affText,
                                            const LogFunction& logFn, std::string* error) {
  ReadFileResult read = readFileWithin(file, kMaxWordFileBytes);
  if (!read) {
    if (error) *error = read.tooLarge ? read.error : "cannot read " + file.string();
    return std::nullopt;
  }
  std::optional<std::string>& contents = read.contents;
  // A UTF-8 byte-order mark would otherwise hide the first line's directive
  // or turn the entry count into a word.
  if (contents->starts_with("\xEF\xBB\xBF")) contents->erase(0, 3);
  if (isValidUtf8(*contents)) return contents;
  const std::string_view bytes = *contents;

  std::string latin1;
  std::string_view setText;
  if (affText) {
    setText = *affText;
  } else {
    latin1 = decodeLatin1(bytes);
    setText = latin1;
  }
  if (const auto name = findSetName(setText)) {
    if (const auto charset = encoding(*name)) {
      if (auto text = decodeFromCharset(bytes, *charset)) {
        if (std::string_view(*text).starts_with("\xEF\xBB\xBF")) text->erase(0, 3);
        return text;
      }
      log(logFn, fmt::format("{} is not valid {}; reading it as ISO 8859-1", file.filename().string(), *charset));
    } else {
      log(logFn, fmt::format("Unknown character set \"{}\" on the SET line; reading {} as ISO 8859-1", *name,
                             file.filename().string()));
    }
  }
  return affText ? decodeLatin1(bytes) : latin1;
}

ParsedAffix parseAffix(std::string_view affText) {
  ParsedAffix parsed;
  // The cross-product mark of each flag, shared by PFX and SFX headers.
  std::unordered_map<std::string, bool> crossProduct;
  std::vector<std::string_view> fields;

  forEachLine(affText, [&](std::string_view raw) {
    const std::string_view line = trimWhitespace(raw);
    if (line.empty() || line.front() == '#') return;

    if (startsWithDirective(line, "NEEDAFFIX")) {
      const std::string_view flag = trimWhitespace(line.substr(9));
      if (!flag.empty()) parsed.needAffixFlag = firstCharacterKey(flag);
      return;
    }
    if (startsWithDirective(line, "FLAG")) {
      splitFields(line.substr(4), fields);
      if (!fields.empty() && (fields.front() == "long" || fields.front() == "num"))
        parsed.unsupportedFlagFormat = "FLAG " + std::string(fields.front());
      return;
    }
    if (startsWithDirective(line, "AF")) {
      parsed.unsupportedFlagFormat = "AF";
      return;
    }
    const bool isSuffix = startsWithDirective(line, "SFX");
    if (!isSuffix && !startsWithDirective(line, "PFX")) return;

    splitFields(line, fields);
    if (fields.size() < 4) return;
    const std::string flag = firstCharacterKey(fields[1]);
    auto& rules = isSuffix ? parsed.suffixes : parsed.prefixes;

    if (fields.size() == 4 && (fields[2] == "Y" || fields[2] == "N") && isInt64(fields[3])) {
      rules.try_emplace(flag);
      crossProduct[flag] = fields[2] == "Y";
      return;
    }

    AffixRule rule;
    rule.isSuffix = isSuffix;
    if (fields[2] != "0") rule.strip = std::string(fields[2]);
    const std::string_view affix = fields[3].substr(0, fields[3].find('/'));  // continuation flags are not followed
    if (affix != "0") rule.affix = std::string(affix);
    if (fields.size() > 4 && fields[4] != ".") rule.condition = std::string(fields[4]);
    const auto mark = crossProduct.find(flag);
    rule.crossProduct = mark != crossProduct.end() && mark->second;
    rules[flag].push_back(std::move(rule));
  });
  return parsed;
}

std::vector<CharMatcher> parseCondition(std::string_view condition) {
  const std::vector<std::string> chars = characterKeys(condition);
  std::vector<CharMatcher> matchers;
  size_t i = 0;
  while (i < chars.size()) {
    const std::string& c = chars[i];
    if (c == ".") {
      matchers.push_back({CharMatcher::Kind::any, {}});
      ++i;
    } else if (c == "[") {
      ++i;
      CharMatcher::Kind kind = CharMatcher::Kind::charClass;
      if (i < chars.size() && chars[i] == "^") {
        kind = CharMatcher::Kind::negatedClass;
        ++i;
      }
      std::vector<std::string> members;
      while (i < chars.size() && chars[i] != "]") members.push_back(chars[i++]);
      if (i < chars.size()) ++i;  // the closing "]"; an unclosed class takes the rest
      matchers.push_back({kind, std::move(members)});
    } else {
      matchers.push_back({CharMatcher::Kind::literal, {c}});
      ++i;
    }
  }
  return matchers;
}

}  // namespace HunspellExpander
}  // namespace tessa
