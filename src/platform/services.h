#pragma once
// Keychain, HTTP and the spell checker, for callers that use several.
#include "platform/http_client.h"
#include "platform/keychain.h"
#include "platform/spell_checker.h"
