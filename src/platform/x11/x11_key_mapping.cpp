#include "platform/x11/x11_key_mapping.h"

#include "platform/x11/x11_event_system.h"

namespace tessa {

ProcessResult X11KeyMappingRunner::run(const std::string& path, const std::vector<std::string>& arguments,
                                       double timeoutSeconds) {
  if (path != HidutilMapping::kPath) return others_.run(path, arguments, timeoutSeconds);
  std::lock_guard lock(mutex_);
  ProcessResult result = mapping_.run(arguments);
  events_.setCapsLockAsF19(mapping_.capsLockToF19Active());
  return result;
}

}  // namespace tessa
