#pragma once
// A worker thread with a run loop, the hand-over of a call to the window's
// thread, and the hooks through which this module reaches the application's
// main loop without knowing it.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qz::telnet {

// What the module needs of the application's main loop, installed by the
// application through a TMainLoopScope. Without hooks, calls handed over
// never run and the anti-freeze does nothing.
struct TMainLoopHooks {
  // Queues a call to run on the window's thread; callable from any thread.
  std::function<void(std::function<void()>)> Post;
  // Whether the caller is the window's thread.
  std::function<bool()> OnMainThread;
  // Handles the window's pending messages.
  std::function<void()> ProcessMessages;
};
// Installs hooks for as long as it lives; the previous ones are put back after.
class TMainLoopScope {
 public:
  explicit TMainLoopScope(TMainLoopHooks hooks);
  ~TMainLoopScope();
  TMainLoopScope(const TMainLoopScope&) = delete;
  TMainLoopScope& operator=(const TMainLoopScope&) = delete;

 private:
  TMainLoopHooks previous_;
};

// Keeps the window responsive while its thread waits inside a blocking
// network call.
struct TAntiFreeze {
  bool Active = true;
  int IdleTimeOut = 250;  // milliseconds between two message pumps
  bool ShouldUse() const;
  void Process() const;
};
TAntiFreeze& AntiFreeze();

// A thread that runs one step of work again and again until terminated. It
// owns the thread and ends it in its destructor, so whatever the step uses
// must outlive the TWorkerThread (its owner declares it last).
class TWorkerThread {
 public:
  explicit TWorkerThread(std::function<void()> step);
  ~TWorkerThread();
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;

  void Start();
  void Terminate() { terminated_ = true; }
  // The exception that ended the run loop, if any.
  std::string ExceptionText() const;

  // From the thread: runs call on the window's thread and waits until it
  // has run; an exception of the call is raised again here.
  void Synchronize(std::function<void()> call);
  // From any thread: runs call on the window's thread later, without
  // waiting for it; dropped once hand-overs are cancelled.
  void HandOverLater(std::function<void()> call);
  // From the window's thread: calls handed over from now on are dropped,
  // and one waiting is released without running.
  void CancelHandOvers();
  // From the window's thread: stops the thread and waits for it to end.
  void Release();

 private:
  struct HandOver;
  void Execute();

  std::function<void()> step_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  mutable std::mutex exceptionMutex_;
  std::string exceptionText_;
  std::shared_ptr<HandOver> handOver_;
};

}  // namespace qz::telnet
