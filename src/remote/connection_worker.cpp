#include "remote/connection_worker.h"

#include <chrono>


namespace hemlo::transfer {

ConnectionWorker::ConnectionWorker() : thread_([this] { Loop(); }) {}

ConnectionWorker::~ConnectionWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

void ConnectionWorker::Post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

bool ConnectionWorker::WaitIdle(int timeout_ms) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                        [this] { return !running_ && jobs_.empty(); });
}

void ConnectionWorker::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (stop_) break;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    job();  // jobs catch their own errors; one that escapes ends the program
    job = nullptr;
    lock.lock();
    running_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
  running_ = false;
  idle_.notify_all();
}

struct UiCalls::Pending {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool abandoned = false;
  std::exception_ptr error;
};

void UiCalls::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    if (!queue_.empty() || !on_owner_thread_()) {
      queue_.push_back(std::move(fn));
      fn = nullptr;
    }
  }
  if (fn)
    fn();
  else
    wake_();
}

bool UiCalls::TakeOne() {
  std::function<void()> fn;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    fn = std::move(queue_.front());
    queue_.pop_front();
  }
  fn();
  return true;
}

bool UiCalls::HasQueued() {
  std::lock_guard lock(mutex_);
  return !queue_.empty();
}

void UiCalls::Call(const std::function<void()>& fn) {
  if (on_owner_thread_()) {
    fn();  // waiting for itself would never end
    return;
  }
  auto pending = std::make_shared<Pending>();
  {
    std::lock_guard lock(mutex_);
    if (abandoned_) throw UiCallAbandoned();
    current_ = pending;
  }
  Post([pending, fn] {
    {
      std::lock_guard lock(pending->mutex);
      if (pending->abandoned) return;
    }
    std::exception_ptr error;
    try {
      fn();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(pending->mutex);
    pending->error = std::move(error);
    pending->done = true;
    pending->done_cv.notify_all();
  });
  std::unique_lock lock(pending->mutex);
  pending->done_cv.wait(lock, [&] { return pending->done || pending->abandoned; });
  if (!pending->done) throw UiCallAbandoned();
  if (pending->error) std::rethrow_exception(pending->error);
}

void UiCalls::SetAbandoned(bool abandoned) {
  std::shared_ptr<Pending> current;
  {
    std::lock_guard lock(mutex_);
    abandoned_ = abandoned;
    if (abandoned) current = current_;
  }
  if (!current) return;
  std::lock_guard lock(current->mutex);
  if (current->done) return;
  current->abandoned = true;
  current->done_cv.notify_all();
}

}  // namespace hemlo::transfer
