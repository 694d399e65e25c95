#pragma once

#include <QByteArray>
#include <QString>

// A file path as the bytes the file system knows it by. A name that is not valid UTF-8
// (common on shares written by older systems) must reach the libraries unchanged, so the
// bytes are kept as they came (from argv, from the namespace) and text is made from them
// only to be shown.
class TFilePath {
public:
    TFilePath() = default;
    TFilePath(QByteArray bytes) : Path(std::move(bytes)) {}
    TFilePath(const char* bytes) : Path(bytes) {}
    // Text typed or composed by the program, encoded as the file system expects.
    TFilePath(const QString& text);

    const QByteArray& Bytes() const { return Path; }
    const char* Data() const { return Path.constData(); }
    bool IsEmpty() const { return Path.isEmpty(); }
    void Clear() { Path.clear(); }

    // The path and its last part as text to show; bytes that are not valid in the
    // file-name encoding show as replacement characters.
    QString Display() const;
    QString FileNameDisplay() const;
    // The extension of the last part without the dot ("" when none), as text.
    QString Suffix() const;

    bool operator==(const TFilePath& other) const = default;

private:
    QByteArray Path;
};
