// One helper thread that runs one job at a time beside the caller, for
// splitting a piece of work in two: Start() a job, do the other half, then
// Wait(). The thread lives as long as the object.
#ifndef VELMORA_STATE_HELPER_THREAD_H_
#define VELMORA_STATE_HELPER_THREAD_H_

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace velmora::state {

class HelperThread {
 public:
  HelperThread();
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Runs |job| on the helper; the previous job must have been waited for.
  void Start(std::function<void()> job);
  // Returns once the job has run.
  void Wait();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace velmora::state

#endif  // VELMORA_STATE_HELPER_THREAD_H_
