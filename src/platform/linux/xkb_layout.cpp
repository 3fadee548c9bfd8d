#include "platform/linux/xkb_layout.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/events.h"
#include "platform/keyboard_tables.h"

namespace tessa {

namespace {

// libxkbcommon's reference counts are not atomic, and every layout shares the
// one compose table, so all translation goes through this lock.
std::mutex& xkbMutex() {
  static std::mutex m;
  return m;
}

// [ours] Virtual key code -> evdev code (linux/input-event-codes.h): the key
// each of the engine's key codes is read and typed with on Linux.
constexpr std::pair<uint16_t, uint32_t> kEvdevCodes[] = {
    {keycode::a, 30},           {keycode::s, 31},         {keycode::d, 32},         {keycode::f, 33},
    {keycode::h, 35},           {keycode::g, 34},         {keycode::z, 44},         {keycode::x, 45},
    {keycode::c, 46},           {keycode::v, 47},         {10, 86} /* ISO section */, {keycode::b, 48},
    {keycode::q, 16},           {keycode::w, 17},         {keycode::e, 18},         {keycode::r, 19},
    {keycode::y, 21},           {keycode::t, 20},         {keycode::one, 2},        {keycode::two, 3},
    {keycode::three, 4},        {keycode::four, 5},       {keycode::six, 7},        {keycode::five, 6},
    {keycode::equal, 13},       {keycode::nine, 10},      {keycode::seven, 8},      {keycode::minus, 12},
    {keycode::eight, 9},        {keycode::zero, 11},      {keycode::rightBracket, 27}, {keycode::o, 24},
    {keycode::u, 22},           {keycode::leftBracket, 26}, {keycode::i, 23},       {keycode::p, 25},
    {keycode::returnKey, 28},   {keycode::l, 38},         {keycode::j, 36},         {keycode::quote, 40},
    {keycode::k, 37},           {keycode::semicolon, 39}, {keycode::backslash, 43}, {keycode::comma, 51},
    {keycode::slash, 53},       {keycode::n, 49},         {keycode::m, 50},         {keycode::period, 52},
    {keycode::tab, 15},         {keycode::space, 57},     {keycode::grave, 41},     {keycode::deleteKey, 14},
    {keycode::escape, 1},       {keycode::command, 125},  {keycode::shift, 42},     {keycode::capsLock, 58},
    {keycode::option, 56},      {keycode::control, 29},   {keycode::rightShift, 54}, {keycode::rightOption, 100},
    {keycode::rightControl, 97}, {keycode::keypadEnter, 96}, {keycode::f19, 189},   {keycode::home, 102},
    {keycode::pageUp, 104},     {keycode::forwardDelete, 111}, {keycode::end, 107}, {keycode::pageDown, 109},
    {keycode::left, 105},       {keycode::right, 106},    {keycode::down, 108},     {keycode::up, 103},
};

bool isDeadKeysym(xkb_keysym_t sym) { return sym >= 0xfe50 && sym <= 0xfe93; }

// Pending dead keys are packed one per byte (keysym - 0xfe00), oldest first.
std::vector<xkb_keysym_t> unpackDeadKeys(uint32_t state) {
  std::vector<xkb_keysym_t> out;
  for (int i = 0; i < 4; ++i) {
    uint32_t b = (state >> (8 * i)) & 0xff;
    if (b == 0) break;
    out.push_back(0xfe00 + b);
  }
  return out;
}

uint32_t packDeadKeys(const std::vector<xkb_keysym_t>& syms) {
  uint32_t state = 0;
  for (size_t i = 0; i < syms.size() && i < 4; ++i) state |= (syms[i] - 0xfe00) << (8 * i);
  return state;
}

std::string keysymText(xkb_keysym_t sym) {
  char buf[64];
  int n = xkb_keysym_to_utf8(sym, buf, sizeof buf);
  return n > 1 ? std::string(buf, static_cast<size_t>(n - 1)) : std::string();
}

xkb_compose_table* sharedComposeTable(xkb_context* ctx) {
  // Built once from the system's UTF-8 compose file, never from the user's
  // ~/.XCompose or the environment, so results are the same on every machine.
  static xkb_compose_table* table = [ctx]() -> xkb_compose_table* {
    const char* path = "/usr/share/X11/locale/en_US.UTF-8/Compose";
    FILE* f = std::fopen(path, "r");
    if (!f) return nullptr;
    xkb_compose_table* t =
        xkb_compose_table_new_from_file(ctx, f, "en_US.UTF-8", XKB_COMPOSE_FORMAT_TEXT_V1, XKB_COMPOSE_COMPILE_NO_FLAGS);
    std::fclose(f);
    return t;
  }();
  return table;
}

// [ours] xkeyboard-config layout names that are not language codes.
constexpr std::pair<const char*, const char*> kXkbLanguages[] = {
    {"us", "en"}, {"gb", "en"}, {"la", "lo"}, {"vn", "vi"}, {"th", "th"}, {"ru", "ru"}, {"ua", "uk"},
    {"de", "de"}, {"fr", "fr"}, {"es", "es"}, {"it", "it"}, {"jp", "ja"}, {"kr", "ko"}, {"cn", "zh"},
    {"se", "sv"}, {"dk", "da"}, {"gr", "el"}, {"il", "he"}, {"ir", "fa"}, {"ara", "ar"}, {"cz", "cs"},
};

}  // namespace

std::string xkbLayoutLanguage(const std::string& layout) {
  for (const auto& [l, lang] : kXkbLanguages)
    if (layout == l) return lang;
  return layout;
}

std::optional<uint32_t> XkbKeyLayout::evdevCodeForKeyCode(uint16_t keyCode) {
  for (const auto& [vk, ev] : kEvdevCodes)
    if (vk == keyCode) return ev;
  return std::nullopt;
}

std::shared_ptr<const XkbKeyLayout> XkbKeyLayout::create(const std::string& layout, const std::string& variant) {
  std::lock_guard lock(xkbMutex());
  static std::map<std::string, std::shared_ptr<const XkbKeyLayout>> cache;
  std::string key = layout + ":" + variant;
  if (auto it = cache.find(key); it != cache.end()) return it->second;

  std::shared_ptr<XkbKeyLayout> made(new XkbKeyLayout());
  made->layout_ = layout;
  made->variant_ = variant;
  made->context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  if (made->context_) {
    xkb_context_set_log_level(made->context_, XKB_LOG_LEVEL_CRITICAL);
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layout.c_str();
    names.variant = variant.c_str();
    names.options = "";
    made->keymap_ = xkb_keymap_new_from_names(made->context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  }
  if (!made->keymap_) {
    cache[key] = nullptr;
    return nullptr;
  }
  made->prepare();
  cache[key] = made;
  return made;
}

std::shared_ptr<const XkbKeyLayout> XkbKeyLayout::fromKeymap(xkb_keymap* keymap, uint32_t group,
                                                             const std::string& layout, const std::string& variant) {
  if (!keymap || group >= xkb_keymap_num_layouts(keymap)) return nullptr;
  std::lock_guard lock(xkbMutex());
  std::shared_ptr<XkbKeyLayout> made(new XkbKeyLayout());
  made->layout_ = layout;
  made->variant_ = variant;
  made->group_ = group;
  made->keymap_ = xkb_keymap_ref(keymap);
  // Only for the compose table, which is built once for every layout.
  made->context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  made->prepare();
  return made;
}

void XkbKeyLayout::prepare() {
  if (const char* name = xkb_keymap_layout_get_name(keymap_, group_)) description_ = name;
  shiftIndex_ = xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_SHIFT);
  capsIndex_ = xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_CAPS);
  // The third level (AltGr, our Option) is bound to Mod5 by level3(ralt_switch).
  level3Index_ = xkb_keymap_mod_get_index(keymap_, "Mod5");
  if (context_) compose_ = sharedComposeTable(context_);
}

XkbKeyLayout::~XkbKeyLayout() {
  if (keymap_) xkb_keymap_unref(keymap_);
  if (context_) xkb_context_unref(context_);
}

std::string XkbKeyLayout::composeKeysyms(const uint32_t* syms, size_t count, int& status) const {
  xkb_compose_state* cs = xkb_compose_state_new(compose_, XKB_COMPOSE_STATE_NO_FLAGS);
  status = XKB_COMPOSE_NOTHING;
  std::string out;
  if (!cs) return out;
  for (size_t i = 0; i < count; ++i) {
    xkb_compose_state_feed(cs, syms[i]);
    status = xkb_compose_state_get_status(cs);
    if (status == XKB_COMPOSE_CANCELLED || status == XKB_COMPOSE_COMPOSED) break;
  }
  if (status == XKB_COMPOSE_COMPOSED) {
    char buf[64];
    int n = xkb_compose_state_get_utf8(cs, buf, sizeof buf);
    if (n > 0) out.assign(buf, static_cast<size_t>(n));
    if (out.empty()) out = keysymText(xkb_compose_state_get_one_sym(cs));
  }
  xkb_compose_state_unref(cs);
  return out;
}

std::string XkbKeyLayout::translate(uint16_t keyCode, uint64_t modifierFlags, uint32_t& deadKeyState) const {
  // Only the printing keys type text; Return, Delete, arrows and the rest
  // answer empty and leave a pending dead key alone.
  if (!usKeyForCode(keyCode)) return {};
  auto evdev = evdevCodeForKeyCode(keyCode);
  if (!evdev) return {};
  std::lock_guard lock(xkbMutex());
  xkb_state* state = xkb_state_new(keymap_);
  if (!state) return {};
  xkb_mod_mask_t depressed = 0, locked = 0;
  if ((modifierFlags & flags::shift) && shiftIndex_ != XKB_MOD_INVALID) depressed |= 1u << shiftIndex_;
  if ((modifierFlags & flags::option) && level3Index_ != XKB_MOD_INVALID) depressed |= 1u << level3Index_;
  if ((modifierFlags & flags::capsLock) && capsIndex_ != XKB_MOD_INVALID) locked |= 1u << capsIndex_;
  xkb_state_update_mask(state, depressed, 0, locked, 0, 0, group_);
  xkb_keycode_t kc = *evdev + 8;
  xkb_keysym_t sym = xkb_state_key_get_one_sym(state, kc);
  std::string text;
  if (sym != XKB_KEY_NoSymbol && !isDeadKeysym(sym)) {
    char buf[64];
    int n = xkb_state_key_get_utf8(state, kc, buf, sizeof buf);
    if (n > 0) text.assign(buf, static_cast<size_t>(n));
  }
  xkb_state_unref(state);
  if (sym == XKB_KEY_NoSymbol) return {};

  auto pending = unpackDeadKeys(deadKeyState);
  if (!compose_) {
    deadKeyState = 0;
    return text;  // no compose data: dead keys type nothing
  }
  if (pending.empty()) {
    if (isDeadKeysym(sym)) {
      deadKeyState = packDeadKeys({sym});
      return {};
    }
    return text;
  }

  std::vector<uint32_t> seq(pending.begin(), pending.end());
  seq.push_back(sym);
  int status = XKB_COMPOSE_NOTHING;
  std::string composed = composeKeysyms(seq.data(), seq.size(), status);
  if (status == XKB_COMPOSE_COMPOSED) {
    deadKeyState = 0;
    return composed;
  }
  if (status == XKB_COMPOSE_COMPOSING && isDeadKeysym(sym) && pending.size() < 4) {
    pending.push_back(sym);
    deadKeyState = packDeadKeys(pending);
    return {};
  }
  // Not combinable: each pending accent types its spacing form, then this key.
  std::string out;
  for (xkb_keysym_t dead : pending) {
    uint32_t pair[2] = {dead, XKB_KEY_space};
    int s = 0;
    out += composeKeysyms(pair, 2, s);
  }
  if (isDeadKeysym(sym)) {
    deadKeyState = packDeadKeys({sym});
  } else {
    deadKeyState = 0;
    out += text;
  }
  return out;
}

}  // namespace tessa
