// tessavinor-run-reaped [--grace SECONDS] COMMAND [ARG...]: runs a test command so that nothing
// it starts outlives it. Everything the command leaves behind, however it
// ends (passed, failed, crashed), is ended once it has; the test runner's
// own time-out, which ends the process tree, reaches what was orphaned too,
// as it is re-parented here. A command that passed but left processes
// running fails: each is named on standard error. What is still ending when
// the command ends gets SECONDS (5) to end by itself first.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "x11_session/child_process.h"

int main(int argc, char** argv) {
  int first = 1;
  double grace = 5.0;
  if (argc > 2 && std::strcmp(argv[1], "--grace") == 0) {
    grace = std::atof(argv[2]);
    first = 3;
  }
  if (argc <= first) {
    std::fprintf(stderr, "usage: tessavinor-run-reaped [--grace SECONDS] COMMAND [ARG...]\n");
    return 2;
  }
  std::vector<std::string> command(argv + first, argv + argc);
  std::vector<std::string> left;
  int status = tessa::xsession::runAndReap(command, grace, &left);
  if (status == 127 && left.empty()) std::fprintf(stderr, "tessavinor-run-reaped: cannot run %s\n", argv[first]);
  for (const auto& process : left)
    std::fprintf(stderr, "tessavinor-run-reaped: %s left this running; ended it: %s\n", argv[first], process.c_str());
  // A skipped case that left something behind fails as well.
  if (!left.empty() && (status == 0 || status == 77)) status = 1;
  return status;
}
