#include "TFilePath.h"

#include <QFile>

TFilePath::TFilePath(const QString& text) : Path(QFile::encodeName(text)) {}

QString TFilePath::Display() const {
    return QFile::decodeName(Path);
}

QString TFilePath::FileNameDisplay() const {
    return QFile::decodeName(Path.mid(Path.lastIndexOf('/') + 1));
}

QString TFilePath::Suffix() const {
    const QByteArray name = Path.mid(Path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : QFile::decodeName(name.mid(dot + 1));
}
