#pragma once
// Child processes, run to completion with a time-out.
#include <string>
#include <vector>

namespace tessa {

struct ProcessResult {
  bool launched = false;
  bool timedOut = false;
  int exitStatus = -1;
  std::string output;
  std::string errorOutput;
  std::string launchError;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Runs a tool and waits for it; a tool still running after `timeoutSeconds`
  // is killed and reported as timed out.
  virtual ProcessResult run(const std::string& path, const std::vector<std::string>& arguments,
                            double timeoutSeconds) = 0;
};

}  // namespace tessa
