#include "TShellIntegration.h"

#include "TSettingsLocation.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
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
                          "NoDisplay=true\n"
                          "MimeType=%2;\n")
        .arg(ExecLine(executablePath, QStringLiteral("%f")), MimeTypes().join(QLatin1Char(';')));
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

QString TShellIntegration::AddAssociations(const QString& mimeAppsText) {
    QStringList lines = mimeAppsText.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const QString id = QLatin1String(DesktopId);
    const QString header = QStringLiteral("[Added Associations]");

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
    if (begin < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(header);
        begin = lines.size();
        end = lines.size();
    }

    for (const QString& type : MimeTypes()) {
        qsizetype found = -1;
        for (qsizetype i = begin; i < end; ++i) {
            const qsizetype equals = lines[i].indexOf(QLatin1Char('='));
            if (equals > 0 && lines[i].left(equals).trimmed() == type) {
                found = i;
                break;
            }
        }
        if (found < 0) {
            qsizetype insertAt = end;
            while (insertAt > begin && lines[insertAt - 1].trimmed().isEmpty())
                --insertAt;
            lines.insert(insertAt, type + QLatin1Char('=') + id + QLatin1Char(';'));
            ++end;
            continue;
        }
        const qsizetype equals = lines[found].indexOf(QLatin1Char('='));
        QString value = lines[found].mid(equals + 1).trimmed();
        const QStringList ids = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (ids.contains(id))
            continue;
        if (!value.isEmpty() && !value.endsWith(QLatin1Char(';')))
            value += QLatin1Char(';');
        lines[found] = type + QLatin1Char('=') + value + id + QLatin1Char(';');
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void TShellIntegration::Register(const QString& executablePath) {
    if (executablePath.isEmpty())
        return;
    const bool entryChanged = WriteIfChanged(DesktopEntryPath(), DesktopEntryText(executablePath));
    if (WriteIfChanged(MimePackagePath(), MimePackageText()))
        RunQuietly(QStringLiteral("update-mime-database"),
                   {TSettingsLocation::DataHome() + QStringLiteral("/mime")});

    QFile mimeApps(MimeAppsPath());
    QString current;
    if (mimeApps.exists()) {
        if (!mimeApps.open(QIODevice::ReadOnly))
            return; // unreadable: leave the user's file alone
        current = QString::fromUtf8(mimeApps.readAll());
        mimeApps.close();
    }
    WriteIfChanged(MimeAppsPath(), AddAssociations(current));

    WriteIfChanged(KdeServiceMenuPath(), KdeServiceMenuText(executablePath), true);
    WriteIfChanged(NemoActionPath(), NemoActionText(executablePath));
    if (entryChanged)
        RunQuietly(QStringLiteral("update-desktop-database"),
                   {QFileInfo(DesktopEntryPath()).absolutePath()});
}
