#include "TShellNamespace.h"

#include "TDesktopFolder.h"

#include <QFile>
#include <QStandardPaths>
#include <cstdlib>
#include <sys/stat.h>

std::unique_ptr<TShellFolder> TShellNamespace::DesktopFolder() {
    return std::make_unique<TDesktopFolder>();
}

TPidl TShellNamespace::DrivesLocation() {
    return MakeItem(ikComputer, {});
}

std::string TShellNamespace::PathFromIDList(PCItemIDList absolute) {
    if (!absolute)
        return {};
    return TDesktopFolder().GetPathOf(absolute);
}

std::string TShellNamespace::HomePath() {
    const char* home = std::getenv("HOME");
    return home ? std::string(home) : std::string();
}

std::string TShellNamespace::DesktopPath() {
    // QStandardPaths reads $XDG_CONFIG_HOME/user-dirs.dirs (XDG_DESKTOP_DIR), else ~/Desktop.
    QString location = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (location.isEmpty())
        return {};
    std::string path = QFile::encodeName(location).toStdString();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    std::string home = HomePath();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    if (path == home)
        return {};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return path;
}

TPidl TShellNamespace::MakeItem(TItemKind kind, std::string_view bytes) {
    std::string data;
    data.reserve(bytes.size() + 1);
    data.push_back(static_cast<char>(kind));
    data.append(bytes);
    return TPidl::FromItemData(data.data(), data.size());
}

char TShellNamespace::ItemKind(PCItemIDList item) {
    if (!item || ItemSizeField(item) < 3)
        return 0;
    return static_cast<char>(ItemBytes(item)[2]);
}

std::string_view TShellNamespace::ItemData(PCItemIDList item) {
    if (!item)
        return {};
    std::uint16_t cb = ItemSizeField(item);
    if (cb < 3)
        return {};
    return std::string_view(reinterpret_cast<const char*>(ItemBytes(item)) + 3, cb - 3u);
}
