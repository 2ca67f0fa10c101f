#include "cutter/child_process.h"

#include <QProcess>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>
#endif

void tieBeforeStart(QProcess& process) {
#ifdef Q_OS_LINUX
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) // the parent died before the signal was asked for
            ::raise(SIGTERM);
    });
#else
    Q_UNUSED(process); // no parent-death signal: a killed window leaves its run to finish
#endif
}

void tieAfterStart(QProcess& process) {
    Q_UNUSED(process);
}
