#pragma once
// Text typed on spare key codes: a character without a key of its own in
// the current group is typed on a key code no layout uses, mapped for the
// moment to that character alone; the mappings are undone at quit. Only the
// event system's files include it.
//
// Used on the grab thread alone (on its connection), so it needs no lock.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/events.h"

typedef struct _XDisplay Display;

namespace tessa {

class PostedLedger;

class TextTyper {
 public:
  TextTyper(Display* d, PostedLedger& ledger, std::function<void(const std::string&)> log)
      : d_(d), ledger_(ledger), log_(std::move(log)) {}

  // What typing a text came to: typed (each character a press and release
  // posted through the ledger), not typable (nothing posted), or waiting for
  // the focused program to say it has taken the keys typed before on the key
  // codes the text needs (nothing posted yet: ask again, see pingWait).
  enum class Typed { done, cannot, later };
  // A replacement in its press's place (`passThrough`) never waits: the
  // question is asked and waited out at once.
  Typed type(const Event& event, bool passThrough);
  // While a question to the focused program is open: its connection, which
  // the answer wakes, and when it is given up. None otherwise.
  std::optional<std::pair<int, double>> pingWait() const;
  // Whether the event's text can be typed now without giving a key code
  // another character while a key typed on it is still on its way.
  bool canTypeWithoutReuse(const Event& event);
  // Quit: the key codes we mapped type nothing again.
  void restore();
  ~TextTyper();
  TextTyper(const TextTyper&) = delete;
  TextTyper& operator=(const TextTyper&) = delete;

  static std::vector<uint32_t> utf8CodePoints(const std::string& text);

 private:
  struct SpareKey {
    unsigned code = 0;
    unsigned long keysym = 0;  // NoSymbol: not mapped by us
    uint64_t lastUsed = 0;
  };
  static constexpr size_t kMaxSpareKeyCodes = 16;  // [ours]

  void findSpareKeyCodes();
  std::optional<unsigned> spareFor(unsigned long keysym);
  // Whether the focused program has taken every key typed on a borrowed key
  // code until now: asked with a ping it answers in turn, after them.
  // `typedUpTo`: the last tick of the clock whose keys have been posted.
  bool focusCaughtUp(uint64_t typedUpTo);
  // The same without waiting: asks once, and says nothing until the answer
  // comes or the wait is over.
  std::optional<bool> focusCaughtUpSoon(uint64_t typedUpTo);
  bool sendPing(uint64_t typedUpTo);
  Typed typeOn(const std::vector<uint32_t>& codePoints, const Event& event, bool passThrough);
  std::optional<bool> pingAnswer();
  // Whether typing these characters would give a key code another character
  // while the focused program may not have read the last key typed on it.
  bool needsCatchUp(const std::vector<uint32_t>& codePoints);
  std::vector<unsigned long> unmappedKeysyms(const std::vector<uint32_t>& codePoints) const;
  void log(const std::string& line) const {
    if (log_) log_(line);
  }

  Display* const d_;
  PostedLedger& ledger_;
  const std::function<void(const std::string&)> log_;
  std::vector<SpareKey> spares_;
  bool searched_ = false, changed_ = false;
  uint64_t clock_ = 0;
  // The keys typed up to this tick of the clock have reached the focused
  // program's hands.
  uint64_t caughtUpTo_ = 0;
  // The ping's own connection, opened when first needed: it hears the
  // answers the root window is sent.
  Display* ping_ = nullptr;
  unsigned long pings_ = 0;
  // The question open: the clock tick it covers and when it is given up.
  struct OpenPing {
    uint64_t upTo = 0;
    double deadline = 0;
  };
  std::optional<OpenPing> openPing_;
  // This text's question has been answered (or given up): its key codes are
  // remapped without asking again.
  bool askedForThisText_ = false;
};

}  // namespace tessa
