#include "dictionaries/word_lists.h"

#include <unistd.h>

#include <cstdlib>
#include <unordered_set>

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include "base/files.h"

namespace fs = std::filesystem;

namespace tessa {

// ------------------------------------------------------------- text helpers

namespace {

// The code point at `i` (advancing `i`), or U+FFFD for a bad sequence.
char32_t nextCodePoint(std::string_view s, size_t& i) {
  int32_t pos = static_cast<int32_t>(i);
  UChar32 c;
  U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), pos, static_cast<int32_t>(s.size()), c);
  i = static_cast<size_t>(pos);
  return c < 0 ? 0xFFFD : static_cast<char32_t>(c);
}

// Start of the code point that ends at `end`.
size_t previousStart(std::string_view s, size_t end) {
  size_t i = end - 1;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80 && end - i < 4) --i;
  return i;
}

bool isAscii(std::string_view s) {
  for (char ch : s)
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  return true;
}

// Thai letters have no case, and Thai text is what most word files hold:
// skip the round trip through UTF-16 for it.
bool isCaselessThai(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    char32_t c = nextCodePoint(s, i);
    if (c < 0x80) {
      if (c >= 'A' && c <= 'Z') return false;
      continue;
    }
    if (c < 0x0E00 || c > 0x0E7F) return false;
  }
  return true;
}

}  // namespace

bool isWhitespaceCodePoint(char32_t c) {
  if (c == '\t' || c == ' ') return true;
  if (c < 0x80) return false;
  return u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isLineBreakCodePoint(char32_t c) {
  return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

std::string_view trimWhitespace(std::string_view text, bool lineBreaksToo) {
  auto trimmable = [lineBreaksToo](char32_t c) {
    return isWhitespaceCodePoint(c) || (lineBreaksToo && isLineBreakCodePoint(c));
  };
  size_t begin = 0;
  while (begin < text.size()) {
    size_t next = begin;
    if (!trimmable(nextCodePoint(text, next))) break;
    begin = next;
  }
  size_t end = text.size();
  while (end > begin) {
    size_t start = previousStart(text, end);
    size_t probe = start;
    if (!trimmable(nextCodePoint(text, probe)) || probe != end) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

size_t firstWhitespaceOffset(std::string_view text, bool lineBreaksToo) {
  for (size_t i = 0; i < text.size();) {
    size_t at = i;
    char32_t c = nextCodePoint(text, i);
    if (isWhitespaceCodePoint(c) || (lineBreaksToo && isLineBreakCodePoint(c))) return at;
  }
  return std::string_view::npos;
}

std::string lowercased(std::string_view text) {
  if (isAscii(text)) {
    std::string out(text);
    for (char& ch : out)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return out;
  }
  if (isCaselessThai(text)) return std::string(text);
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  u.toLower(icu::Locale::getRoot());
  std::string out;
  u.toUTF8String(out);
  return out;
}

std::vector<std::string> parseWordFileText(std::string_view text) {
  std::vector<std::string> words;
  std::unordered_set<std::string> seen;
  auto takeLine = [&](std::string_view line) {
    std::string_view trimmed = trimWhitespace(line);
    if (trimmed.empty()) return;
    std::string word = lowercased(trimmed);
    if (word.empty() || word[0] == '#') return;
    if (seen.insert(word).second) words.push_back(std::move(word));
  };
  size_t lineStart = 0;
  for (size_t i = 0; i < text.size();) {
    size_t at = i;
    char32_t c = nextCodePoint(text, i);
    if (isLineBreakCodePoint(c)) {
      takeLine(text.substr(lineStart, at - lineStart));
      lineStart = i;
    }
  }
  if (lineStart < text.size()) takeLine(text.substr(lineStart));
  return words;
}

// --------------------------------------------------------------- locations

fs::path spellingFolder() { return Paths::spellingFolder(); }

fs::path dictionariesFolder() { return Paths::applicationSupport() / "Dictionaries"; }

namespace {
std::optional<fs::path> ownExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return std::nullopt;
  return exe.parent_path();
}
}  // namespace

std::vector<fs::path> bundleResourceCandidates() {
  if (const char* env = std::getenv("TESSAVINOR_RESOURCES")) {
    if (!*env) return {};
    return {fs::path(env)};
  }
  std::vector<fs::path> out;
  if (auto exeDir = ownExecutableFolder()) {
    out.push_back(*exeDir / "data");
    out.push_back(exeDir->parent_path() / "share" / "tessavinor");
  }
#ifdef TESSAVINOR_INSTALL_DATADIR
  out.push_back(fs::path(TESSAVINOR_INSTALL_DATADIR));
#endif
  const char* xdg = std::getenv("XDG_DATA_DIRS");
  std::string dirs = (xdg && *xdg) ? xdg : "/usr/local/share:/usr/share";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // Relative entries are ignored, as the XDG rules ask.
    if (end > start && dirs[start] == '/') out.push_back(fs::path(dirs.substr(start, end - start)) / "tessavinor");
    start = end + 1;
  }
#ifdef TESSAVINOR_SOURCE_DIR
  out.push_back(fs::path(TESSAVINOR_SOURCE_DIR) / "data");
#endif
  return out;
}

std::optional<fs::path> bundleResourceFolder() {
  for (const auto& folder : bundleResourceCandidates()) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return folder;
  }
  return std::nullopt;
}

std::optional<fs::path> bundleResource(const std::string& base, const std::string& ext) {
  auto folder = bundleResourceFolder();
  if (!folder) return std::nullopt;
  fs::path file = *folder / (ext.empty() ? base : base + "." + ext);
  std::error_code ec;
  if (fs::is_regular_file(file, ec)) return file;
  return std::nullopt;
}

std::vector<fs::path> wordFileCandidates(const std::string& name) {
  std::vector<fs::path> out{spellingFolder() / name, dictionariesFolder() / name};
  fs::path p(name);
  std::string ext = p.has_extension() ? p.extension().string().substr(1) : std::string("txt");
  if (auto resource = bundleResource(p.stem().string(), ext)) out.push_back(*resource);
  return out;
}

// ---------------------------------------------------------- fixed tables

const std::vector<std::string_view>& builtInProgrammingWordList() {
  static const std::vector<std::string_view> words{
      // language keywords
      "func", "var", "let", "init", "self", "nil", "struct", "class", "import", "return", "true", "false", "for",
      "while", "if", "else", "switch", "case", "break", "print",
      // tools
      "git", "npm", "pod", "app", "sudo",
      // products, services and computing names
      "icloud", "iphone", "macbook", "xcode", "google", "youtube", "github", "vscode", "wifi", "internet", "email",
      "macos", "ios", "ipad", "airpods", "apple", "facebook", "instagram", "twitter", "tiktok", "gmail", "chrome",
      "safari", "windows", "android", "linux", "api", "json", "html", "css", "url", "http", "https", "sql"};
  return words;
}

const std::vector<std::string_view>& builtInCommonEnglishWordList() {
  static const std::vector<std::string_view> words{
      // the most frequent English words
      "the", "be", "to", "of", "and", "a", "in", "that", "have", "i", "it", "for", "not", "with", "you", "this",
      "from", "they", "would", "there", "people", "because", "on", "he", "as", "do", "at", "but", "his", "by", "we",
      "say", "her", "she", "or", "an", "will", "my", "one", "all", "their", "what", "so", "up", "out", "if",
      "about", "who", "get", "which", "go", "me", "when", "make", "can", "like", "time", "no", "just", "him",
      "know", "take", "into", "year", "your", "good", "some", "could", "them", "see", "other", "than", "then",
      "now", "look", "only", "come", "its", "over", "think", "also", "back", "after", "use", "two", "how", "our",
      "work", "first", "well", "way", "even", "new", "want", "any", "these", "give", "day", "most", "us", "are",
      "was", "has", "had", "were", "been", "more",
      // computing words
      "root", "git", "npm", "swift", "code", "file", "app", "wifi", "ggwp",
      // short words of two letters
      "is", "am", "ok", "hi", "id", "ex", "re", "mr", "ms", "vs", "ah", "oh", "ya", "yo", "um", "pm", "dj"};
  return words;
}

const std::vector<ScriptTableRow>& scriptTable() {
  static const std::vector<ScriptTableRow> rows{
      {{"lo"}, {{0x0E80, 0x0EFF}}, "\u0E82"},
      {{"ru", "uk", "bg", "sr", "be", "mk", "kk", "ky", "tg", "mn"},
       {{0x0400, 0x052F}, {0x2DE0, 0x2DFF}, {0xA640, 0xA69F}},
       "\u0444"},
      {{"el"}, {{0x0370, 0x03FF}, {0x1F00, 0x1FFF}}, "\u03C6"},
      {{"he", "yi"}, {{0x0590, 0x05FF}, {0xFB1D, 0xFB4F}}, "\u05E9"},
  };
  return rows;
}

const std::map<std::string, LocalDictionaryName>& localDictionaryNameTable() {
  static const std::map<std::string, LocalDictionaryName> table{
      {"be", {"be_BY", "be-official", ""}}, {"bg", {"bg_BG", "bg_BG", ""}}, {"el", {"el_GR", "el_GR", ""}},
      {"he", {"he_IL", "he_IL", ""}},       {"kk", {"kk_KZ", "kk_KZ", ""}}, {"lo", {"lo_LA", "lo_LA", ""}},
      {"mk", {"mk_MK", "mk_MK", ""}},       {"mn", {"mn_MN", "mn_MN", ""}}, {"ru", {"ru_RU", "ru_RU", ""}},
      {"sr", {"sr", "sr", ""}},             {"tg", {"tg_TG", "tg_TG", ""}}, {"th", {"th_TH", "th_TH", ""}},
      {"uk", {"uk_UA", "uk_UA", ""}},       {"yi", {"yi", "yi", ""}},
  };
  return table;
}

}  // namespace tessa
