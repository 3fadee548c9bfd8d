#pragma once
// What one selectable option card shows: a title, an optional line under it,
// an optional badge at the right of the title row, and its advantages and
// drawbacks (advantages first). The card stands for one value of a choice
// and is selected while the caller's current value equals it.
#include <optional>
#include <string>
#include <vector>

namespace tessa {

struct OptionCardContent {
  std::string title;
  std::optional<std::string> subtitle;
  std::optional<std::string> badge;
  std::vector<std::string> pros;
  std::vector<std::string> cons;

  bool hasNotes() const { return !pros.empty() || !cons.empty(); }
};

template <class Value>
struct OptionCardOf {
  OptionCardContent content;
  Value value;

  bool isSelected(const Value& selection) const { return selection == value; }
};

}  // namespace tessa
