// One helper thread that runs jobs beside the caller, one at a time, in the
// order they were started: Start() a job (or several, for a pipeline), do
// the other half of the work, then Wait(). The thread lives as long as the
// object.
#ifndef VELMORA_PLATFORM_HELPER_THREAD_H_
#define VELMORA_PLATFORM_HELPER_THREAD_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velmora {

class HelperThread {
 public:
  HelperThread();
  ~HelperThread();  // runs the jobs still queued, then ends the thread
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Queues |job| behind the ones started before.
  void Start(std::function<void()> job);
  // Returns once every job started has run; what they wrote is then
  // visible to the caller.
  void Wait();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace velmora

#endif  // VELMORA_PLATFORM_HELPER_THREAD_H_
