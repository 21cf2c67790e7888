#include "ui/qt/pending_texts.h"

namespace velmora {

bool PendingTexts::Put(int id, std::u16string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  // A handful of controls at most: a linear search beats a map here.
  for (Entry& entry : entries_) {
    if (entry.first == id) {
      entry.second = std::move(text);
      return false;
    }
  }
  entries_.emplace_back(id, std::move(text));
  return entries_.size() == 1;
}

std::vector<PendingTexts::Entry> PendingTexts::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(entries_, {});
}

}  // namespace velmora
