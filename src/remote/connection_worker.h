#pragma once
// The thread one connection's blocking client runs on, and the way back to
// the thread that owns the window. No Qt: the owner supplies how a function
// reaches its thread.
//
// ConnectionWorker runs posted jobs one at a time, in order, on a thread of
// its own. UiCalls carries calls the other way through a queue of its own
// (the owner's event loop is only woken, and takes one call per turn, so a
// flood of calls never holds the owner long): Post queues one and goes on, Call
// waits for its answer (a question to the user blocks the worker, never the
// window). While the owner waits for the worker to stop (closing), Call
// gives up at once instead of waiting for a thread that is itself waiting.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>


namespace hemlo::transfer {

class ConnectionWorker {
 public:
  ConnectionWorker();
  // Lets the running job end, drops queued ones, joins the thread.
  ~ConnectionWorker();
  ConnectionWorker(const ConnectionWorker&) = delete;
  ConnectionWorker& operator=(const ConnectionWorker&) = delete;

  void Post(std::function<void()> job);
  // True once nothing runs or waits (at most `timeout_ms`).
  bool WaitIdle(int timeout_ms);
  // True on the worker's own thread.
  bool OnWorkerThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;
  bool stop_ = false;
  std::thread thread_;
};

// A call the owner gave up on (closing): the worker's call ends with this.
struct UiCallAbandoned : std::exception {
  const char* what() const noexcept override { return "abandoned"; }
};

class UiCalls {
 public:
  // `wake` asks the owner's thread to call TakeOne once, later (it may be
  // called from any thread); `on_owner_thread` tells whether the caller is
  // on that thread.
  UiCalls(std::function<void()> wake, std::function<bool()> on_owner_thread)
      : wake_(std::move(wake)), on_owner_thread_(std::move(on_owner_thread)) {}

  // Queues `fn` for the owner's thread, in order; on that thread with
  // nothing queued it runs at once.
  void Post(std::function<void()> fn);
  // Runs `fn` on the owner's thread and waits for it; its exception is
  // raised here. UiCallAbandoned once the owner has given up.
  void Call(const std::function<void()>& fn);
  // On the owner's thread: runs the oldest queued function, if any
  // (false when there was none).
  bool TakeOne();
  bool HasQueued();

  // While set, waiting calls end and new ones fail at once.
  void SetAbandoned(bool abandoned);

 private:
  struct Pending;
  std::function<void()> wake_;
  std::function<bool()> on_owner_thread_;
  std::mutex mutex_;
  std::deque<std::function<void()>> queue_;
  bool abandoned_ = false;
  std::shared_ptr<Pending> current_;
};

}  // namespace hemlo::transfer
