// CStopSignals: the requests to end the program that come from outside the window (the
// session's log-out sends SIGHUP or SIGTERM, a terminal Ctrl-C sends SIGINT, a kill
// SIGTERM) reach the main dialog as its StopAndClose: a run in progress is stopped as by
// 停止 and ends normally, so that what it holds (the no-hit spreadsheet above all) is saved
// before the window closes. SIGXFSZ is ignored while it lives, so that a file-size limit
// fails a write, which the run reports, instead of killing the program in the middle of it.
#pragma once

#include <QObject>

#include <signal.h>

class CGleanexDlg;
class QSocketNotifier;

class CStopSignals : public QObject {
 public:
  /// \brief Installs the handlers (one object at a time); the old ones come back with its end.
  explicit CStopSignals(CGleanexDlg& dlg);
  ~CStopSignals() override;
  CStopSignals(const CStopSignals&) = delete;
  CStopSignals& operator=(const CStopSignals&) = delete;

 private:
  static void onSignal(int number);
  void deliver();

  CGleanexDlg& dlg_;
  QSocketNotifier* notifier_ = nullptr;
  struct sigaction old_[4] = {};
};
