#include "base/local_path.h"

namespace {
constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF: the bytes 0x80..0xFF

bool isEscape(char16_t unit) {
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

// The length of the valid UTF-8 sequence at bytes[i], or 0 when there is none.
qsizetype validSequence(const QByteArray& bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t point = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, point = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, point = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, point = lead & 0x07;
    else
        return 0;
    if (i + length > bytes.size())
        return 0;
    for (qsizetype k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (at(i + k) & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF)
        return 0;
    return length;
}
} // namespace

QString pathFromLocalBytes(const QByteArray& bytes) {
    QString path;
    for (qsizetype i = 0; i < bytes.size();) {
        if (const qsizetype length = validSequence(bytes, i)) {
            path += QString::fromUtf8(bytes.mid(i, length));
            i += length;
        } else {
            path += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
        }
    }
    return path;
}

QByteArray localBytesOf(const QString& path) {
    QByteArray bytes;
    QString run; // characters to write as UTF-8
    for (const QChar c : path) {
        if (isEscape(c.unicode())) {
            bytes += run.toUtf8();
            run.clear();
            bytes += char(c.unicode() - kEscapeBase);
        } else {
            run += c;
        }
    }
    return bytes + run.toUtf8();
}

bool holdsRawBytes(const QString& path) {
    for (const QChar c : path)
        if (isEscape(c.unicode()))
            return true;
    return false;
}

QString shownPath(const QString& path) {
    QString shown = path;
    for (QChar& c : shown)
        if (isEscape(c.unicode()))
            c = QChar(0xFFFD);
    return shown;
}

QString localPathOf(const QUrl& url) {
#ifdef Q_OS_WIN
    return url.toLocalFile(); // names are UTF-16 there
#else
    return pathFromLocalBytes(
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
#endif
}

QUrl fileUrlOfBytes(const QByteArray& absolutePath) {
    return QUrl::fromEncoded("file://" + absolutePath.toPercentEncoding("/"));
}
