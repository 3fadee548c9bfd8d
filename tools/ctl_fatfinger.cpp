// tessavinorctl fatfinger LANG WORD
//
// Prints the fat-finger candidates of WORD in LANG ("en", "th", …), one per
// line in the order they are proposed: the candidate, the position, the
// character replaced and its neighbour, tab-separated. A word is valid when
// the system spell checker's stand-in (Hunspell) accepts it in LANG. Exits
// with 2 on wrong usage or when no dictionary offers LANG.
#include <cstdio>
#include <string>

#include "ctl_commands.h"
#include "dictionaries/fat_finger.h"
#include "platform/linux/hunspell_spell_checker.h"

int runFatFingerCommand(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tessavinorctl fatfinger LANG WORD\n");
    return 2;
  }
  const std::string language = argv[1];
  tessa::HunspellSpellChecker checker;
  if (!checker.dictionaryNameFor(language)) {
    std::fprintf(stderr, "fatfinger: no dictionary for \"%s\"\n", language.c_str());
    return 2;
  }
  auto results = tessa::FatFingerCorrector::candidates(
      argv[2], language, [&](const std::string& word, const std::string& lang) { return checker.isCorrect(word, lang); });
  for (const auto& r : results)
    std::printf("%s\t%d\t%s\t%s\n", r.candidate.c_str(), r.index, r.originalChar.c_str(), r.substitutedChar.c_str());
  if (std::fflush(stdout) != 0) {
    std::perror("fatfinger: writing the candidates");
    return 2;
  }
  return 0;
}
