#pragma once
// The test fields' lines on standard input and output carry one text each:
// a newline in it goes as \n and a backslash as two. Shared by the fields
// (Qt, GTK) and the session library that talks to them.
#include <string>

namespace tessa::xsession {

inline std::string escapedLine(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

inline std::string unescapedLine(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      ++i;
      out += s[i] == 'n' ? '\n' : s[i];
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace tessa::xsession
