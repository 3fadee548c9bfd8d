#include "platform/x11/atspi_question_batch.h"

#include <cmath>

namespace tessa::atspi {

std::optional<uint64_t> liveStates(AtspiAccessible* a, double seconds, bool* timedOut) {
  QuestionBatch batch(a, static_cast<int>(std::ceil(seconds * 1000.0)));
  if (!batch.usable()) return std::nullopt;
  const size_t q = batch.ask("org.a11y.atspi.Accessible", "GetState");
  batch.flush();
  auto states = batch.states(q);
  if (timedOut) *timedOut = batch.timedOut();
  return states;
}

std::optional<AtspiRole> liveRole(AtspiAccessible* a, double seconds) {
  QuestionBatch batch(a, static_cast<int>(std::ceil(seconds * 1000.0)));
  if (!batch.usable()) return std::nullopt;
  const size_t q = batch.ask("org.a11y.atspi.Accessible", "GetRole");
  batch.flush();
  auto role = batch.uint32(q);
  if (!role) return std::nullopt;
  return static_cast<AtspiRole>(*role);
}

}  // namespace tessa::atspi
