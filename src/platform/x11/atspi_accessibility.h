#pragma once
// Accessibility over AT-SPI2: the focused element found on the accessibility
// bus, its text, caret, selection and bounds through the Text and Component
// interfaces, and edits through EditableText. AT-SPI counts text in
// characters (code points); the interface counts UTF-16 units, so every
// offset is converted here. Trusted means the accessibility bus is reachable
// and enabled; an element without a Text interface answers
// attributeUnsupported, which the engine treats as no Accessibility text.
// Call from one thread (the main queue): the library is not thread-safe.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "base/task_runner.h"
#include "platform/accessibility.h"
#include "platform/x11/main_queue_observers.h"

typedef struct _AtspiAccessible AtspiAccessible;

namespace tessa {

// UTF-16 units before the `characters`-th code point of `utf8` (clamped to
// the text), and back: the code points before UTF-16 unit `units` (a unit
// inside a surrogate pair counts the whole character as before it).
int64_t utf16OffsetOfCharacter(std::string_view utf8, int64_t characters);
int64_t characterOffsetOfUtf16(std::string_view utf8, int64_t units);

struct FieldText;

class AtspiAccessibility final : public Accessibility {
 public:
  explicit AtspiAccessibility(TaskRunner& main);
  ~AtspiAccessibility() override;
  AtspiAccessibility(const AtspiAccessibility&) = delete;
  AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

  // Asking with `prompt` turns the bus's accessibility on when it is off.
  bool isProcessTrusted(bool prompt) override;
  AXResult<AXElement> focusedElement(double timeoutSeconds) override;
  AXResult<AXElement> focusedElementOfApplication(int64_t pid, double timeoutSeconds) override;
  AXResult<std::string> role(const AXElement& e) override;
  AXResult<std::string> subrole(const AXElement& e) override;
  AXResult<std::string> value(const AXElement& e) override;
  AXResult<std::string> selectedText(const AXElement& e) override;
  AXResult<TextRange> selectedTextRange(const AXElement& e) override;
  AXResult<std::string> stringForRange(const AXElement& e, TextRange range) override;
  AXResult<Rect> boundsForRange(const AXElement& e, TextRange range) override;
  AXResult<Rect> frame(const AXElement& e) override;
  Subscription observeTrustListChanged(std::function<void()> callback) override;

  // Edits, at UTF-16 offsets. success, or the error the element answered.
  AXError insertText(const AXElement& e, int64_t location, const std::string& text);
  AXError deleteText(const AXElement& e, TextRange range);
  AXError setCaret(const AXElement& e, int64_t location);

 private:
  bool busUp();
  AXResult<AXElement> findFocused(int64_t pid, double timeoutSeconds);
  AtspiAccessible* lookup(const AXElement& e, AXError& error) const;
  AXElement remember(AtspiAccessible* a);
  // Runs `f` with the element and its text, when it has an editable one.
  AXError edit(const AXElement& e, const std::function<AXError(AtspiAccessible*, FieldText&)>& f);

  TaskRunner& main_;
  bool initialised_ = false;
  std::map<uint64_t, AtspiAccessible*> elements_;  // each holds a reference
  MainQueueObservers trustChanged_;
};

}  // namespace tessa
