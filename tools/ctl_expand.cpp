// tessavinorctl expand AFF DIC
//
// Prints the lower-cased word forms of a Hunspell dictionary, one per line,
// as the dictionary loader would publish them. Diagnostics go to stderr; a
// file that cannot be read or is refused exits with status 2.
#include <cstdio>
#include <string>

#include "ctl_commands.h"
#include "dictionaries/hunspell_expander.h"

int runExpandCommand(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tessavinorctl expand AFF DIC\n");
    return 2;
  }
  std::string lastLogLine;
  const auto result = tessa::HunspellExpander::expand(argv[2], argv[1], [&](const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    lastLogLine = line;
  });
  if (!result.ok()) {
    // A refusal has been logged already; an unreadable file has not.
    if (*result.error != lastLogLine) std::fprintf(stderr, "expand: %s\n", result.error->c_str());
    return 2;
  }
  std::string out;
  for (const auto& form : result.forms) {
    out += form;
    out += '\n';
    if (out.size() >= (1u << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (std::fflush(stdout) != 0) {
    std::perror("expand: writing the forms");
    return 2;
  }
  return 0;
}
