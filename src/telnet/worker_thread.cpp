#include "worker_thread.h"

#include <utility>

namespace qz::telnet {
namespace {
TMainLoopHooks& Hooks() {
  static TMainLoopHooks hooks;
  return hooks;
}
}  // namespace

TMainLoopScope::TMainLoopScope(TMainLoopHooks hooks) : previous_(std::exchange(Hooks(), std::move(hooks))) {}

TMainLoopScope::~TMainLoopScope() { Hooks() = std::move(previous_); }

TAntiFreeze& AntiFreeze() {
  static TAntiFreeze antiFreeze;
  return antiFreeze;
}

bool TAntiFreeze::ShouldUse() const { return Active && Hooks().OnMainThread && Hooks().OnMainThread(); }

void TAntiFreeze::Process() const {
  if (ShouldUse() && Hooks().ProcessMessages) Hooks().ProcessMessages();
}

struct TWorkerThread::HandOver {
  std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> call;
  bool done = true;
  bool cancelled = false;
  std::exception_ptr error;

  // On the window's thread: runs the call waiting, if there is one.
  static void Serve(const std::weak_ptr<HandOver>& weak) {
    const auto self = weak.lock();
    if (!self) return;
    std::function<void()> call;
    {
      std::lock_guard lock(self->mutex);
      if (self->done) return;
      call = std::move(self->call);
    }
    std::exception_ptr error;
    try {
      call();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(self->mutex);
    self->error = error;
    self->done = true;
    self->changed.notify_all();
  }
};

TWorkerThread::TWorkerThread(std::function<void()> step)
    : step_(std::move(step)), handOver_(std::make_shared<HandOver>()) {}

TWorkerThread::~TWorkerThread() { Release(); }

void TWorkerThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TWorkerThread::Execute() {
  try {
    while (!terminated_) step_();
  } catch (const std::exception& error) {
    std::lock_guard lock(exceptionMutex_);
    exceptionText_ = error.what();
  } catch (...) {
    std::lock_guard lock(exceptionMutex_);
    exceptionText_ = "unknown error";
  }
  terminated_ = true;
}

std::string TWorkerThread::ExceptionText() const {
  std::lock_guard lock(exceptionMutex_);
  return exceptionText_;
}

void TWorkerThread::Synchronize(std::function<void()> call) {
  if (!Hooks().Post) return;  // no window to hand the call to
  {
    std::lock_guard lock(handOver_->mutex);
    if (handOver_->cancelled) return;
    handOver_->call = std::move(call);
    handOver_->done = false;
    handOver_->error = nullptr;
  }
  Hooks().Post([weak = std::weak_ptr<HandOver>(handOver_)] { HandOver::Serve(weak); });
  std::unique_lock lock(handOver_->mutex);
  handOver_->changed.wait(lock, [&] { return handOver_->done; });
  if (handOver_->error) std::rethrow_exception(std::exchange(handOver_->error, nullptr));
}

void TWorkerThread::HandOverLater(std::function<void()> call) {
  if (!Hooks().Post) return;
  // Cancelling happens on the window's thread too, so the check and the
  // call cannot be separated by it.
  Hooks().Post([weak = std::weak_ptr<HandOver>(handOver_), call = std::move(call)] {
    const auto self = weak.lock();
    if (!self) return;
    {
      std::lock_guard lock(self->mutex);
      if (self->cancelled) return;
    }
    call();
  });
}

void TWorkerThread::CancelHandOvers() {
  std::lock_guard lock(handOver_->mutex);
  handOver_->cancelled = true;
  handOver_->done = true;
  handOver_->call = nullptr;
  handOver_->changed.notify_all();
}

void TWorkerThread::Release() {
  if (!thread_.joinable()) return;
  Terminate();
  CancelHandOvers();
  thread_.join();
}

}  // namespace qz::telnet
