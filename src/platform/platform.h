#pragma once
// Everything the system asks of the machine, in one bundle. The engine holds
// a Platform and never knows whether it is the simulated desktop or a real
// back end.
#include <memory>

#include "base/clock.h"
#include "base/system_log.h"
#include "base/task_runner.h"
#include "platform/accessibility.h"
#include "platform/events.h"
#include "platform/haptics.h"
#include "platform/hid.h"
#include "platform/http_client.h"
#include "platform/input_sources.h"
#include "platform/keychain.h"
#include "platform/login_items.h"
#include "platform/pasteboard.h"
#include "platform/preference_domains.h"
#include "platform/private_keyboard_symbols.h"
#include "platform/process_runner.h"
#include "platform/screens.h"
#include "platform/spell_checker.h"
#include "platform/text_recognizer.h"
#include "platform/workspace.h"

namespace tessa {

struct Platform {
  EventSystem* events = nullptr;
  InputSources* inputSources = nullptr;
  Accessibility* accessibility = nullptr;
  Hid* hid = nullptr;
  Workspace* workspace = nullptr;
  PreferenceDomains* preferences = nullptr;
  ProcessRunner* processes = nullptr;
  SystemLog* systemLog = nullptr;
  Haptics* haptics = nullptr;
  Keychain* keychain = nullptr;
  HttpClient* http = nullptr;
  SpellChecker* spellChecker = nullptr;
  Screens* screens = nullptr;
  LoginItems* loginItems = nullptr;  // none: start at login is not offered
  Pasteboard* pasteboard = nullptr;  // none: no clipboard history
  TextRecognizer* textRecognizer = nullptr;  // none: copied images are kept without their text
  PrivateKeyboardSymbols privateSymbols;
  // Whether this process may change the machine's keyboard settings (the
  // installed application, or the simulated desktop whose changes are
  // simulated); false for a process hosted without an application bundle.
  bool hasBundleIdentifier = true;
};

// Time and queues the engine runs on.
struct Runtime {
  Clock* clock = nullptr;
  TaskRunner* main = nullptr;                   // the main queue
  std::shared_ptr<TaskRunner> settingsQueue;    // system keyboard changes
  std::shared_ptr<TaskRunner> diagnosticsDisk;  // every diagnostic file write
  std::shared_ptr<TaskRunner> background;       // utility work (dictionaries, polls)
};

}  // namespace tessa
