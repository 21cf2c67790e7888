#include "job/content_pipeline.h"

#include <cassert>
#include <utility>
#include <vector>

#include "job/entry_operation.h"

namespace velmora {

ContentPipeline::~ContentPipeline() {
  assert(pending_.empty());
  TakeBack(true);
}

void ContentPipeline::Hand(RenamedFile file, EntryIntent intent) {
  pending_.emplace_back(std::move(file), std::move(intent));
  if (pending_.size() - started_ >= kEntriesPerStart) StartPending();
}

EntryResult ContentPipeline::TakeBack(bool quiet) {
  if (pending_.empty()) return EntryResult::kDone;
  StartPending();
  // Nothing else to do meanwhile: the walk takes entries from the back
  // while the worker goes on from the front.
  for (auto entry = pending_.rbegin(); entry != pending_.rend(); ++entry) Transform(*entry);
  worker_.Wait();
  EntryResult outcome = quiet ? EntryResult::kAbortRun : EntryResult::kDone;
  for (Pending& entry : pending_) {
    const EntryOutcome finished = FinishContents(host_, folder_, entry.file, entry.result, false,
                                                 outcome == EntryResult::kAbortRun);
    EntryResult result = finished.result;
    if (finished.step == EntryStep::kRetry) {
      result = ProcessEntry(host_, intents_, folder_, entry.file.directory, entry.file.name);
    }
    if (result == EntryResult::kDone) ++host_.job_.done;
    if (result == EntryResult::kAbortRun) outcome = EntryResult::kAbortRun;
  }
  pending_.clear();
  started_ = 0;
  return outcome;
}

void ContentPipeline::StartPending() {
  if (started_ == pending_.size()) return;
  // The entries themselves, not the queue, which grows meanwhile.
  std::vector<Pending*> entries;
  for (; started_ < pending_.size(); ++started_) entries.push_back(&pending_[started_]);
  worker_.Start([this, entries = std::move(entries)] {
    for (Pending* entry : entries) Transform(*entry);
  });
}

void ContentPipeline::Transform(Pending& entry) {
  if (entry.claimed.exchange(true, std::memory_order_acq_rel)) return;
  entry.result = TransformEntryContents(host_.crypter_, *host_.journal_, folder_, entry.intent,
                                        *entry.intent.file, entry.file.status, entry.file.target,
                                        false, nullptr, {});
  entry.intent.file.reset();
  entry.intent.contents = {};
}

}  // namespace velmora
