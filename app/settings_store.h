// The six output settings kept in the per-user settings store, and the rule that decides what a
// stored text means for its control.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

inline const QString kKeyBitrate = QStringLiteral("Bitrate");
inline const QString kKeyChannels = QStringLiteral("Channels");
inline const QString kKeyFrequency = QStringLiteral("Frequency");
inline const QString kKeyOutputFolder = QStringLiteral("Output Folder");
inline const QString kKeyAutoOpen = QStringLiteral("Auto Open Folder");
inline const QString kKeyOutputFormat = QStringLiteral("Output Format");

// The store: application name = product domain, section "Quillet".
std::unique_ptr<QSettings> openSettingsStore();
QString readSetting(const QString& key, const QString& defaultValue);
void writeSetting(const QString& key, const QString& value);

// The entry of a list to select for a stored text: the text itself when it is one of the entries,
// else the default.
QString listEntryFor(const QString& stored, const QStringList& entries, const QString& fallback);
// The check-box state for a stored text: 0 or 1, or -1 when the text is not a valid state.
int checkStateFor(const QString& stored);

// The output folder before the user has chosen one: the system drive's root on Windows, the home
// folder elsewhere; always ending with the separator.
QString defaultOutputFolder();
