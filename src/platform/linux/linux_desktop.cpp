#include "platform/linux/linux_desktop.h"

#include "base/files.h"
#include "platform/linux/hunspell_spell_checker.h"
#include "platform/linux/json_preference_domains.h"
#include "platform/linux/keychain_factory.h"
#include "platform/linux/linux_process_runner.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/module_services.h"
#include "platform/linux/syslog_system_log.h"
#include "platform/linux/unavailable_desktop.h"
#include "platform/linux/xdg_autostart.h"

namespace tessa {

struct LinuxDesktop::Owned {
  SyslogSystemLog systemLog;
  std::unique_ptr<LinuxWorkspace> workspace;
  LinuxProcessRunner processes;
  std::unique_ptr<Keychain> keychain;
  std::unique_ptr<HttpClient> http;
  std::unique_ptr<HunspellSpellChecker> spellChecker;
  std::unique_ptr<TextRecognizer> textRecognizer;  // none when built without Tesseract
  UnavailableEventSystem events;
  UnavailableInputSources inputSources;
  UnavailableAccessibility accessibility;
  UnavailableHid hid;
  std::shared_ptr<JsonPreferenceDomains> preferences;
  NoHaptics haptics;
  XdgAutostartLoginItems loginItems;
  FixedScreens screens{{ScreenInfo{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}}};
};

LinuxDesktop::LinuxDesktop(TaskRunner& main, LinuxDesktopOptions options)
    : main_(main), options_(std::move(options)), owned_(std::make_unique<Owned>()) {
  auto* log = &owned_->systemLog;
  auto console = [log](const std::string& line) { log->console("Tessavinor: " + line); };
  owned_->workspace = std::make_unique<LinuxWorkspace>(main_, options_.bundleIdentifier, console);
  owned_->workspace->setApplicationFocus(options_.focus);
  owned_->keychain = keychainOnFirstUse([console] { return createSystemKeychain(console); });
  owned_->http = std::make_unique<ModuleHttpClient>(main_);
  owned_->spellChecker = std::make_unique<HunspellSpellChecker>();
  owned_->preferences =
      std::make_shared<JsonPreferenceDomains>(Paths::preferencesFolder() / kHotKeyFileName, console);
#ifdef TESSAVINOR_HAVE_TESSERACT
  owned_->textRecognizer = std::make_unique<ModuleTextRecognizer>(main_);
#endif
  if (!options_.events) unavailable_.push_back("keys");
  if (!options_.inputSources) unavailable_.push_back("input sources");
  if (!options_.accessibility) unavailable_.push_back("Accessibility");
  if (!options_.hid) unavailable_.push_back("Caps Lock");
}

LinuxDesktop::~LinuxDesktop() = default;

LinuxWorkspace& LinuxDesktop::workspace() { return *owned_->workspace; }
SystemLog& LinuxDesktop::systemLog() { return owned_->systemLog; }
std::shared_ptr<JsonPreferenceDomains> LinuxDesktop::hotKeyStore() { return owned_->preferences; }

Platform LinuxDesktop::platform() {
  Platform p;
  p.events = options_.events ? options_.events : &owned_->events;
  p.inputSources = options_.inputSources ? options_.inputSources : &owned_->inputSources;
  p.accessibility = options_.accessibility ? options_.accessibility : &owned_->accessibility;
  p.hid = options_.hid ? options_.hid : &owned_->hid;
  p.workspace = owned_->workspace.get();
  p.preferences = owned_->preferences.get();
  p.processes = options_.processes ? options_.processes : &owned_->processes;
  p.systemLog = &owned_->systemLog;
  p.haptics = &owned_->haptics;
  p.keychain = owned_->keychain.get();
  p.http = owned_->http.get();
  p.spellChecker = owned_->spellChecker.get();
  p.textRecognizer = owned_->textRecognizer.get();
  p.screens = options_.screens ? options_.screens : &owned_->screens;
  p.loginItems = &owned_->loginItems;
  p.pasteboard = options_.pasteboard;
  p.hasBundleIdentifier = !options_.bundleIdentifier.empty();
  return p;
}

}  // namespace tessa
