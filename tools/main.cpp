// tessavinorctl: the headless command-line tool.
#include <cstdio>
#include <cstring>
#include <string>

#include "ctl_commands.h"

namespace {
int usage() {
  std::fprintf(stderr,
               "usage: tessavinorctl simulate [--desktop sim|x11] SCENARIO.json\n"
               "       tessavinorctl expand AFF DIC\n"
               "       tessavinorctl fatfinger LANG WORD\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  if (command == "simulate") return runSimulateCommand(argc - 1, argv + 1);
  if (command == "expand") return runExpandCommand(argc - 1, argv + 1);
  if (command == "fatfinger") return runFatFingerCommand(argc - 1, argv + 1);
  std::fprintf(stderr, "tessavinorctl: unknown command \"%s\"\n", command.c_str());
  return usage();
}
