#pragma once
// Small ASCII text helpers shared by the searches and the readers: blanks,
// trimming and case folding of Latin letters. Other scripts (Thai has no
// case) pass through as they are.
#include <string>
#include <string_view>

namespace tessa {

inline bool isAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

inline std::string trimmedAscii(std::string_view s) {
  while (!s.empty() && isAsciiSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isAsciiSpace(s.back())) s.remove_suffix(1);
  return std::string(s);
}

inline std::string foldedAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Whether `haystack`, folded, contains a needle already folded.
inline bool containsFolded(const std::string& haystack, const std::string& foldedNeedle) {
  return foldedAscii(haystack).find(foldedNeedle) != std::string::npos;
}

}  // namespace tessa
