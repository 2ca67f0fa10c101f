#include "app/mnemonics.h"

QChar mnemonicOf(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1].toUpper();
        ++i;
    }
    return {};
}

QString captionWithFreeMnemonic(const QString& caption, const QStringList& others) {
    const QChar key = mnemonicOf(caption);
    if (key.isNull())
        return caption;
    for (const QString& other : others)
        if (mnemonicOf(other) == key)
            return captionWithoutMnemonic(caption);
    return caption;
}

QString captionWithoutMnemonic(const QString& caption) {
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) {
            // A doubled ampersand stays doubled: it still shows one ampersand.
            if (caption[i + 1] == u'&')
                plain += caption[i++];
            else
                continue;
        }
        plain += caption[i];
    }
    return plain;
}
