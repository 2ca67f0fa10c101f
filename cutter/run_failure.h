// Turns a transcoder run that failed into a message a user can act on: a plain sentence on what
// happened first, then the transcoder's own reason for whoever needs the detail.
#pragma once

#include <QString>

#include <cstdint>

enum class RunKind { Open, Save };

// exitCode and errorLine as ShellAndWait returns them (errorLine: the last line on standard
// error, "codec: ..."); exitCode is not 0.
QString runFailureText(RunKind kind, std::int32_t exitCode, const QString& errorLine);
