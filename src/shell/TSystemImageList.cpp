#include "TSystemImageList.h"

#include "TSystemIconTable.h"

#include <QMimeDatabase>

TSystemImageList& TSystemImageList::Instance() {
    static TSystemImageList list;
    return list;
}

QIcon TSystemImageList::Icon(int index) {
    if (index < 0)
        return {};
    std::string key = TSystemIconTable::Instance().KeyAt(index);
    if (key.empty())
        return {};
    auto slot = static_cast<std::size_t>(index);
    if (slot >= Icons.size()) {
        Icons.resize(slot + 1);
        Made.resize(slot + 1, false);
    }
    if (!Made[slot]) {
        Icons[slot] = MakeIcon(key);
        Made[slot] = true;
    }
    return Icons[slot];
}

QIcon TSystemImageList::MakeIcon(const std::string& key) {
    auto themed = [](const char* name, const QIcon& fallback) {
        return QIcon::fromTheme(QString::fromLatin1(name), fallback);
    };
    if (key == "computer")
        return Provider.icon(QFileIconProvider::Computer);
    if (key == "desktop")
        return Provider.icon(QFileIconProvider::Desktop);
    if (key == "drive")
        return Provider.icon(QFileIconProvider::Drive);
    if (key == "drive-removable")
        return themed("drive-removable-media", Provider.icon(QFileIconProvider::Drive));
    if (key == "home")
        return themed("user-home", Provider.icon(QFileIconProvider::Folder));
    if (key == "folder")
        return Provider.icon(QFileIconProvider::Folder);
    if (key == "folder-open")
        return themed("folder-open", Provider.icon(QFileIconProvider::Folder));
    const std::string filePrefix = "file:";
    if (key.compare(0, filePrefix.size(), filePrefix) == 0) {
        QIcon file = Provider.icon(QFileIconProvider::File);
        QMimeType type =
            QMimeDatabase().mimeTypeForName(QString::fromStdString(key.substr(filePrefix.size())));
        if (!type.isValid())
            return file;
        return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), file));
    }
    return Provider.icon(QFileIconProvider::File);
}
