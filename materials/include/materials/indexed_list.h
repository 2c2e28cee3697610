// The one lookup shape of the material section's lists: a list whose entries are found by
// value without a search.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <unordered_map>
#include <vector>

namespace cvm {

// A reference to nothing: the value of a failed lookup.
constexpr uint32_t kNoReference = 0xFFFFFFFF;

// Entries in the order they were appended, each with its position; an entry may occur more than
// once, and Find gives its first position. Only the list's order reaches the file: the index
// behind Find answers lookups and orders nothing.
template <typename T, typename Hash = std::hash<T>>
class IndexedList {
 public:
  IndexedList() = default;
  IndexedList(std::initializer_list<T> entries) {
    for (const T& entry : entries) Append(entry);
  }

  void Append(T entry) {
    // emplace keeps the first position of an entry met again.
    first_.emplace(entry, static_cast<uint32_t>(entries_.size()));
    entries_.push_back(std::move(entry));
  }
  // The first position of entry, or kNoReference.
  uint32_t Find(const T& entry) const {
    const auto found = first_.find(entry);
    return found == first_.end() ? kNoReference : found->second;
  }
  bool Contains(const T& entry) const { return first_.count(entry) != 0; }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const T& operator[](size_t i) const { return entries_[i]; }
  typename std::vector<T>::const_iterator begin() const { return entries_.begin(); }
  typename std::vector<T>::const_iterator end() const { return entries_.end(); }
  const std::vector<T>& Entries() const { return entries_; }

 private:
  std::vector<T> entries_;
  std::unordered_map<T, uint32_t, Hash> first_;
};

}  // namespace cvm
