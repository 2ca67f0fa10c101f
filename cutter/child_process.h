// Ties a transcoder run to the window's life, one source file per platform
// (child_process_posix.cpp, child_process_windows.cpp): a window that dies, killed or crashed,
// takes its transcoder with it, so nothing goes on writing behind its back.
#pragma once

class QProcess;

// Before the start: on Linux the child gets SIGTERM when the window dies (it then removes its
// own temporary).
void tieBeforeStart(QProcess& process);
// Once started: on Windows the child joins a job object that ends with the window
// (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE); it gets no chance to clean up there, so the window's
// removal of the run's part files is what holds.
void tieAfterStart(QProcess& process);
