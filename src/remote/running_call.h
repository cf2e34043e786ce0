#pragma once
// The client command a window has handed to its connection's worker, seen
// from the window's thread: from the click that started it until the
// window has taken its end, and what happened to it meanwhile. Everything
// the window must remember about "the command that runs" lives here, so a
// new command starts from a clean state in one step.

namespace hemlo::transfer {

class RunningCall {
 public:
  // How the running command is being stopped.
  enum class Stop {
    kNone,
    kAsked,  // Escape or "終了": the end is reported as a cancel
    kQuiet,  // a close waits for it: no message boxes at its end
  };

  // A command starts; `operation` marks a transfer operation (the idle
  // flag is cleared for it). Whatever the last command left is forgotten.
  void Begin(bool operation) {
    *this = RunningCall();
    active_ = true;
    operation_ = operation;
  }
  // The window has taken the command's end. What happened to it stays
  // readable until the next Begin.
  void End() { active_ = false; }
  // The operation's own end has been handled.
  void EndOperation() { operation_ = false; }

  bool Active() const { return active_; }
  bool Operation() const { return operation_; }

  void AskStop() {
    if (stop_ == Stop::kNone) stop_ = Stop::kAsked;
  }
  void StopQuietly() { stop_ = Stop::kQuiet; }
  bool StopAsked() const { return stop_ != Stop::kNone; }
  // The operation has stopped and said so: what it still does (the
  // listing of its end steps) is shown, not dropped as a stopped call's.
  void StopHonoured() {
    if (stop_ == Stop::kAsked) stop_ = Stop::kNone;
  }
  bool Quiet() const { return stop_ == Stop::kQuiet; }

  // "終了" while a command runs: the window closes once it has ended.
  void ExitWhenEnded() { exit_ = true; }
  bool TakeExit() {
    const bool exit = exit_;
    exit_ = false;
    return exit;
  }

  // The remote list holds part of a listing until its last rows arrive.
  void ListingStarted() { listing_partial_ = true; }
  void ListingEnded() { listing_partial_ = false; }
  bool ListingPartial() const { return listing_partial_; }

  // The user answered いいえ to the server's certificate or host key, or
  // cancelled the password question: the connect ends without an error.
  void ConnectDeclined(bool declined) { connect_declined_ = declined; }
  bool ConnectWasDeclined() const { return connect_declined_; }

 private:
  bool active_ = false;
  bool operation_ = false;
  Stop stop_ = Stop::kNone;
  bool exit_ = false;
  bool listing_partial_ = false;
  bool connect_declined_ = false;
};

}  // namespace hemlo::transfer
