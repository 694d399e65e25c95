#include "TFileClipboard.h"

#include <QMimeData>

namespace {

QList<QByteArray> Lines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
    }
    return lines;
}

QList<QByteArray> LocalPaths(const QList<QByteArray>& uris) {
    QList<QByteArray> paths;
    for (const QByteArray& line : uris) {
        const QByteArray uri = line.trimmed();
        if (uri.isEmpty() || uri.startsWith('#'))
            continue;
        if (auto path = TFileClipboard::UriToPath(uri))
            paths.append(*path);
    }
    return paths;
}

} // namespace

QByteArray TFileClipboard::PathToUri(const QByteArray& path) {
    return "file://" + path.toPercentEncoding("/");
}

std::optional<QByteArray> TFileClipboard::UriToPath(const QByteArray& uri) {
    if (!uri.toLower().startsWith("file:"))
        return std::nullopt;
    QByteArray rest = uri.mid(5);
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        if (slash < 0)
            return std::nullopt;
        const QByteArray host = rest.mid(2, slash - 2);
        if (!host.isEmpty() && host.toLower() != "localhost")
            return std::nullopt;
        rest = rest.mid(slash);
    }
    if (!rest.startsWith('/'))
        return std::nullopt;
    // A query or fragment has no place in a local file URI.
    const qsizetype end = rest.indexOf('#');
    if (end >= 0)
        rest.truncate(end);
    const QByteArray path = QByteArray::fromPercentEncoding(rest);
    if (path.contains('\0'))
        return std::nullopt;
    return path;
}

std::unique_ptr<QMimeData> TFileClipboard::MimeData(const QList<QByteArray>& paths, bool cut) {
    QByteArray uriList;
    QByteArray gnome = cut ? "cut" : "copy";
    QByteArray text;
    for (const QByteArray& path : paths) {
        const QByteArray uri = PathToUri(path);
        uriList += uri + "\r\n";
        gnome += '\n' + uri;
        if (!text.isEmpty())
            text += '\n';
        text += path;
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(UriListType, uriList);
    data->setData(GnomeType, gnome);
    if (cut)
        data->setData(KdeCutType, "1");
    // Plain text for editors and terminals; it is never read back as a file list.
    data->setData("text/plain", text);
    return data;
}

bool TFileClipboard::OffersFiles(const QMimeData* data) {
    return data && (data->hasFormat(GnomeType) || data->hasFormat(UriListType));
}

std::optional<TFileClipboard::TContents> TFileClipboard::Read(const QMimeData* data) {
    if (!data)
        return std::nullopt;
    TContents contents;
    if (data->hasFormat(GnomeType)) {
        QList<QByteArray> lines = Lines(data->data(GnomeType));
        const QByteArray action = lines.isEmpty() ? QByteArray() : lines.takeFirst().trimmed();
        contents.Paths = LocalPaths(lines);
        contents.Mode = action == "cut" ? TTransferMode::Move : TTransferMode::Copy;
    }
    if (contents.Paths.isEmpty() && data->hasFormat(UriListType)) {
        contents.Paths = LocalPaths(Lines(data->data(UriListType)));
        contents.Mode =
            data->data(KdeCutType).startsWith('1') ? TTransferMode::Move : TTransferMode::Copy;
    }
    if (contents.Paths.isEmpty())
        return std::nullopt;
    return contents;
}
