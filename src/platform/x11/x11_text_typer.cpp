// Text typed on spare key codes: a character without a key of its own in
// the current group is typed on a key code no layout uses, mapped for the
// moment to that character alone; the mappings are undone at quit.
#include "platform/x11/x11_text_typer.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

#include "base/unicode.h"
#include "platform/x11/x11_event_system_internal.h"
#include "platform/x11/x11_posted_ledger.h"

namespace tessa {

using namespace x11_detail;

namespace {

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
bool TextTyper::type(const Event& event, bool passThrough) {
  if (!searched_) findSpareKeyCodes();
  if (spares_.empty()) {
    log("X11: no free key code to type text on - the key is posted by its code");
    return false;
  }
  std::vector<uint32_t> codePoints = utf8CodePoints(event.unicode);
  if (codePoints.empty()) return false;
  Event up = event;
  up.type = EventType::keyUp;
  bool first = true;
  for (uint32_t cp : codePoints) {
    auto spare = spareFor(static_cast<unsigned long>(xkb_utf32_to_keysym(cp)));
    if (!spare) return false;
    // The engine sees its key come back once; the other characters of a
    // cluster pass straight on. It is shown the release it posts itself
    // (the poster's), not this one.
    ledger_.post(d_, *spare, true, event, passThrough || !first);
    ledger_.post(d_, *spare, false, up, true);
    first = false;
  }
  return true;
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
