// Text typed on spare key codes: a character without a key of its own in
// the current group is typed on a key code no layout uses, mapped for the
// moment to that character alone; the mappings are undone at quit.
#include "platform/x11/x11_text_typer.h"

#include <xkbcommon/xkbcommon.h>

#include <poll.h>

#include <algorithm>

#include "base/unicode.h"
#include "platform/x11/x11_event_system_internal.h"
#include "platform/x11/x11_posted_ledger.h"

namespace tessa {

using namespace x11_detail;

namespace {

// [ours] How long a reused key code waits for the focused program to answer
// that it has taken the keys typed before (well under the key handler's
// budget, which a press frozen meanwhile waits out).
constexpr double kFocusPingWait = 0.4;

// [ours] Maps a spare key code to the symbol on both levels of the
// ALPHABETIC type, which consumes Lock and Shift: the key then types the
// symbol as it is under Caps Lock too. A core mapping of a lone letter would put its
// capital on the second level, and a one-level key leaves Lock unconsumed,
// so the focus's toolkit would capitalise it all the same.
bool mapSpare(Display* d, unsigned code, unsigned long keysym) {
  XkbDescPtr xkb = XkbGetMap(d, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
  if (!xkb) return false;
  int types[XkbNumKbdGroups] = {XkbAlphabeticIndex};
  XkbMapChangesRec changes{};
  const auto key = static_cast<KeyCode>(code);
  bool ok = xkb->map && xkb->map->num_types > XkbAlphabeticIndex &&
            XkbChangeTypesOfKey(xkb, key, 1, XkbGroup1Mask, types, &changes) == Success;
  if (ok) {
    KeySym* syms = XkbResizeKeySyms(xkb, key, 2);
    ok = syms != nullptr;
    if (ok) {
      syms[0] = syms[1] = keysym;
      changes.changed |= XkbKeySymsMask;
      changes.first_key_sym = key;
      changes.num_key_syms = 1;
      ErrorTrap trap(d);
      ok = XkbChangeMap(d, xkb, &changes) && trap.error() == 0;
    }
  }
  XkbFreeKeyboard(xkb, 0, True);
  return ok;
}

}  // namespace

// Types each character of the event's text on a key code no layout uses,
// mapped for the moment to that character alone (so every group and
// modifier types it). A key code is not mapped to another character while
// its earlier keys may still wait behind the grab: the focus reads the
// mapping when the key reaches it, not when it was posted.
// The question to the focused program is asked without waiting for its
// answer here: the grab thread waits for it among its other work, for a press
// of the user's frozen meanwhile must not wait with it (held past the
// server's repeat delay, it would be typed again).
TextTyper::Typed TextTyper::type(const Event& event, bool passThrough) {
  if (!searched_) findSpareKeyCodes();
  if (spares_.empty()) {
    log("X11: no free key code to type text on - the key is posted by its code");
    return Typed::cannot;
  }
  std::vector<uint32_t> codePoints = utf8CodePoints(event.unicode);
  if (codePoints.empty()) return Typed::cannot;
  if (!passThrough && needsCatchUp(codePoints)) {
    if (!focusCaughtUpSoon(clock_)) return Typed::later;
    askedForThisText_ = true;
  }
  const Typed typed = typeOn(codePoints, event, passThrough);
  askedForThisText_ = false;
  return typed;
}

TextTyper::Typed TextTyper::typeOn(const std::vector<uint32_t>& codePoints, const Event& event, bool passThrough) {
  Event up = event;
  up.type = EventType::keyUp;
  bool first = true;
  for (uint32_t cp : codePoints) {
    auto spare = spareFor(static_cast<unsigned long>(xkb_utf32_to_keysym(cp)));
    if (!spare) return first ? Typed::cannot : Typed::done;
    // The engine sees its key come back once; the other characters of a
    // cluster pass straight on. It is shown the release it posts itself
    // (the poster's), not this one.
    ledger_.post(d_, *spare, true, event, passThrough || !first);
    ledger_.post(d_, *spare, false, up, true);
    first = false;
  }
  return Typed::done;
}

std::vector<unsigned long> TextTyper::unmappedKeysyms(const std::vector<uint32_t>& codePoints) const {
  std::vector<unsigned long> wanted;
  for (uint32_t cp : codePoints) {
    const auto keysym = static_cast<unsigned long>(xkb_utf32_to_keysym(cp));
    const bool mapped =
        std::any_of(spares_.begin(), spares_.end(), [&](const SpareKey& s) { return s.keysym == keysym; });
    if (!mapped && std::find(wanted.begin(), wanted.end(), keysym) == wanted.end()) wanted.push_back(keysym);
  }
  return wanted;
}

// As spareFor picks: the least recently used key codes with nothing in flight.
bool TextTyper::needsCatchUp(const std::vector<uint32_t>& codePoints) {
  const size_t wanted = unmappedKeysyms(codePoints).size();
  if (wanted == 0) return false;
  std::vector<const SpareKey*> free;
  for (const auto& spare : spares_)
    if (!ledger_.inFlight(spare.code)) free.push_back(&spare);
  const size_t n = std::min(wanted, free.size());
  std::partial_sort(free.begin(), free.begin() + static_cast<std::ptrdiff_t>(n), free.end(),
                    [](const SpareKey* a, const SpareKey* b) { return a->lastUsed < b->lastUsed; });
  return std::any_of(free.begin(), free.begin() + static_cast<std::ptrdiff_t>(n),
                     [&](const SpareKey* s) { return s->keysym != NoSymbol && s->lastUsed > caughtUpTo_; });
}

bool TextTyper::canTypeWithoutReuse(const Event& event) {
  if (!searched_) findSpareKeyCodes();
  const std::vector<unsigned long> wanted = unmappedKeysyms(utf8CodePoints(event.unicode));
  const auto free = std::count_if(spares_.begin(), spares_.end(), [&](const SpareKey& s) {
    return std::find(wanted.begin(), wanted.end(), s.keysym) == wanted.end() && !ledger_.inFlight(s.code);
  });
  return static_cast<size_t>(free) >= wanted.size();
}

std::vector<uint32_t> TextTyper::utf8CodePoints(const std::string& text) {
  if (!isValidUtf8(text)) return {};
  const std::u32string cps = codePoints(text);
  return std::vector<uint32_t>(cps.begin(), cps.end());
}

// Key codes with no symbol in any group; the keymap's own keys are never
// touched.
void TextTyper::findSpareKeyCodes() {
  Display* d = d_;
  searched_ = true;
  int minCode = 8, maxCode = 255;
  XDisplayKeycodes(d, &minCode, &maxCode);
  int perCode = 0;
  KeySym* syms = XGetKeyboardMapping(d, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
  if (!syms) return;
  // [ours] From the top down: the high key codes are the ones no keyboard sends.
  for (int code = maxCode; code >= minCode; --code) {
    bool empty = true;
    for (int k = 0; k < perCode && empty; ++k) empty = syms[(code - minCode) * perCode + k] == NoSymbol;
    if (empty && !X11EventSystem::keyCodeForX(static_cast<unsigned>(code)))
      spares_.push_back({static_cast<unsigned>(code)});
    if (spares_.size() >= kMaxSpareKeyCodes) break;
  }
  XFree(syms);
}

// A spare key code that types the symbol: one already mapped to it, else
// the least recently used one with nothing of it still in flight.
std::optional<unsigned> TextTyper::spareFor(unsigned long keysym) {
  Display* d = d_;
  auto& spares = spares_;
  // The one symbol the key types, NoSymbol for none, ~0 for a key of the
  // keymap's own (the core view repeats a one-group key's symbol in the
  // other groups' columns).
  auto currentSym = [&](unsigned code) {
    int per = 0;
    KeySym* got = XGetKeyboardMapping(d, static_cast<KeyCode>(code), 1, &per);
    KeySym sym = NoSymbol;
    bool onlyOne = true;
    for (int k = 0; got && k < per; ++k) {
      if (got[k] == NoSymbol) continue;
      if (sym == NoSymbol) sym = got[k];
      else onlyOne = onlyOne && got[k] == sym;
    }
    if (got) XFree(got);
    return onlyOne ? sym : static_cast<KeySym>(~0ul);
  };
  ++clock_;
  for (auto& spare : spares) {
    // The keymap may have been replaced since (a layout change resets it).
    if (spare.keysym == keysym && currentSym(spare.code) == keysym) {
      spare.lastUsed = clock_;
      return spare.code;
    }
  }
  SpareKey* pick = nullptr;
  for (auto& spare : spares) {
    if (ledger_.inFlight(spare.code)) continue;
    if (!pick || spare.lastUsed < pick->lastUsed) pick = &spare;
  }
  if (!pick) {
    log("X11: every free key code is still in use - a typed character may be wrong");
    pick = &*std::min_element(spares.begin(), spares.end(),
                              [](const SpareKey& a, const SpareKey& b) { return a.lastUsed < b.lastUsed; });
  }
  // A program reads a key with the keymap it fetched when it came to the
  // change before it among its events, however late that is: a key code
  // given another character while the focused program is still behind on
  // its keys would type the new character there. It is remapped only once
  // that program has taken them.
  if (pick->keysym != NoSymbol && pick->lastUsed > caughtUpTo_ && !askedForThisText_) focusCaughtUp(clock_ - 1);
  const KeySym now = currentSym(pick->code);
  if (now != NoSymbol && now != pick->keysym) {
    // Taken by a keymap loaded since: never ours to change again.
    std::erase_if(spares, [&](const SpareKey& s) { return s.code == pick->code; });
    return spares.empty() ? std::nullopt : spareFor(keysym);
  }
  if (!mapSpare(d, pick->code, keysym)) {
    KeySym sym = keysym;
    XChangeKeyboardMapping(d, static_cast<int>(pick->code), 1, &sym, 1);
  }
  pick->keysym = keysym;
  pick->lastUsed = clock_;
  changed_ = true;
  return pick->code;
}

TextTyper::~TextTyper() {
  if (ping_) XCloseDisplay(ping_);
}

// The window manager's ping (_NET_WM_PING), which Qt and GTK windows answer
// as their event loop comes to it: every event sent before it, our keys
// among them, has been taken by then. A program that does not take part
// is not asked, and one that does not answer within the wait is not waited
// for longer.
bool TextTyper::focusCaughtUp(uint64_t typedUpTo) {
  for (;;) {
    auto answer = focusCaughtUpSoon(typedUpTo);
    if (answer) return *answer;
    const double left = openPing_->deadline - monotonicNow();
    pollfd fd{ConnectionNumber(ping_), POLLIN, 0};
    poll(&fd, 1, std::max(static_cast<int>(left * 1000.0) + 1, 0));
  }
}

std::optional<bool> TextTyper::focusCaughtUpSoon(uint64_t typedUpTo) {
  if (!openPing_ && !sendPing(typedUpTo)) return false;
  return pingAnswer();
}

std::optional<std::pair<int, double>> TextTyper::pingWait() const {
  if (!openPing_) return std::nullopt;
  return std::pair{ConnectionNumber(ping_), openPing_->deadline};
}

bool TextTyper::sendPing(uint64_t typedUpTo) {
  // The keys typed so far, up to the first still on its way: a key frozen
  // in the grab reaches the program after the ping.
  uint64_t upTo = typedUpTo;
  for (const auto& spare : spares_)
    if (spare.lastUsed > 0 && ledger_.inFlight(spare.code)) upTo = std::min(upTo, spare.lastUsed - 1);
  if (!ping_) {
    ping_ = XOpenDisplay(DisplayString(d_));
    if (!ping_) return false;
  }
  // Our keys (and the replays that let them through the grab) are all in
  // the server's hands, so delivered, before the ping goes.
  XSync(d_, False);
  Display* d = ping_;
  const Window root = DefaultRootWindow(d);
  const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(d, "_NET_WM_PING", False);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  // The window that takes pings: the focus or the top-level it is in.
  Window target = 0;
  {
    ErrorTrap trap(d);
    for (Window w = focus; w != 0 && w != PointerRoot && w != root && !target;) {
      Atom* list = nullptr;
      int count = 0;
      if (XGetWMProtocols(d, w, &list, &count)) {
        if (std::find(list, list + count, ping) != list + count) target = w;
        XFree(list);
      }
      Window rootRet = 0, parent = 0, *children = nullptr;
      unsigned n = 0;
      if (!XQueryTree(d, w, &rootRet, &parent, &children, &n)) break;
      if (children) XFree(children);
      w = parent;
    }
  }
  if (!target) return false;
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = target;
  ev.xclient.message_type = protocols;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(ping);
  ev.xclient.data.l[1] = static_cast<long>(++pings_);  // our token, handed back
  ev.xclient.data.l[2] = static_cast<long>(target);
  // The answer comes to the root window; its other news is not ours to
  // hear between pings.
  XSelectInput(d, root, SubstructureNotifyMask);
  bool sent;
  {
    ErrorTrap trap(d);  // the window may be gone
    XSendEvent(d, target, False, NoEventMask, &ev);
    sent = trap.error() == 0;
  }
  XFlush(d);
  if (!sent) {
    XSelectInput(d, root, NoEventMask);
    XSync(d, True);
    return false;
  }
  openPing_ = OpenPing{upTo, monotonicNow() + kFocusPingWait};
  return true;
}

std::optional<bool> TextTyper::pingAnswer() {
  Display* d = ping_;
  const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", True);
  const Atom ping = XInternAtom(d, "_NET_WM_PING", True);
  bool answered = false;
  while (!answered && XPending(d) > 0) {
    XEvent answer;
    XNextEvent(d, &answer);
    answered = answer.type == ClientMessage && answer.xclient.message_type == protocols &&
               static_cast<Atom>(answer.xclient.data.l[0]) == ping &&
               static_cast<unsigned long>(answer.xclient.data.l[1]) == pings_;
  }
  if (!answered && monotonicNow() < openPing_->deadline) return std::nullopt;
  XSelectInput(d, DefaultRootWindow(d), NoEventMask);
  XSync(d, True);  // what came meanwhile, a late answer too
  if (answered) caughtUpTo_ = openPing_->upTo;
  else log("X11: the focused program did not answer in time - a key typed on a reused key code may read wrong");
  openPing_.reset();
  return answered;
}

void TextTyper::restore() {
  if (!changed_) return;
  Display* d = d_;
  for (auto& spare : spares_) {
    if (spare.keysym == NoSymbol) continue;
    KeySym none = NoSymbol;
    XChangeKeyboardMapping(d, static_cast<int>(spare.code), 1, &none, 1);
    spare.keysym = NoSymbol;
  }
  changed_ = false;
}

}  // namespace tessa
