#include "x11_session/browser_page.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "x11_session/x11_session.h"

namespace tessa::xsession {

namespace {
constexpr double kStartTimeout = 30.0;  // a browser's first start on a loaded machine takes seconds

// Each report is one line, "TESSAPAGE <what> ...", the texts URI-encoded so
// that a line holds any text. Firefox writes them with dump() (its pref is
// set in the profile), Chromium with console.log() on its log.
constexpr const char* kPage = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>fields</title></head>
<body>
<input id="input" autocomplete="off" spellcheck="false"><br>
<textarea id="textarea" spellcheck="false"></textarea><br>
<div id="editable" contenteditable="true" spellcheck="false" style="min-height:2em;border:1px solid"></div>
<script>
function report(line) {
  line = "TESSAPAGE " + line;
  if (typeof window.dump === "function") window.dump(line + "\n"); else console.log(line);
}
let lastFocused = "";
for (const id of ["input", "textarea", "editable"]) {
  const e = document.getElementById(id);
  // An editable element keeps a space at its end as a no-break space.
  const text = () => encodeURIComponent((e.isContentEditable ? e.textContent : e.value).replace(/\u00a0/g, " "));
  e.addEventListener("input", () => report("STATE " + id + " " + text()));
  // Each field starts empty as it takes the focus from another (not when its
  // window takes the focus back).
  e.addEventListener("focus", () => {
    if (lastFocused !== id) {
      if (e.isContentEditable) e.textContent = ""; else e.value = "";
      report("STATE " + id + " ");
    }
    lastFocused = id;
    report("FOCUS " + id);
  });
}
document.getElementById(location.hash.slice(1) || "input").focus();
report("READY " + (document.activeElement ? document.activeElement.id : ""));
</script>
</body></html>
)";

// Firefox's settings for a profile that starts straight on the page: no
// first-run pages, no prompts, no network of its own, and dump() on.
constexpr const char* kFirefoxPrefs = R"(user_pref("browser.dom.window.dump.enabled", true);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("browser.tabs.warnOnClose", false);
user_pref("app.update.disabledForTesting", true);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("browser.safebrowsing.update.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("browser.newtabpage.enabled", false);
)";

std::string decoded(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

}  // namespace

const char* browserName(Browser browser) { return browser == Browser::firefox ? "firefox" : "chromium"; }

const char* BrowserPage::fieldName(Field field) {
  switch (field) {
    case Field::input:
      return "input";
    case Field::textarea:
      return "textarea";
    case Field::editable:
      return "editable";
  }
  return "?";
}

std::optional<std::string> BrowserPage::program(Browser browser) {
  const auto candidates = browser == Browser::firefox ? std::vector<std::string>{"firefox-esr", "firefox"}
                                                      : std::vector<std::string>{"chromium", "chromium-browser"};
  for (const auto& name : candidates)
    for (const char* dir : {"/usr/bin", "/usr/local/bin"})
      if (access((std::string(dir) + "/" + name).c_str(), X_OK) == 0) return std::string(dir) + "/" + name;
  return std::nullopt;
}

std::unique_ptr<BrowserPage> BrowserPage::start(const XSession& session, Browser browser, Field focused,
                                                std::string* why) {
  auto fail = [why](const std::string& reason) {
    if (why) *why = reason;
    return nullptr;
  };
  const auto path = program(browser);
  if (!path) return fail(std::string(browserName(browser)) + " is not installed (scripts/install-deps installs it)");
  std::unique_ptr<BrowserPage> page(new BrowserPage());
  page->browser_ = browser;
  char folder[] = "/tmp/tessavinor-browser-XXXXXX";
  if (!mkdtemp(folder)) return fail("cannot make a folder for the browser");
  page->home_ = folder;
  const std::string& home = page->home_;
  for (const char* sub : {"config", "cache", "data", "runtime", "profile"})
    std::filesystem::create_directories(home + "/" + sub);
  std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
  std::ofstream(home + "/page.html") << kPage;
  const std::string url = "file://" + home + "/page.html#" + fieldName(focused);
  ChildProcess::Options options;
  options.env = {{"DISPLAY", session.displayName()},       {"HOME", home},
                 {"XDG_CONFIG_HOME", home + "/config"},   {"XDG_CACHE_HOME", home + "/cache"},
                 {"XDG_DATA_HOME", home + "/data"},       {"XDG_RUNTIME_DIR", home + "/runtime"},
                 {"GSETTINGS_BACKEND", "memory"},         {"MOZ_CRASHREPORTER_DISABLE", "1"},
                 {"MOZ_DBUS_REMOTE", "0"}};
  // Its log goes where its reports are read.
  std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", *path};
  if (browser == Browser::firefox) {
    std::ofstream(home + "/profile/user.js") << kFirefoxPrefs;
    argv.insert(argv.end(), {"--no-remote", "--new-instance", "--profile", home + "/profile", url});
  } else {
    argv.insert(argv.end(), {"--user-data-dir=" + home + "/profile", "--no-first-run", "--no-default-browser-check",
                             "--password-store=basic", "--disable-gpu", "--enable-logging=stderr", "--v=0",
                             // Without it Chromium shows no page over AT-SPI, as the HUD tells its users.
                             "--force-renderer-accessibility", url});
    // Chromium refuses to start as root with its sandbox on.
    if (geteuid() == 0) argv.insert(argv.end() - 1, "--no-sandbox");
  }
  page->process_ = ChildProcess::start(argv, options);
  if (!page->process_) return fail(std::string(browserName(browser)) + " did not start");
  if (!page->waitFor([&] { return page->focused_ == focused; }, kStartTimeout))
    return fail(std::string(browserName(browser)) + "'s page did not report its " + fieldName(focused) +
                " focused");
  if (session.accessibilityOn().value_or(false) && !page->waitForAccessibleFocus(kStartTimeout))
    return fail(std::string(browserName(browser)) + " shows no focused field over AT-SPI");
  return page;
}

BrowserPage::~BrowserPage() {
  process_.reset();
  if (!home_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(home_, ec);
  }
}

void BrowserPage::readReports(double seconds) {
  for (auto line = process_->readLine(seconds); line; line = process_->readLine(0)) {
    const auto at = line->find("TESSAPAGE ");
    if (at == std::string::npos) continue;
    std::string report = line->substr(at + 10);
    report = report.substr(0, report.find('"'));  // Chromium quotes the message
    const auto space = report.find(' ');
    const std::string what = report.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : report.substr(space + 1);
    const std::string id = rest.substr(0, rest.find(' '));
    for (Field f : {Field::input, Field::textarea, Field::editable}) {
      if (id != fieldName(f)) continue;
      if (what == "STATE") texts_[f] = decoded(rest.size() > id.size() ? rest.substr(id.size() + 1) : "");
      if (what == "FOCUS" || what == "READY") focused_ = f;
    }
  }
}

std::string BrowserPage::text(Field field) {
  readReports(0);
  return texts_[field];
}

std::optional<BrowserPage::Field> BrowserPage::focused() {
  readReports(0);
  return focused_;
}

bool BrowserPage::waitFor(const std::function<bool()>& done, double timeoutSeconds,
                          const std::function<void()>& eachTurn) {
  const double deadline = now() + timeoutSeconds;
  for (;;) {
    readReports(0);
    if (done()) return true;
    if (now() >= deadline) return false;
    if (eachTurn) eachTurn();
    readReports(eachTurn ? 0.002 : 0.05);
  }
}

bool BrowserPage::waitForAccessibleFocus(double timeoutSeconds, const std::optional<std::string>& text) {
  // Asked by a client of its own: the AT-SPI library is one per process, and
  // the application under test owns this one's.
  std::vector<std::string> argv = {TESSAVINOR_ATSPI_FOCUS_PATH, std::to_string(pid()), std::to_string(timeoutSeconds)};
  if (text) argv.push_back(*text);
  auto probe = ChildProcess::start(argv);
  return probe && probe->waitForLine("FOCUSED", timeoutSeconds + 5.0);
}

}  // namespace tessa::xsession
