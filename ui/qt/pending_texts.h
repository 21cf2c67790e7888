// Control texts written by the job thread and not yet on screen.
//
// The job thread must not wait for the GUI thread on every progress line, so
// its text writes land here and the GUI thread applies them in one go. Only
// the newest text of each control is kept; controls come out in the order of
// their first write since the last Take(). Every write made before a later
// question to the GUI thread is applied before that question is shown, which
// is all the order the window can observe. Thread-safe.
#ifndef VELMORA_UI_QT_PENDING_TEXTS_H_
#define VELMORA_UI_QT_PENDING_TEXTS_H_

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

class PendingTexts {
 public:
  using Entry = std::pair<int, std::u16string>;

  // Records |text| for control |id|. True when the set was empty, that is,
  // when the caller has to arrange for a Take() on the GUI thread.
  bool Put(int id, std::u16string text);

  // Everything recorded since the last call; leaves the set empty.
  std::vector<Entry> Take();

 private:
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_PENDING_TEXTS_H_
