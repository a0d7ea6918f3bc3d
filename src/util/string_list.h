#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmar {

// An ordered list of strings, each with an attached integer ("object").
class TStringList {
 public:
  struct Item {
    std::string Text;
    std::intptr_t Object = 0;
  };

  int Count() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  const std::string& operator[](int index) const { return items_[index].Text; }
  std::string& operator[](int index) { return items_[index].Text; }
  std::intptr_t Objects(int index) const { return items_[index].Object; }

  int Add(std::string text, std::intptr_t object = 0);
  void Insert(int index, std::string text, std::intptr_t object = 0);
  void Delete(int index);
  // Removes the first `count` items in one step.
  void DeleteFirst(int count);
  void Clear() { items_.clear(); }
  // Index of the first item equal to `text` under the collation, or -1.
  int IndexOf(std::string_view text) const;

  std::vector<Item>::const_iterator begin() const { return items_.begin(); }
  std::vector<Item>::const_iterator end() const { return items_.end(); }
  bool operator==(const TStringList& other) const;

 private:
  std::vector<Item> items_;
};

}  // namespace quillmar
