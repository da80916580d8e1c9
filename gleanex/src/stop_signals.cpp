// A signal handler may do next to nothing: it writes the signal's number into a pipe, and
// the GUI thread's event loop (which the batch run drains after every item) reads it there
// and asks the dialog to stop and close.
#include "stop_signals.h"

#include "main_dlg.h"

#include <QSocketNotifier>

#include <cerrno>
#include <iterator>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};
int wakeFds[2] = {-1, -1};

}  // namespace

void CStopSignals::onSignal(int number) {
  const int saved = errno;
  const char byte = char(number);
  [[maybe_unused]] ssize_t n = ::write(wakeFds[1], &byte, 1);
  errno = saved;
}

CStopSignals::CStopSignals(CGleanexDlg& dlg) : dlg_(dlg) {
  if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &CStopSignals::deliver);
  struct sigaction stop = {};
  stop.sa_handler = &CStopSignals::onSignal;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &stop, &old_[i]);
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &old_[3]);
}

CStopSignals::~CStopSignals() {
  if (!notifier_) return;
  for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &old_[i], nullptr);
  sigaction(SIGXFSZ, &old_[3], nullptr);
  delete notifier_;
  ::close(wakeFds[0]);
  ::close(wakeFds[1]);
  wakeFds[0] = wakeFds[1] = -1;
}

void CStopSignals::deliver() {
  char bytes[16];
  bool any = false;
  while (::read(wakeFds[0], bytes, sizeof bytes) > 0) any = true;
  if (any) dlg_.StopAndClose();
}
