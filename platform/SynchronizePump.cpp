#include "platform/SynchronizePump.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include "platform/Thread.h"

TSynchronizePump::TSynchronizePump() {
  SetMainThread();
  SetSynchronizeWakeup([this] { QMetaObject::invokeMethod(this, [] { CheckSynchronize(); }, Qt::QueuedConnection); });
}

TSynchronizePump::~TSynchronizePump() { SetSynchronizeWakeup(nullptr); }

namespace {
int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const int saved = errno;  // the interrupted code may be about to read it
  const char c = 1;
  [[maybe_unused]] const ssize_t n = write(SignalPipe[1], &c, 1);
  errno = saved;
}
}  // namespace

void CloseOnTerminationSignals(QWidget* window) {
  // The handler only writes a byte; the event loop reads it and closes the window normally.
  if (SignalPipe[0] < 0 && pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, window);
  QPointer<QWidget> target = window;
  QObject::connect(notifier, &QSocketNotifier::activated, window, [target] {
    char buf[16];
    while (read(SignalPipe[0], buf, sizeof buf) > 0) {
    }
    if (target) target->close();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  // SIGHUP: the terminal that started us was closed. A signal that was ignored at start (nohup,
  // a background job of a shell) stays ignored.
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaction(sig, &sa, nullptr);
  }
}
