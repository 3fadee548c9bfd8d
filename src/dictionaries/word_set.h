#pragma once
// The set every word check looks words up in.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <utility>

namespace tessa {

namespace detail {

// A growable array of trivially copyable values kept with malloc/realloc, so
// that growing a large array remaps its pages instead of copying them.
template <class T>
class PodBuffer {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  PodBuffer() = default;
  PodBuffer(const PodBuffer& other) { append(other.data_, other.size_); }
  PodBuffer(PodBuffer&& other) noexcept { swap(other); }
  PodBuffer& operator=(PodBuffer other) noexcept {
    swap(other);
    return *this;
  }
  ~PodBuffer() { std::free(data_); }

  void swap(PodBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }
  size_t size() const { return size_; }
  const T* data() const { return data_; }
  const T& operator[](size_t i) const { return data_[i]; }
  void reserve(size_t n) {
    if (n > capacity_) reallocate(n);
  }
  void append(const T* values, size_t n) {
    if (n == 0) return;
    if (size_ + n > capacity_) reallocate(std::max({size_ + n, capacity_ * 2, size_t{16}}));
    std::memcpy(data_ + size_, values, n * sizeof(T));
    size_ += n;
  }
  void push_back(const T& value) { append(&value, 1); }

 private:
  void reallocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* p = std::realloc(data_, n * sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    data_ = static_cast<T*>(p);
    capacity_ = n;
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// The slot table of WordFormSet: zeroed words that are put on transparent
// huge pages when the table is large, since a random probe into a table of
// megabytes otherwise costs a TLB miss each.
class SlotTable {
 public:
  SlotTable() = default;
  explicit SlotTable(size_t count);
  SlotTable(const SlotTable& other);
  SlotTable(SlotTable&& other) noexcept { swap(other); }
  SlotTable& operator=(SlotTable other) noexcept {
    swap(other);
    return *this;
  }
  ~SlotTable();

  void swap(SlotTable& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  uint64_t& operator[](size_t i) { return data_[i]; }
  const uint64_t& operator[](size_t i) const { return data_[i]; }

 private:
  uint64_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace detail

// A set of words kept compactly: the characters of all words back to back in
// one buffer, the end of each word, and an open-addressing table of word
// numbers. Real dictionaries expand to millions of forms that stay in memory
// for the life of the process, where a node-based set would need several
// times the space. Iterates in insertion order.
class WordFormSet {
 public:
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::string_view*;
    using reference = std::string_view;

    const_iterator() = default;
    const_iterator(const WordFormSet* set, size_t index) : set_(set), index_(index) {}
    std::string_view operator*() const { return set_->at(index_); }
    const_iterator& operator++() {
      ++index_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++index_;
      return old;
    }
    bool operator==(const const_iterator& other) const { return index_ == other.index_; }

   private:
    const WordFormSet* set_ = nullptr;
    size_t index_ = 0;
  };
  using iterator = const_iterator;
  using value_type = std::string_view;

  WordFormSet() = default;
  WordFormSet(std::initializer_list<std::string_view> words);

  // True when the word was not in the set yet.
  bool insert(std::string_view word);
  // For bulk insertion: hash a batch of words, prefetch their slots, then
  // insert each with its hash.
  static uint64_t hashOf(std::string_view word);
  void prefetch(uint64_t hash) const;
  bool insert(std::string_view word, uint64_t hash);

  bool contains(std::string_view word) const;
  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.size() == 0; }
  void reserve(size_t words);
  // The index-th word in insertion order.
  std::string_view at(size_t index) const {
    const uint32_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(chars_.data() + begin, ends_[index] - begin);
  }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }
  std::unordered_set<std::string> toUnorderedSet() const;

  // Same members, whatever the order.
  friend bool operator==(const WordFormSet& a, const WordFormSet& b);

 private:
  void rehash(size_t slotCount);

  detail::PodBuffer<char> chars_;
  detail::PodBuffer<uint32_t> ends_;
  // 0 = empty; else the upper 32 bits of the word's hash, then its number
  // + 1. The stored hash also picks the slot, so growing never hashes a word
  // again.
  detail::SlotTable slots_;
};

}  // namespace tessa
