#include "TShellIntegration.h"

#include "TSettingsLocation.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString TmcType = QStringLiteral("audio/x-cuemark-tmc");

// Writes the file when its contents differ; true when it was (re)written.
bool WriteIfChanged(const QString& path, const QString& text, bool executable = false) {
    const QByteArray bytes = text.toUtf8();
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == bytes) {
        current.close();
        if (executable && !(current.permissions() & QFileDevice::ExeUser))
            current.setPermissions(current.permissions() | QFileDevice::ExeUser);
        return false;
    }
    current.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    if (executable) {
        QFile written(path);
        written.setPermissions(written.permissions() | QFileDevice::ExeUser);
    }
    return true;
}

// Runs a tool from PATH with its output discarded and waits for it; nothing when
// the tool is not installed.
void RunQuietly(const QString& tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return;
    QList<QByteArray> storage;
    storage.append(QFile::encodeName(program));
    for (const QString& argument : arguments)
        storage.append(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

// Escapes a text for a desktop entry string value.
QString EscapeValue(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

// The freedesktop association rules (MIME applications associations), read as
// GLib and xdg-mime apply them: the lists of the user's and the system's
// configuration folders, then those of the data folders, each with the desktop
// files below it. Enough of them to tell which application a type opens with
// when Cuemark is not offered, and whether a default is named at all.
struct TDesktopApp {
    QStringList Types; // as listed in MimeType=
    bool Usable = false;
    int Folder = -1; // index into TAssociationRules::Folders
};

// One mimeapps.list group: key -> desktop ids, in file order.
using TAssociationGroup = QList<QPair<QString, QStringList>>;

struct TAssociationFolder {
    QString Path;
    bool IsData = false;
    QList<QHash<QString, TAssociationGroup>> Lists; // desktop-specific first
};

QStringList EnvironmentFolders(const char* variable, const QString& fallback) {
    QStringList folders;
    for (const QString& folder :
         qEnvironmentVariable(variable).split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(folder))
            folders.append(QDir::cleanPath(folder));
    return folders.isEmpty() ? fallback.split(QLatin1Char(':')) : folders;
}

QStringList SplitIds(const QString& value) {
    QStringList ids;
    for (const QString& id : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!id.trimmed().isEmpty())
            ids.append(id.trimmed());
    return ids;
}

// Groups of a key file's text; a key repeated in a group keeps its last value.
QHash<QString, TAssociationGroup> ParseGroups(const QString& text) {
    QHash<QString, TAssociationGroup> groups;
    QString group;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || group.isEmpty())
            continue;
        const QString key = line.left(equals).trimmed();
        TAssociationGroup& entries = groups[group];
        entries.removeIf([&](const auto& entry) { return entry.first == key; });
        entries.append({key, SplitIds(line.mid(equals + 1))});
    }
    return groups;
}

QHash<QString, TAssociationGroup> ReadGroups(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ParseGroups(QString::fromUtf8(file.readAll()));
}

// Whether a desktop entry's program can be found, as launchers require.
bool ProgramExists(const QString& command) {
    QString program = command.trimmed();
    if (program.startsWith(QLatin1Char('"'))) {
        const qsizetype close = program.indexOf(QLatin1Char('"'), 1);
        program = program.mid(1, close < 0 ? -1 : close - 1);
    } else {
        program = program.section(QLatin1Char(' '), 0, 0);
    }
    if (program.isEmpty())
        return false;
    if (QDir::isAbsolutePath(program)) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable();
    }
    return !QStandardPaths::findExecutable(program).isEmpty();
}

class TAssociationRules {
public:
    TAssociationRules() {
        QStringList desktops;
        for (const QString& desktop : qEnvironmentVariable("XDG_CURRENT_DESKTOP")
                                          .split(QLatin1Char(':'), Qt::SkipEmptyParts))
            desktops.append(desktop.toLower());

        QStringList configFolders{TSettingsLocation::ConfigHome()};
        configFolders += EnvironmentFolders("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
        QStringList dataFolders{TSettingsLocation::DataHome()};
        dataFolders +=
            EnvironmentFolders("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));

        for (const QString& folder : configFolders)
            Folders.append({folder, false, {}});
        for (const QString& folder : dataFolders)
            Folders.append({folder + QStringLiteral("/applications"), true, {}});
        for (TAssociationFolder& folder : Folders) {
            for (const QString& desktop : desktops)
                folder.Lists.append(ReadGroups(folder.Path + QLatin1Char('/') + desktop +
                                               QStringLiteral("-mimeapps.list")));
            folder.Lists.append(ReadGroups(folder.Path + QStringLiteral("/mimeapps.list")));
            if (folder.IsData) {
                // The older name of a data folder's list of defaults.
                QHash<QString, TAssociationGroup> legacy =
                    ReadGroups(folder.Path + QStringLiteral("/defaults.list"));
                legacy.remove(QStringLiteral("Added Associations"));
                legacy.remove(QStringLiteral("Removed Associations"));
                folder.Lists.append(legacy);
            }
        }

        // The first data folder holding an alias wins, as for desktop ids.
        for (auto folder = dataFolders.crbegin(); folder != dataFolders.crend(); ++folder) {
            QFile aliases(*folder + QStringLiteral("/mime/aliases"));
            if (!aliases.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& line : aliases.readAll().split('\n')) {
                const QList<QByteArray> parts = line.simplified().split(' ');
                if (parts.size() == 2)
                    Aliases.insert(QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1]));
            }
        }

        for (int index = 0; index < Folders.size(); ++index)
            if (Folders[index].IsData)
                ReadApplications(index);
    }

    QString Canonical(const QString& type) const { return Aliases.value(type, type); }

    bool IsUsable(const QString& id) const {
        const auto app = Apps.constFind(id);
        return app != Apps.cend() && app->Usable;
    }

    // The first usable application named as the type's default in any list.
    QString NamedDefault(const QString& type) const {
        for (const TAssociationFolder& folder : Folders)
            for (const auto& list : folder.Lists)
                for (const QString& id : IdsFor(list, QStringLiteral("Default Applications"), type))
                    if (IsUsable(id))
                        return id;
        return {};
    }

    // The application the type opens with when none is named and `ignored` is not
    // offered: added associations and desktop files, folder by folder, less those
    // removed in a folder of higher rank.
    QString FirstHandler(const QString& type, const QString& ignored) const {
        QSet<QString> removed;
        for (int index = 0; index < Folders.size(); ++index) {
            const TAssociationFolder& folder = Folders[index];
            for (const auto& list : folder.Lists)
                for (const QString& id : IdsFor(list, QStringLiteral("Added Associations"), type))
                    if (id != ignored && !removed.contains(id) && IsUsable(id))
                        return id;
            for (const auto& list : folder.Lists)
                for (const QString& id : IdsFor(list, QStringLiteral("Removed Associations"), type))
                    removed.insert(id);
            if (!folder.IsData)
                continue;
            QStringList listed;
            for (auto app = Apps.cbegin(); app != Apps.cend(); ++app)
                if (app->Folder == index && app->Usable && app.key() != ignored &&
                    !removed.contains(app.key()) && ListsType(app->Types, type))
                    listed.append(app.key());
            if (!listed.isEmpty()) {
                listed.sort();
                return listed.first();
            }
        }
        return {};
    }

private:
    QStringList IdsFor(const QHash<QString, TAssociationGroup>& list, const QString& group,
                       const QString& type) const {
        QStringList ids;
        for (const auto& [key, values] : list.value(group))
            if (Canonical(key) == type)
                ids += values;
        return ids;
    }

    bool ListsType(const QStringList& types, const QString& type) const {
        for (const QString& listed : types)
            if (Canonical(listed) == type)
                return true;
        return false;
    }

    // Desktop files below one data folder; an id already found in a folder of
    // higher rank hides this one.
    void ReadApplications(int index) {
        const QString root = Folders[index].Path;
        QDirIterator it(root, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = path.mid(root.size() + 1);
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (Apps.contains(id))
                continue;
            const TAssociationGroup entry = ReadGroups(path).value(QStringLiteral("Desktop Entry"));
            auto value = [&](const char* key) {
                for (const auto& [name, values] : entry)
                    if (name == QLatin1String(key))
                        return values.join(QLatin1Char(';'));
                return QString();
            };
            TDesktopApp app;
            app.Folder = index;
            app.Types = SplitIds(value("MimeType"));
            const QString tryExec = value("TryExec");
            app.Usable = value("Type") == QLatin1String("Application") &&
                         value("Hidden") != QLatin1String("true") &&
                         (tryExec.isEmpty() || ProgramExists(tryExec)) &&
                         ProgramExists(value("Exec"));
            Apps.insert(id, app);
        }
    }

    QList<TAssociationFolder> Folders;
    QHash<QString, QString> Aliases;
    QHash<QString, TDesktopApp> Apps;
};

// The text of a key file with the id list of `key` in `group` replaced by
// edit(old list); an empty result removes the line. A missing group is appended.
QString EditIdList(const QString& text, const QString& group, const QString& key,
                   const std::function<QStringList(const QStringList&)>& edit) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');

    qsizetype begin = -1;
    qsizetype end = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        if (!trimmed.startsWith(QLatin1Char('[')))
            continue;
        if (begin >= 0) {
            end = i;
            break;
        }
        if (trimmed == header)
            begin = i + 1;
    }

    qsizetype found = -1;
    for (qsizetype i = std::max<qsizetype>(begin, 0); begin >= 0 && i < end; ++i) {
        const qsizetype equals = lines[i].indexOf(QLatin1Char('='));
        if (equals > 0 && lines[i].left(equals).trimmed() == key)
            found = i;
    }
    const QStringList old =
        found < 0 ? QStringList() : SplitIds(lines[found].mid(lines[found].indexOf('=') + 1));
    const QStringList ids = edit(old);
    if (ids == old)
        return text;

    const QString line = key + QLatin1Char('=') + ids.join(QLatin1Char(';')) + QLatin1Char(';');
    if (found >= 0) {
        if (ids.isEmpty())
            lines.removeAt(found);
        else
            lines[found] = line;
    } else {
        if (begin < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines.append(QString());
            lines.append(header);
            begin = lines.size();
            end = lines.size();
        }
        qsizetype insertAt = end;
        while (insertAt > begin && lines[insertAt - 1].trimmed().isEmpty())
            --insertAt;
        lines.insert(insertAt, line);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// mimeapps.list with the entry offered for each type another application
// handles, and that application named as default where no default is named;
// the entry is withdrawn from a type nothing else handles.
QString UpdateMimeApps(const QString& text) {
    const TAssociationRules rules;
    const QString id = QLatin1String(TShellIntegration::DesktopId);
    const TAssociationGroup removedByUser =
        ParseGroups(text).value(QStringLiteral("Removed Associations"));
    QString result = text;
    for (const QString& type : TShellIntegration::MimeTypes()) {
        const QString canonical = rules.Canonical(type);
        // The user took the entry off this type's list: it stays off.
        bool withdrawn = false;
        for (const auto& [key, ids] : removedByUser)
            if (rules.Canonical(key) == canonical && ids.contains(id))
                withdrawn = true;

        const QString named = rules.NamedDefault(canonical);
        const QString handler = named.isEmpty() ? rules.FirstHandler(canonical, id) : named;
        if (handler.isEmpty() || withdrawn) {
            result = EditIdList(result, QStringLiteral("Added Associations"), type,
                                [&](QStringList ids) {
                                    ids.removeAll(id);
                                    return ids;
                                });
            continue;
        }
        if (named.isEmpty())
            result = EditIdList(result, QStringLiteral("Default Applications"), type,
                                [&](QStringList ids) {
                                    ids.removeAll(handler);
                                    ids.prepend(handler);
                                    return ids;
                                });
        result =
            EditIdList(result, QStringLiteral("Added Associations"), type, [&](QStringList ids) {
                if (!ids.contains(id))
                    ids.append(id);
                return ids;
            });
    }
    return result;
}
} // namespace

QStringList TShellIntegration::MimeTypes() {
    return {QStringLiteral("audio/x-wav"),    QStringLiteral("audio/wav"),
            QStringLiteral("audio/vnd.wave"), QStringLiteral("video/mpeg"),
            QStringLiteral("audio/mp2"),      QStringLiteral("audio/x-mp2"),
            QStringLiteral("audio/mpeg"),     TmcType};
}

QString TShellIntegration::DesktopEntryPath() {
    return TSettingsLocation::DataHome() + QStringLiteral("/applications/") +
           QLatin1String(DesktopId);
}

QString TShellIntegration::MimePackagePath() {
    return TSettingsLocation::DataHome() + QStringLiteral("/mime/packages/cuemark.xml");
}

QString TShellIntegration::MimeAppsPath() {
    return TSettingsLocation::ConfigHome() + QStringLiteral("/mimeapps.list");
}

QString TShellIntegration::KdeServiceMenuPath() {
    return TSettingsLocation::DataHome() + QStringLiteral("/kio/servicemenus/") +
           QLatin1String(DesktopId);
}

QString TShellIntegration::NemoActionPath() {
    return TSettingsLocation::DataHome() +
           QStringLiteral("/nemo/actions/cuemark-editinfo.nemo_action");
}

QString TShellIntegration::ExecLine(const QString& executablePath, const QString& fieldCode) {
    // Inside a quoted argument ", `, $ and \ take a backslash; % is doubled as it
    // would start a field code. The whole line is then escaped as a string value.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : executablePath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return EscapeValue(quoted + QLatin1Char(' ') + fieldCode);
}

QString TShellIntegration::DesktopEntryText(const QString& executablePath) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Edit Info\n"
                          "GenericName=Audio information editor\n"
                          "Comment=Edit the broadcast information of an audio file\n"
                          "Exec=%1\n"
                          "Icon=audio-x-generic\n"
                          "Terminal=false\n"
                          "NoDisplay=true\n")
        .arg(ExecLine(executablePath, QStringLiteral("%f")));
}

QString TShellIntegration::MimePackageText() {
    return QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"audio/x-cuemark-tmc\">\n"
        "    <comment>TMC audio file</comment>\n"
        "    <generic-icon name=\"audio-x-generic\"/>\n"
        "    <glob pattern=\"*.tmc\"/>\n"
        "  </mime-type>\n"
        "  <mime-type type=\"audio/mpeg\">\n"
        "    <glob pattern=\"*.mp1\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n");
}

QString TShellIntegration::KdeServiceMenuText(const QString& executablePath) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Service\n"
                          "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                          "MimeType=%1;\n"
                          "Actions=EditInfo;\n"
                          "\n"
                          "[Desktop Action EditInfo]\n"
                          "Name=Edit Info\n"
                          "Icon=audio-x-generic\n"
                          "Exec=%2\n")
        .arg(MimeTypes().join(QLatin1Char(';')), ExecLine(executablePath, QStringLiteral("%f")));
}

QString TShellIntegration::NemoActionText(const QString& executablePath) {
    return QStringLiteral("[Nemo Action]\n"
                          "Name=Edit Info\n"
                          "Comment=Edit the broadcast information of an audio file\n"
                          "Exec=%1\n"
                          "Icon-Name=audio-x-generic\n"
                          "Selection=s\n"
                          "Extensions=wav;mpg;mp1;mp2;mp3;tmc;\n")
        .arg(ExecLine(executablePath, QStringLiteral("%F")));
}

void TShellIntegration::Register(const QString& executablePath) {
    if (executablePath.isEmpty())
        return;
    const bool entryChanged = WriteIfChanged(DesktopEntryPath(), DesktopEntryText(executablePath));
    if (WriteIfChanged(MimePackagePath(), MimePackageText()))
        RunQuietly(QStringLiteral("update-mime-database"),
                   {TSettingsLocation::DataHome() + QStringLiteral("/mime")});

    // An unreadable list is the user's business: it is left alone.
    QFile mimeApps(MimeAppsPath());
    QString current;
    const bool readable = !mimeApps.exists() || mimeApps.open(QIODevice::ReadOnly);
    if (mimeApps.isOpen()) {
        current = QString::fromUtf8(mimeApps.readAll());
        mimeApps.close();
    }
    if (readable)
        WriteIfChanged(MimeAppsPath(), UpdateMimeApps(current));

    WriteIfChanged(KdeServiceMenuPath(), KdeServiceMenuText(executablePath), true);
    WriteIfChanged(NemoActionPath(), NemoActionText(executablePath));
    // The folder's cache still offers the entry for the types an earlier entry listed.
    if (entryChanged)
        RunQuietly(QStringLiteral("update-desktop-database"),
                   {QFileInfo(DesktopEntryPath()).absolutePath()});
}
