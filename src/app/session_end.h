#pragma once
// Ending with the desktop session. The session manager's save request goes
// through the frame's normal close when a question is allowed; SIGTERM,
// SIGHUP, SIGINT and a save request without questions keep every modified
// page as a recovery copy (never over the page's file), write the history
// and end the run. The next start offers the copies.
#include <QObject>
#include <QPointer>
#include <functional>

class QSessionManager;
class QSocketNotifier;

namespace hemlo {

class TMainForm;

class SessionEnd : public QObject {
 public:
  // Installs the signal handlers at once; a signal that arrives before
  // Attach is handled when the frame is attached.
  explicit SessionEnd(QObject* parent = nullptr);
  ~SessionEnd() override;

  void Attach(TMainForm* frame);
  // How the run ends after a signal, with its exit code (1 when a modified
  // page could be kept nowhere); tests keep their process.
  std::function<void(int)> quit;

  // False asks the session manager to cancel the logout.
  bool CommitData(bool interaction_allowed);
  // False when a modified page could be kept nowhere.
  bool SaveWithoutAsking();

 private:
  void SignalArrived();
  void OnCommitDataRequest(QSessionManager& manager);

  QPointer<TMainForm> frame_;
  QSocketNotifier* notifier_ = nullptr;
  bool pending_ = false;
};

// Offers the recovery copies an earlier run left: はい opens them as modified
// pages (captioned with the page's path), いいえ discards them, キャンセル
// keeps them for the next start.
void OfferRecoveredPages(TMainForm& frame);

}  // namespace hemlo
