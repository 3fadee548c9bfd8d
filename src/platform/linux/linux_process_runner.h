#pragma once
// Child processes on Linux: the tool runs with its output collected; one
// still running after its time-out is killed and reported as timed out.
#include "platform/process_runner.h"

namespace tessa {

class LinuxProcessRunner final : public ProcessRunner {
 public:
  ProcessResult run(const std::string& path, const std::vector<std::string>& arguments,
                    double timeoutSeconds) override;
};

}  // namespace tessa
