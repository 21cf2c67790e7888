// The question asked when an entry's name cannot be converted: skip the
// entry, or stop the run; and whether to skip that kind of problem silently
// for the rest of the run.
#ifndef VELMORA_JOB_PROBLEM_PROMPT_H_
#define VELMORA_JOB_PROBLEM_PROMPT_H_

#include <cstdint>
#include <string>

#include "engine/crypter.h"
#include "job/job_host.h"

namespace velmora {

// |error| is the name conversion's refusal (not kNone); |directory| and
// |name| name the entry as it is on disk. Returns kSkipped or kAbortRun,
// never kDone. Asks host.questions_. Nothing on disk is touched.
EntryResult PromptProblem(JobHost& host, NameError error, const std::u16string& directory,
                          const std::u16string& name);

}  // namespace velmora

#endif  // VELMORA_JOB_PROBLEM_PROMPT_H_
