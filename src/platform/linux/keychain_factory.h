#pragma once
// The keychain the application uses on Linux: the session's Secret Service
// when there is one, else the owner-only file store, with a warning in the
// log because those items are only as private as the owner's files.
#include <functional>
#include <memory>
#include <string>

#include "platform/services.h"

namespace tessa {

std::unique_ptr<Keychain> createSystemKeychain(const std::function<void(const std::string&)>& warn);

}  // namespace tessa
