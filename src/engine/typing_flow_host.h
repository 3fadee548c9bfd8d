#pragma once
// The engine's side of the typing flow: what the flow may ask of it.
#include "typing/typing_flow_controller.h"

namespace tessa {

class KeyboardEngine;

class EngineTypingFlowHost final : public TypingFlowHost {
 public:
  explicit EngineTypingFlowHost(KeyboardEngine& engine);
  double uptime() const override;
  TaskHandle afterOnMain(double delay, std::function<void()> task) override;
  void onMain(std::function<void()> task) override;
  void log(const std::string& line) override;
  std::optional<std::string> currentInputSourceID() const override;
  std::string languageOfSource(const std::string& sourceID) override;
  std::string currentLanguage() const override;
  std::optional<AXElement> focusedElement() override;
  AXResult<AXElement> focusedElementNow(double timeout) override;
  void post(const Event& event) override;
  void retarget(Event& event, const std::optional<std::string>& sourceID) override;
  void resyncModifiers() override;
  std::string renderWord(const std::vector<KeyStroke>& strokes, const std::string& sourceID) override;
  Subscription observeEnabledSourcesChanged(std::function<void()> callback) override;
  void forgetLayoutCaches() override;
  void noteSwitchConfirmed() override;
  void noteSwitchTimedOut() override;
  void noteKeystrokesDropped(size_t count) override;
  void holdEnded() override;
  void liveBufferChanged() override;

 private:
  KeyboardEngine& engine_;
};

}  // namespace tessa
