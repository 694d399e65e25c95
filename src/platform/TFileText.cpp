#include "TFileText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QByteArray TFileText::ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TFileText::WriteAtomically(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSaveFile file(path);
    // Unbuffered, so a short write (a full disk, a file size limit) shows in write()'s count:
    // a buffered write only flushes on commit, which then renames a truncated file over the
    // old one and reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
