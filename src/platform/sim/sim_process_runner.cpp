#include "platform/sim/sim_process_runner.h"

#include <fmt/format.h>

#include <algorithm>

namespace tessa {

// ---------------------------------------------------------------- runner

SimProcessRunner::SimProcessRunner(const SimContext& ctx) : ctx_(ctx) {
  registerTool(HidutilMapping::kPath, [this](const std::vector<std::string>& args) { return hidutil_.run(args); });
  registerTool(kActivateSettingsPath, [this](const std::vector<std::string>& args) {
    ProcessResult r;
    r.launched = true;
    if (args.size() == 1 && args[0] == "-u") {
      ++activateSettings_;
      r.exitStatus = 0;
    } else {
      r.exitStatus = 1;
      r.errorOutput = "usage: activateSettings [-u]\n";
    }
    return r;
  });
}

ProcessResult SimProcessRunner::run(const std::string& path, const std::vector<std::string>& arguments,
                                    double timeoutSeconds) {
  std::unique_lock lock(mutex_);
  Run record{path, arguments, false, false, -1, ctx_.now()};
  Behavior behavior;
  if (auto it = behaviors_.find(path); it != behaviors_.end()) behavior = it->second;
  ProcessResult result;
  auto tool = tools_.find(path);
  if (behavior.launchFails || tool == tools_.end()) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    result.launched = false;
    result.launchError = !behavior.launchError.empty() ? behavior.launchError
                         : tool == tools_.end()      ? fmt::format("The file “{}” doesn’t exist.", name)
                                                     : fmt::format("The file “{}” couldn’t be opened.", name);
    runs_.push_back(record);
    return result;
  }
  record.launched = true;
  if (behavior.hangs) {
    // The tool never finishes: the wait lasts the whole time-out, then it is killed.
    ctx_.clock().advance(timeoutSeconds > 0 ? timeoutSeconds : 0);
    result.launched = true;
    result.timedOut = true;
    result.exitStatus = 15;
    record.timedOut = true;
    record.exitStatus = result.exitStatus;
    runs_.push_back(record);
    return result;
  }
  Handler handler = tool->second;
  runs_.push_back(record);
  size_t index = runs_.size() - 1;
  lock.unlock();
  result = handler(arguments);
  lock.lock();
  if (behavior.exitStatus) result.exitStatus = *behavior.exitStatus;
  runs_[index].exitStatus = result.exitStatus;
  return result;
}

void SimProcessRunner::registerTool(const std::string& path, Handler handler) {
  std::lock_guard lock(mutex_);
  tools_[path] = std::move(handler);
}

void SimProcessRunner::setBehavior(const std::string& path, Behavior behavior) {
  std::lock_guard lock(mutex_);
  behaviors_[path] = std::move(behavior);
}

void SimProcessRunner::clearBehavior(const std::string& path) {
  std::lock_guard lock(mutex_);
  behaviors_.erase(path);
}

std::vector<SimProcessRunner::Run> SimProcessRunner::runs() const {
  std::lock_guard lock(mutex_);
  return runs_;
}

void SimProcessRunner::clearRuns() {
  std::lock_guard lock(mutex_);
  runs_.clear();
}

int SimProcessRunner::runCount(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(runs_.begin(), runs_.end(), [&](const Run& r) { return r.path == path; }));
}

int SimProcessRunner::activateSettingsCount() const {
  std::lock_guard lock(mutex_);
  return activateSettings_;
}

}  // namespace tessa
