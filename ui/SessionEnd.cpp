// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionEnd.h"

#include <QCoreApplication>

#include "MainForm.h"

#ifdef _WIN32
#include <QAbstractNativeEventFilter>
#include <QByteArray>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quenlora::ui {

#ifdef _WIN32

namespace {

// Sees the session's messages before the window's own handling, which may
// close the window as if the user had.
class TSessionMessages : public QAbstractNativeEventFilter {
public:
  explicit TSessionMessages(TMain& window) : window_(window) {}

  bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override
  {
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_QUERYENDSESSION) {
      window_.SessionEnding();
    } else if (msg->message == WM_ENDSESSION) {
      if (msg->wParam != 0)
        window_.SessionEnded();
      else
        window_.SessionEndCancelled();
    }
    return false;
  }

private:
  TMain& window_;
};

}  // namespace

void EndWithTheSession(TMain& window)
{
  static TSessionMessages filter(window);
  QCoreApplication::instance()->installNativeEventFilter(&filter);
  // Started again after an update's restart or an installer's close; not
  // after a crash or a hang, which the user decides about.
  ::RegisterApplicationRestart(nullptr, RESTART_NO_CRASH | RESTART_NO_HANG);
}

#else

namespace {

int signalPipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte into the pipe, which the
// event loop reads.
extern "C" void OnSessionSignal(int)
{
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

void EndWithTheSession(TMain& window)
{
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    notifier->setEnabled(false);
    window.SessionEnded();
    // Ends every event loop, a dialog's too, without closing the window
    // as the user would.
    QCoreApplication::exit(0);
  });
  struct sigaction action {};
  action.sa_handler = OnSessionSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
}

#endif

}  // namespace quenlora::ui
