#include "dictionaries/word_set.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tessa {

namespace detail {

SlotTable::SlotTable(size_t count) {
  if (count == 0) return;
  if (count > SIZE_MAX / sizeof(uint64_t)) throw std::bad_alloc();
  constexpr size_t kHugePage = size_t{2} << 20;
  const size_t bytes = count * sizeof(uint64_t);
  void* p = nullptr;
  if (bytes >= kHugePage) {
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (posix_memalign(&p, kHugePage, rounded) != 0) throw std::bad_alloc();
    ::madvise(p, rounded, MADV_HUGEPAGE);  // only a hint; ignored where huge pages are off
  } else {
    p = std::malloc(bytes);
    if (p == nullptr) throw std::bad_alloc();
  }
  std::memset(p, 0, bytes);
  data_ = static_cast<uint64_t*>(p);
  size_ = count;
}

SlotTable::SlotTable(const SlotTable& other) : SlotTable(other.size_) {
  if (size_ != 0) std::memcpy(data_, other.data_, size_ * sizeof(uint64_t));
}

SlotTable::~SlotTable() { std::free(data_); }

}  // namespace detail

WordFormSet::WordFormSet(std::initializer_list<std::string_view> words) {
  reserve(words.size());
  for (const auto word : words) insert(word);
}

void WordFormSet::reserve(size_t words) {
  ends_.reserve(words);
  size_t slots = 16;
  while (slots / 4 * 3 < words) slots *= 2;
  if (slots > slots_.size()) rehash(slots);
}

void WordFormSet::rehash(size_t slotCount) {
  detail::SlotTable slots(slotCount);
  const size_t mask = slotCount - 1;
  for (size_t k = 0; k < slots_.size(); ++k) {
    const uint64_t s = slots_[k];
    if (s == 0) continue;
    size_t i = (s >> 32) & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = s;
  }
  slots_.swap(slots);
}

uint64_t WordFormSet::hashOf(std::string_view word) { return std::hash<std::string_view>{}(word); }

void WordFormSet::prefetch(uint64_t hash) const {
  if (!slots_.empty()) __builtin_prefetch(&slots_[(hash >> 32) & (slots_.size() - 1)]);
}

bool WordFormSet::insert(std::string_view word) { return insert(word, hashOf(word)); }

bool WordFormSet::insert(std::string_view word, uint64_t hash) {
  // Linear probing stays short up to three quarters full.
  if (size() + 1 > slots_.size() / 4 * 3) rehash(std::max<size_t>(16, slots_.size() * 2));
  const uint64_t tag = hash >> 32;
  const size_t mask = slots_.size() - 1;
  size_t i = tag & mask;
  for (uint64_t s; (s = slots_[i]) != 0; i = (i + 1) & mask) {
    if ((s >> 32) == tag && at(static_cast<uint32_t>(s) - 1) == word) return false;
  }
  if (chars_.size() + word.size() > std::numeric_limits<uint32_t>::max() ||
      size() + 1 >= std::numeric_limits<uint32_t>::max())
    throw std::length_error("word set too large");
  chars_.append(word.data(), word.size());
  ends_.push_back(static_cast<uint32_t>(chars_.size()));
  slots_[i] = (tag << 32) | size();
  return true;
}

bool WordFormSet::contains(std::string_view word) const {
  if (slots_.empty()) return false;
  const uint64_t tag = hashOf(word) >> 32;
  const size_t mask = slots_.size() - 1;
  for (size_t i = tag & mask;; i = (i + 1) & mask) {
    const uint64_t s = slots_[i];
    if (s == 0) return false;
    if ((s >> 32) == tag && at(static_cast<uint32_t>(s) - 1) == word) return true;
  }
}

std::unordered_set<std::string> WordFormSet::toUnorderedSet() const {
  std::unordered_set<std::string> out;
  out.reserve(size());
  for (const auto word : *this) out.emplace(word);
  return out;
}

bool operator==(const WordFormSet& a, const WordFormSet& b) {
  if (a.size() != b.size()) return false;
  for (const auto word : a)
    if (!b.contains(word)) return false;
  return true;
}

}  // namespace tessa
