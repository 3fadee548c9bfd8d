#pragma once
// The telemetry payload inspector without any toolkit: its texts in Thai or
// English, the payload exactly as the sender would post it now, and the
// copy button's mark that goes away two seconds after a copy.
#include <functional>
#include <memory>
#include <string>

#include "engine/engine_context.h"
#include "engine/engine_settings.h"
#include "engine/reporting.h"

namespace tessa {

class TelemetryManager;

class TelemetryInspectorModel : public std::enable_shared_from_this<TelemetryInspectorModel> {
 public:
  static constexpr double kCopiedMarkSeconds = 2.0;

  struct Texts {
    const char* title;
    const char* subtitle;
    const char* pointNoText;
    const char* pointRotatingId;
    const char* payloadHeading;
    const char* copy;
    const char* copied;
    const char* close;
  };
  // Thai for "th", English for every other language.
  static const Texts& textsFor(const std::string& appLanguage);

  // The payload comes from `telemetry`, fed with what `reports` reads of the
  // engine now; the texts follow the language of `settings`.
  static std::shared_ptr<TelemetryInspectorModel> create(EngineSettings settings, EngineContext context,
                                                         EngineReports reports, TelemetryManager& telemetry);

  const Texts& texts() const;
  // What a send would post now, unchanged.
  std::string payloadText() const;

  // Puts a fresh payload on the pasteboard through `write` and shows the
  // copied mark; each copy takes it away 2 s later, so the first of those
  // resets wins.
  void copyJSON(const std::function<void(const std::string&)>& write);
  bool hasCopied() const { return hasCopied_; }
  std::string copyButtonTitle() const { return hasCopied_ ? texts().copied : texts().copy; }
  const char* copySymbol() const { return hasCopied_ ? "checkmark" : "doc.on.doc"; }

  std::function<void()> onChange;

 private:
  TelemetryInspectorModel(EngineSettings settings, EngineContext context, EngineReports reports,
                          TelemetryManager& telemetry);

  EngineSettings settings_;
  EngineContext context_;
  EngineReports reports_;
  TelemetryManager& telemetry_;
  bool hasCopied_ = false;
};

}  // namespace tessa
