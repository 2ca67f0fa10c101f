// How the loader and the modules it calls report a failure: a run-time error whose text is a
// sentence the user can read, shown by whoever catches it.
#pragma once

#include <QString>

#include <stdexcept>

[[noreturn]] inline void fail(const QString& description) {
    throw std::runtime_error(description.toStdString());
}
