// Lists of texts with an optional owned object each, sorted or in insertion order.
#pragma once

#include "framework/Exception.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

/// What a sorted list does with a text it already holds.
enum class TDuplicates { dupIgnore, dupAccept, dupError };

/// Negative, zero or positive; ASCII letters compared without regard to case.
int CompareTextOrdinalIgnoreCase(std::u16string_view a, std::u16string_view b);

struct TNoObject {};

/// Raises EListError with the string table's text for a refused duplicate.
[[noreturn]] void RaiseDuplicateString();

/// Texts with an object of type Object each, owned by the list. Sorted lists keep their
/// order on every insertion and find by binary search; unsorted ones keep insertion order.
template <typename Object = TNoObject> class TStringList {
public:
  struct Item {
    std::u16string text;
    std::unique_ptr<Object> object;
  };

  bool Sorted = false;
  bool CaseSensitive = false;
  TDuplicates Duplicates = TDuplicates::dupIgnore;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::u16string& Strings(int index) const { return items_.at(index).text; }
  Object* Objects(int index) const { return items_.at(index).object.get(); }

  /// The index the text was put at, or of the equal text a sorted list ignored it for.
  /// A duplicate in a sorted list with dupError raises EListError.
  int AddObject(std::u16string text, std::unique_ptr<Object> object) {
    int index = Count();
    if (Sorted) {
      if (Find(text, index)) {
        if (Duplicates == TDuplicates::dupIgnore)
          return index;
        if (Duplicates == TDuplicates::dupError)
          RaiseDuplicateString();
      }
    }
    items_.insert(items_.begin() + index, Item{std::move(text), std::move(object)});
    return index;
  }
  int Add(std::u16string text) { return AddObject(std::move(text), nullptr); }

  /// Sorted lists: true when found; index is then its position, else where it would go.
  bool Find(std::u16string_view text, int& index) const {
    int low = 0;
    int high = Count() - 1;
    bool found = false;
    while (low <= high) {
      int middle = (low + high) / 2;
      int c = Compare(items_[middle].text, text);
      if (c < 0) {
        low = middle + 1;
      } else {
        high = middle - 1;
        if (c == 0) {
          found = true;
          if (Duplicates != TDuplicates::dupAccept)
            low = middle;
        }
      }
    }
    index = low;
    return found;
  }

  /// Position of the text, or -1.
  int IndexOf(std::u16string_view text) const {
    if (Sorted) {
      int index;
      return Find(text, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
      if (Compare(items_[i].text, text) == 0)
        return i;
    return -1;
  }

  /// Removes the entry and destroys its object.
  void Delete(int index) { items_.erase(items_.begin() + index); }
  /// Takes the entry's object out of the list without destroying it.
  std::unique_ptr<Object> Extract(int index) {
    std::unique_ptr<Object> object = std::move(items_.at(index).object);
    items_.erase(items_.begin() + index);
    return object;
  }
  void Clear() { items_.clear(); }

private:
  int Compare(std::u16string_view a, std::u16string_view b) const {
    return CaseSensitive ? a.compare(b) : CompareTextOrdinalIgnoreCase(a, b);
  }

  std::vector<Item> items_;
};
