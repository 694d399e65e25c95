#include "TPathText.h"

namespace {

constexpr char UrlPrefix[] = "file://";

bool IsPlainText(const QByteArray& path) {
    return !path.contains('\0') && QString::fromUtf8(path).toUtf8() == path &&
           !path.startsWith(UrlPrefix);
}

} // namespace

QString TPathText::ToText(const QByteArray& path) {
    if (IsPlainText(path))
        return QString::fromUtf8(path);
    return QLatin1String(UrlPrefix) + QString::fromLatin1(path.toPercentEncoding("/"));
}

QByteArray TPathText::FromText(const QString& text) {
    if (text.startsWith(QLatin1String(UrlPrefix)))
        return QByteArray::fromPercentEncoding(text.mid(int(sizeof UrlPrefix) - 1).toLatin1());
    return text.toUtf8();
}
