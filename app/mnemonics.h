// The Alt key a caption answers ("&Open" answers Alt+O), and a caption that gives its key up when
// another caption of the window answers it already.
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// The caption's mnemonic in upper case, or a null character when it has none ("&&" is a plain
// ampersand).
QChar mnemonicOf(const QString& caption);

// The caption without its mnemonic marker; a doubled ampersand, which a button shows as one,
// stays doubled.
QString captionWithoutMnemonic(const QString& caption);

// The caption as it is when no caption of others answers its Alt key; else the caption without
// its mnemonic, so one Alt key never names two controls.
QString captionWithFreeMnemonic(const QString& caption, const QStringList& others);
