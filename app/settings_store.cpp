#include "app/settings_store.h"

#include "base/product.h"

#include <QDir>

std::unique_ptr<QSettings> openSettingsStore() {
    auto store = std::make_unique<QSettings>(kProductDomain, kProductDomain);
    store->beginGroup(kProductName);
    return store;
}

QString readSetting(const QString& key, const QString& defaultValue) {
    return openSettingsStore()->value(key, defaultValue).toString();
}

void writeSetting(const QString& key, const QString& value) {
    openSettingsStore()->setValue(key, value);
}

QString listEntryFor(const QString& stored, const QStringList& entries, const QString& fallback) {
    return entries.contains(stored) ? stored : fallback;
}

int checkStateFor(const QString& stored) {
    bool ok = false;
    const int value = stored.trimmed().toShort(&ok);
    return ok && (value == 0 || value == 1) ? value : -1;
}

QString defaultOutputFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\");
#else
    return QDir::homePath() + QDir::separator();
#endif
}
