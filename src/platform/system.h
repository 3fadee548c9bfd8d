#pragma once
// The rest of the system the engine touches, for callers that use several:
// HID lock state, workspace, other applications' preferences, child
// processes, the system log, haptics, private keyboard switches.
#include "base/system_log.h"
#include "platform/haptics.h"
#include "platform/hid.h"
#include "platform/preference_domains.h"
#include "platform/private_keyboard_symbols.h"
#include "platform/process_runner.h"
#include "platform/workspace.h"
