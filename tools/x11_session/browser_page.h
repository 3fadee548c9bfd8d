#pragma once
// A web browser (Firefox ESR or Chromium) on a local page with three fields:
// an <input>, a <textarea> and a contenteditable element, each emptied as it
// takes the focus. Started as a
// user's program starts, with nothing of ours to turn its accessibility on:
// it shares its fields over AT-SPI when the desktop's switch is on at its
// start. It gets a profile folder and XDG folders of its own, removed once
// it has ended. The page tells what each field holds on the browser's
// output (Firefox's dump(), Chromium's console log), so what a field shows
// is known without asking it over AT-SPI.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "x11_session/child_process.h"

namespace tessa::xsession {

class XSession;

enum class Browser { firefox, chromium };
// "firefox", "chromium".
const char* browserName(Browser browser);

class BrowserPage {
 public:
  enum class Field { input, textarea, editable };
  // "input", "textarea", "editable": also the fields' ids on the page.
  static const char* fieldName(Field field);
  // The browser's program, or none when it is not installed.
  static std::optional<std::string> program(Browser browser);
  // Null, with the reason in `why`, when the browser is missing or its page
  // does not come up with `focused` focused (the page's own report, then a
  // focused editable element in its AT-SPI tree when the switch is on).
  static std::unique_ptr<BrowserPage> start(const XSession& session, Browser browser, Field focused,
                                            std::string* why = nullptr);
  ~BrowserPage();
  BrowserPage(const BrowserPage&) = delete;
  BrowserPage& operator=(const BrowserPage&) = delete;

  // What the field held when the page last told; empty before it told.
  std::string text(Field field);
  // The field the page last told has the focus.
  std::optional<Field> focused();
  // Reads the page's reports until `done` holds, running `eachTurn` between
  // reads (a caller's event loop); false at the deadline.
  bool waitFor(const std::function<bool()>& done, double timeoutSeconds, const std::function<void()>& eachTurn = {});
  // Until AT-SPI shows an editable element with the focus in the browser
  // (holding `text`, when given: Firefox's accessible copy of a page follows
  // the page a moment behind, as a user's pause after typing lets it).
  bool waitForAccessibleFocus(double timeoutSeconds, const std::optional<std::string>& text = std::nullopt);
  int64_t pid() const { return process_->pid(); }
  Browser browser() const { return browser_; }

 private:
  BrowserPage() = default;
  // Takes the reports already written, waiting at most `seconds` for one.
  void readReports(double seconds);

  Browser browser_ = Browser::firefox;
  std::unique_ptr<ChildProcess> process_;
  std::string home_;
  std::map<Field, std::string> texts_;
  std::optional<Field> focused_;
};

}  // namespace tessa::xsession
