#include "cutter/child_process.h"

#include <QProcess>

#include <windows.h>

namespace {

// One job for the window's whole life. Its handle is never closed by us: the system closes it
// when the window's process ends, however it ends, and the job's processes die with it.
HANDLE windowJob() {
    static const HANDLE job = [] {
        HANDLE handle = ::CreateJobObjectW(nullptr, nullptr);
        if (!handle)
            return HANDLE{};
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!::SetInformationJobObject(handle, JobObjectExtendedLimitInformation, &limits,
                                       sizeof limits)) {
            ::CloseHandle(handle);
            return HANDLE{};
        }
        return handle;
    }();
    return job;
}

} // namespace

void tieBeforeStart(QProcess& process) {
    Q_UNUSED(process);
}

void tieAfterStart(QProcess& process) {
    const HANDLE job = windowJob();
    if (!job || process.state() == QProcess::NotRunning)
        return;
    const HANDLE child = ::OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE,
                                       static_cast<DWORD>(process.processId()));
    if (!child)
        return;
    ::AssignProcessToJobObject(job, child); // a run that already ended needs no job
    ::CloseHandle(child);
}
