// The self-pipe: the handler only writes a byte, which the event loop reads.
#include "shell/qt/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace kelvora::qt {
namespace {

int selfPipe[2] = {-1, -1};  // [0] read by the event loop, [1] written by the handler

void onSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(selfPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() {
  if (m_notifier == nullptr) return;
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

bool TerminationSignals::install() {
  if (selfPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, selfPipe) != 0) {
    return false;
  }
  // A full pipe must not block the handler; one byte waiting is enough.
  ::fcntl(selfPipe[1], F_SETFL, ::fcntl(selfPipe[1], F_GETFL) | O_NONBLOCK);
  m_notifier = new QSocketNotifier(selfPipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] {
    char buffer[16];
    [[maybe_unused]] const ssize_t n = ::read(selfPipe[0], buffer, sizeof buffer);
    emit received();
  });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    if (::sigaction(sig, &action, nullptr) != 0) return false;
  }
  return true;
}

}  // namespace kelvora::qt
