#include "util/string_list.h"

#include "util/collation.h"

namespace quillmar {

int TStringList::Add(std::string text, std::intptr_t object) {
  items_.push_back(Item{std::move(text), object});
  return Count() - 1;
}

void TStringList::Insert(int index, std::string text, std::intptr_t object) {
  if (index < 0)
    index = 0;
  if (index > Count())
    index = Count();
  items_.insert(items_.begin() + index, Item{std::move(text), object});
}

void TStringList::Delete(int index) {
  if (index >= 0 && index < Count())
    items_.erase(items_.begin() + index);
}

void TStringList::DeleteFirst(int count) {
  if (count <= 0)
    return;
  if (count >= Count()) {
    items_.clear();
    return;
  }
  items_.erase(items_.begin(), items_.begin() + count);
}

int TStringList::IndexOf(std::string_view text) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameText(items_[i].Text, text))
      return i;
  }
  return -1;
}

bool TStringList::operator==(const TStringList& other) const {
  if (Count() != other.Count())
    return false;
  for (int i = 0; i < Count(); ++i) {
    if (items_[i].Text != other.items_[i].Text || items_[i].Object != other.items_[i].Object) {
      return false;
    }
  }
  return true;
}

}  // namespace quillmar
