#pragma once
// What an operation needs from the window, apart from the operation itself,
// so that the remote side can report progress without knowing the
// operations. Core code (no Qt).
#include <cstdint>
#include <string>

namespace hemlo::transfer {

// What an operation needs from the window. Texts are UTF-8.
class TransferHost {
 public:
  virtual ~TransferHost() = default;

  // Set while no operation runs; a set flag during an operation is the
  // user's stop request (Escape).
  virtual bool IdleFlag() const = 0;
  virtual void SetIdleFlag(bool value) = 0;
  // Status panel 0.
  virtual void SetStatusText(const std::string& text) = 0;
  // File n of m is about to travel (n from 1); m = 0 ends the count.
  virtual void SetFileProgress(int /*n*/, int /*m*/) {}
  // Bytes of the current file so far; total 0 when unknown. Called often
  // during a long file: repaint the bar, do not run the event loop here.
  virtual void SetByteProgress(int64_t /*done*/, int64_t /*total*/) {}
  // Re-read the current remote folder into the remote list.
  virtual void RefreshRemoteList() = 0;
  // Re-read the local folder tree and the local file list.
  virtual void RefreshLocalLists() {}
  // Untick "全選択" (which clears a selection made with it).
  virtual void UncheckSelectAll() {}
  // True once the user has aborted a wait of the current operation: the
  // error the client raised for it ends the operation, and the window says
  // what happened.
  virtual bool WaitCancelled() const { return false; }
  // The stop test has just honoured a stop request: it must not also abort
  // the next wait (the end steps' refresh).
  virtual void StopHonoured() {}
};

}  // namespace hemlo::transfer
