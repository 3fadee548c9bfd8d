#include "dictionaries/word_lists.h"

#include <unistd.h>

#include <cstdlib>
#include <unordered_set>

#include "base/files.h"
#include "base/unicode.h"

namespace fs = std::filesystem;

namespace tessa {

// ------------------------------------------------------------- text helpers

std::string normalizeThaiSaraAm(const std::string& word) {
  // Sara am (U+0E33) is E0 B8 B3 in UTF-8; the tone marks U+0E48..U+0E4B
  // are E0 B9 88..8B. Typists often put the tone mark after sara am, but
  // the written form (and every word list) has it before.
  static constexpr std::string_view saraAm = "\xE0\xB8\xB3";
  if (word.find(saraAm) == std::string::npos) return word;
  std::string out;
  out.reserve(word.size());
  for (size_t i = 0; i < word.size();) {
    if (word.compare(i, 3, saraAm) == 0 && i + 6 <= word.size() && static_cast<uint8_t>(word[i + 3]) == 0xE0 &&
        static_cast<uint8_t>(word[i + 4]) == 0xB9 && static_cast<uint8_t>(word[i + 5]) >= 0x88 &&
        static_cast<uint8_t>(word[i + 5]) <= 0x8B) {
      out.append(word, i + 3, 3);
      out.append(saraAm);
      i += 6;
    } else {
      out += word[i++];
    }
  }
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
    char32_t c = decodeUtf8(text, i);
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
