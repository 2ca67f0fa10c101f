#include "audio/converted_files.h"

#include <QFile>

#include <vector>

namespace {

QStringList convertedFiles(const QString& wavPath) {
    return QStringList{wavPath} + convertedCompanions(wavPath);
}

// Renames that can be undone in reverse order.
class Moves {
public:
    bool move(const QString& from, const QString& to) {
        if (!QFile::exists(from))
            return true;
        if (!QFile::rename(from, to))
            return false;
        done_.emplace_back(from, to);
        return true;
    }
    void undo() {
        for (auto it = done_.rbegin(); it != done_.rend(); ++it)
            QFile::rename(it->second, it->first);
        done_.clear();
    }

private:
    std::vector<std::pair<QString, QString>> done_;
};

} // namespace

QStringList convertedCompanions(const QString& wavPath) {
    return {wavPath + QStringLiteral(".tags"), wavPath + QStringLiteral(".source")};
}

bool removeConverted(const QString& wavPath) {
    bool removed = true;
    for (const QString& file : convertedFiles(wavPath))
        removed = (QFile::remove(file) || !QFile::exists(file)) && removed;
    return removed;
}

QString convertedAside(const QString& wavPath) {
    return wavPath + QStringLiteral(".old");
}

bool replaceConverted(const QString& from, const QString& to) {
    const QString aside = convertedAside(to);
    removeConverted(aside);
    const QStringList current = convertedFiles(to), asideFiles = convertedFiles(aside),
                      incoming = convertedFiles(from);
    Moves moves;
    for (qsizetype i = 0; i < current.size(); ++i)
        if (!moves.move(current[i], asideFiles[i])) {
            moves.undo();
            return false;
        }
    for (qsizetype i = 0; i < incoming.size(); ++i)
        if (!moves.move(incoming[i], current[i])) {
            moves.undo();
            return false;
        }
    removeConverted(aside); // what stays is removed at the next start
    return true;
}
