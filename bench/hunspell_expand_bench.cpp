// Affix expansion speed. The target: expanding Debian's en_US takes no longer
// than Hunspell's own `unmunch` on the same files (about 23 ms for the whole
// command on the reference machine, output included).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "dictionaries/hunspell_expander.h"

namespace {

namespace fs = std::filesystem;
using namespace tessa;

const fs::path kDic = "/usr/share/hunspell/en_US.dic";
const fs::path kAff = "/usr/share/hunspell/en_US.aff";

bool haveEnglish(benchmark::State& state) {
  if (fs::exists(kDic) && fs::exists(kAff)) return true;
  state.SkipWithError("hunspell-en-us is not installed");
  return false;
}

// Files to set: reading, decoding, parsing and expanding, as the dictionary
// loader calls it.
void BM_ExpandEnglishFiles(benchmark::State& state) {
  if (!haveEnglish(state)) return;
  size_t forms = 0;
  for (auto _ : state) {
    const auto result = HunspellExpander::expand(kDic, kAff);
    forms = result.forms.size();
    benchmark::DoNotOptimize(result);
  }
  state.counters["forms"] = static_cast<double>(forms);
  state.counters["forms/s"] = benchmark::Counter(static_cast<double>(forms), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ExpandEnglishFiles)->Unit(benchmark::kMillisecond);

// The expansion alone, from text already in memory.
void BM_ExpandEnglishText(benchmark::State& state) {
  if (!haveEnglish(state)) return;
  const std::string aff = *HunspellExpander::readHunspellFile(kAff);
  const std::string dic = *HunspellExpander::readHunspellFile(kDic, aff);
  const ParsedAffix parsed = HunspellExpander::parseAffix(aff);
  for (auto _ : state) benchmark::DoNotOptimize(HunspellExpander::expandDictionary(dic, parsed));
}
BENCHMARK(BM_ExpandEnglishText)->Unit(benchmark::kMillisecond);

// Expands an in-memory dictionary once per iteration, counting its forms.
void expandInLoop(benchmark::State& state, const std::string& aff, const std::string& dic) {
  const ParsedAffix parsed = HunspellExpander::parseAffix(aff);
  size_t forms = 0;
  for (auto _ : state) {
    const WordFormSet set = HunspellExpander::expandDictionary(dic, parsed);
    forms = set.size();
    benchmark::DoNotOptimize(set);
  }
  state.counters["forms"] = static_cast<double>(forms);
}

// A Cyrillic dictionary shaped like the Slavic ones (about ten forms per
// stem, multi-byte text, capitals in proper nouns): the Unicode path.
void BM_ExpandCyrillicText(benchmark::State& state) {
  const std::string aff =
      "SET UTF-8\n"
      "SFX A Y 9\n"
      "SFX A а ы а\nSFX A а е а\nSFX A а у а\nSFX A а ой а\nSFX A а ам а\n"
      "SFX A а ами а\nSFX A а ах а\nSFX A 0 ми [^а]\nSFX A 0 ов [^а]\n"
      "PFX B Y 2\nPFX B 0 не .\nPFX B 0 пере .\n";
  const char* const stems[] = {"книг", "рук", "Москв", "вод", "работ", "школ", "Земл", "стран"};
  const std::string letters = "бвгджзкл";  // two bytes each in UTF-8
  std::string dic = "100000\n";
  for (int i = 0; i < 100'000; ++i) {
    dic += stems[i % 8];
    for (int n = i; n > 0; n /= 8) dic += letters.substr(2 * (n % 8), 2);
    dic += (i % 3 == 0) ? "а/AB\n" : "а/A\n";
  }
  expandInLoop(state, aff, dic);
}
BENCHMARK(BM_ExpandCyrillicText)->Unit(benchmark::kMillisecond);

// Thai words whose characters carry vowel and tone marks: every word needs
// the full character segmentation.
void BM_ExpandThaiText(benchmark::State& state) {
  const std::string aff = "SET UTF-8\nSFX A Y 2\nSFX A 0 ๆ .\nSFX A น้ำ ไฟ น้ำ\nPFX B Y 1\nPFX B 0 ไม่ .\n";
  const char* const stems[] = {"กินน้ำ", "ดี", "น้ำใจ", "ร้อน", "ที่นั่ง", "เดี๋ยว", "ผู้ใหญ่", "สำคัญ"};
  const char* const tails[] = {"", "ก", "ข่", "ค้", "ง", "จ๊", "ฉ", "ช๋"};
  std::string dic = "50000\n";
  for (int i = 0; i < 50'000; ++i) {
    for (int n = i; n > 0; n /= 8) dic += tails[n % 8];
    dic += stems[i % 8];
    dic += "/AB\n";
  }
  expandInLoop(state, aff, dic);
}
BENCHMARK(BM_ExpandThaiText)->Unit(benchmark::kMillisecond);

}  // namespace
