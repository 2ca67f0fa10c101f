#include "app/quit_signals.h"

#include <QWidget>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler only writes a byte; the notifier reads it on the window thread.
int gSignalSocket[2] = {-1, -1};

void onQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(gSignalSocket[0], &byte, 1);
}

} // namespace

void closeOnQuitSignals(QWidget* window) {
    if (gSignalSocket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalSocket) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalSocket[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(gSignalSocket[1], &byte, 1);
        window->close();
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

#else

void closeOnQuitSignals(QWidget*) {}

#endif
