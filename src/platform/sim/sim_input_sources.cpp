#include "platform/sim/sim_input_sources.h"

#include <algorithm>

#include "platform/linux/xkb_layout.h"
#include "platform/sim/table_key_layout.h"

namespace tessa {

namespace {

struct KnownXkbSource {
  const char* id;
  const char* name;
  const char* language;
  const char* layout;
  const char* variant;
};

constexpr KnownXkbSource kKnownXkb[] = {
    {"com.apple.keylayout.Lao", "Lao", "lo", "la", ""},
    {"com.apple.keylayout.Vietnamese", "Vietnamese", "vi", "vn", ""},
    {"com.apple.keylayout.Russian", "Russian", "ru", "ru", ""},
    {"com.apple.keylayout.German", "German", "de", "de", ""},
    {"com.apple.keylayout.French", "French", "fr", "fr", ""},
    {"com.apple.keylayout.British", "British", "en", "gb", ""},
};

}  // namespace

SimInputSources::SimInputSources(const SimContext& ctx)
    : ctx_(ctx), selectedChanged_(ctx), enabledChanged_(ctx) {
  enabled_ = {"com.apple.keylayout.ABC", "com.apple.keylayout.Thai"};
  current_ = "com.apple.keylayout.ABC";
}

const SimInputSources::Source* SimInputSources::find(const std::string& id) const {
  if (auto it = sources_.find(id); it != sources_.end()) return &it->second;
  Source s;
  s.info.id = id;
  if (id == "com.apple.keylayout.ABC" || id == "com.apple.keylayout.US") {
    s.info.localizedName = id == "com.apple.keylayout.ABC" ? "ABC" : "U.S.";
    s.info.languages = {"en"};
    s.layout = TableKeyLayout::us();
  } else if (id == "com.apple.keylayout.Thai") {
    s.info.localizedName = "Thai";
    s.info.languages = {"th"};
    s.layout = TableKeyLayout::thai();
  } else if (id.rfind("xkb:", 0) == 0) {
    std::string rest = id.substr(4);
    std::string layout = rest, variant;
    if (auto colon = rest.find(':'); colon != std::string::npos) {
      layout = rest.substr(0, colon);
      variant = rest.substr(colon + 1);
    }
    auto xkb = XkbKeyLayout::create(layout, variant);
    if (!xkb) return nullptr;
    s.info.localizedName = xkb->description().empty() ? layout : xkb->description();
    s.info.languages = {xkbLayoutLanguage(layout)};
    s.layout = xkb;
  } else {
    const KnownXkbSource* known = nullptr;
    for (const auto& k : kKnownXkb)
      if (id == k.id) known = &k;
    if (!known) return nullptr;
    s.info.localizedName = known->name;
    s.info.languages = {known->language};
    s.layout = XkbKeyLayout::create(known->layout, known->variant);
  }
  return &sources_.emplace(id, std::move(s)).first->second;
}

std::optional<std::pair<std::string, std::string>> SimInputSources::xkbLayoutFor(const std::string& id) {
  if (id == "com.apple.keylayout.ABC" || id == "com.apple.keylayout.US") return std::pair{std::string("us"), std::string()};
  if (id == "com.apple.keylayout.Thai") return std::pair{std::string("th"), std::string()};
  if (id.rfind("xkb:", 0) == 0 && id.size() > 4) {
    std::string rest = id.substr(4);
    auto colon = rest.find(':');
    if (colon == std::string::npos) return std::pair{rest, std::string()};
    return std::pair{rest.substr(0, colon), rest.substr(colon + 1)};
  }
  for (const auto& k : kKnownXkb)
    if (id == k.id) return std::pair{std::string(k.layout), std::string(k.variant)};
  return std::nullopt;
}

std::optional<InputSourceInfo> SimInputSources::infoFor(const std::string& id) const {
  const Source* s = find(id);
  if (!s) return std::nullopt;
  InputSourceInfo info = s->info;
  info.enabled = std::find(enabled_.begin(), enabled_.end(), id) != enabled_.end();
  return info;
}

std::optional<std::vector<InputSourceInfo>> SimInputSources::enabledSources() const {
  if (!listReadable_) return std::nullopt;
  std::vector<InputSourceInfo> out;
  for (const auto& id : enabled_)
    if (auto info = infoFor(id)) out.push_back(*info);
  return out;
}

std::optional<InputSourceInfo> SimInputSources::currentKeyboardSource() const {
  if (current_.empty()) return std::nullopt;
  return infoFor(current_);
}

int32_t SimInputSources::select(const std::string& id) {
  if (selectFailure_) return *selectFailure_;
  auto info = infoFor(id);
  if (!info || !info->enabled || !info->selectCapable) return kParamErr;
  scheduleSwitch(id, "select");
  return 0;
}

void SimInputSources::selectNext() {
  std::vector<std::string> cycle;
  for (const auto& id : enabled_) {
    auto info = infoFor(id);
    if (!info || !info->selectCapable) continue;
    bool keyboard = info->category == "TISCategoryKeyboardInputSource" ||
                    info->category.find("InputMethod") != std::string::npos;
    if (keyboard) cycle.push_back(id);
  }
  if (cycle.empty()) return;
  auto it = std::find(cycle.begin(), cycle.end(), current_);
  std::string next = it == cycle.end() ? cycle.front() : *(std::next(it) == cycle.end() ? cycle.begin() : std::next(it));
  if (next == current_) return;
  scheduleSwitch(next, "hotKey");
}

void SimInputSources::scheduleSwitch(const std::string& id, const std::string& via) {
  double requested = ctx_.now();
  ctx_.post(latency_, [this, id, via, requested] {
    switches_.push_back(Switch{id, via, requested, ctx_.now()});
    if (current_ == id) return;  // selecting the current source changes nothing
    current_ = id;
    selectedChanged_.notify();
  });
}

std::shared_ptr<const KeyLayout> SimInputSources::layoutFor(const std::string& id) const {
  const Source* s = find(id);
  return s ? s->layout : nullptr;
}

Subscription SimInputSources::observeSelectedSourceChanged(std::function<void()> callback) {
  return selectedChanged_.add(std::move(callback));
}

Subscription SimInputSources::observeEnabledSourcesChanged(std::function<void()> callback) {
  return enabledChanged_.add(std::move(callback));
}

bool SimInputSources::isSecureEventInputEnabled() const { return secure_ && secure_(); }

void SimInputSources::registerSource(const InputSourceInfo& info, std::shared_ptr<const KeyLayout> layout) {
  sources_[info.id] = Source{info, std::move(layout)};
}

void SimInputSources::setEnabledSources(const std::vector<std::string>& ids) {
  enabled_.clear();
  for (const auto& id : ids)
    if (find(id) && std::find(enabled_.begin(), enabled_.end(), id) == enabled_.end()) enabled_.push_back(id);
  if (std::find(enabled_.begin(), enabled_.end(), current_) == enabled_.end())
    current_ = enabled_.empty() ? std::string() : enabled_.front();
  enabledChanged_.notify();
}

void SimInputSources::setCurrentSource(const std::string& id) {
  if (find(id)) current_ = id;
}

}  // namespace tessa
