#pragma once
// What the Hunspell expander's two halves share: the affix file's reader
// (hunspell_affix_file.cpp) and the expansion itself (hunspell_expander.cpp).
#include <string>
#include <string_view>
#include <vector>

#include "dictionaries/hunspell_expander.h"

namespace tessa::HunspellExpander::detail {

bool isFieldSeparator(char c);
// Fields separated by runs of spaces or tabs; empty fields are dropped.
void splitFields(std::string_view line, std::vector<std::string_view>& out);
// A directive keyword followed by a field separator at the start of the line.
bool startsWithDirective(std::string_view line, std::string_view keyword);
// A decimal integer with an optional sign that fits in 64 bits.
bool isInt64(std::string_view s);
void log(const LogFunction& fn, const std::string& line);

// The canonical (NFC) form of each user-perceived character of `text`, and
// of its first one.
std::vector<std::string> characterKeys(std::string_view text);
std::string firstCharacterKey(std::string_view text);

}  // namespace tessa::HunspellExpander::detail
