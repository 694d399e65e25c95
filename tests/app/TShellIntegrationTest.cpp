// The desktop integration as the desktop sees it: the real program is started
// with "/register" in a private set of XDG folders holding a fake media player,
// and GLib's own `gio mime` says which application each type opens with.

#include "TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

const QString EditInfo = QStringLiteral("cuemark-editinfo.desktop");
const QString Player = QStringLiteral("fakeplayer.desktop");

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void WriteText(const QString& path, const QString& text) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

// What `gio mime TYPE` reports.
struct TMimeReport {
    QString Default; // empty: no default application
    QStringList Recommended;
};

// A private desktop: user folders, one system data folder (with the system's MIME
// database, for the type aliases) and one system configuration folder.
class TDesktop {
public:
    TDesktop() {
        Root = QString::fromStdString(Dir.Path().string());
        for (const QString& folder :
             {Home(), ConfigHome(), DataHome(), SystemData(), SystemConfig()})
            QDir().mkpath(folder);
        QFile::link(QStringLiteral("/usr/share/mime"), SystemData() + QStringLiteral("/mime"));
    }

    QString Home() const { return Root + QStringLiteral("/home"); }
    QString ConfigHome() const { return Root + QStringLiteral("/config"); }
    QString DataHome() const { return Root + QStringLiteral("/data"); }
    QString SystemData() const { return Root + QStringLiteral("/sys"); }
    QString SystemConfig() const { return Root + QStringLiteral("/etc"); }
    QString UserList() const { return ConfigHome() + QStringLiteral("/mimeapps.list"); }

    // A launchable application in `dataFolder` for `types`.
    void InstallApp(const QString& dataFolder, const QString& id, const QStringList& types) {
        WriteText(dataFolder + QStringLiteral("/applications/") + id,
                  QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=true %U\n"
                                 "MimeType=%2;\n")
                      .arg(id, types.join(QLatin1Char(';'))));
        // The cache update-desktop-database would write, for readers that use it.
        QString cache = QStringLiteral("[MIME Cache]\n");
        for (const QString& type : types)
            cache += type + QLatin1Char('=') + id + QStringLiteral(";\n");
        WriteText(dataFolder + QStringLiteral("/applications/mimeinfo.cache"), cache);
    }

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID", "LD_LIBRARY_PATH"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), Home());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), ConfigHome());
        env.insert(QStringLiteral("XDG_DATA_HOME"), DataHome());
        env.insert(QStringLiteral("XDG_DATA_DIRS"), SystemData());
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), SystemConfig());
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("CUEMARK_SETTINGS_DIR"), Root + QStringLiteral("/settings"));
        env.insert(QStringLiteral("CUEMARK_NONINTERACTIVE"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    // Starts the program as the desktop would find it installed: only the shell
    // integration runs before "/register" ends it.
    void Start() const {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.start(QStringLiteral(CUEMARK_BINARY), {QStringLiteral("/register")});
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitCode(), 255) << process.readAllStandardError().toStdString();
    }

    TMimeReport Gio(const QString& type) const {
        TMimeReport report;
        const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
        EXPECT_FALSE(gio.isEmpty()) << "gio (libglib2.0-bin) is needed; see scripts/install-deps";
        if (gio.isEmpty())
            return report;
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.start(gio, {QStringLiteral("mime"), type});
        EXPECT_TRUE(process.waitForFinished(60000));
        bool inRecommended = false;
        for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
            if (line.startsWith(QLatin1String("Default application for")))
                report.Default = line.section(QStringLiteral(": "), -1).trimmed();
            if (!line.startsWith(QLatin1Char('\t')))
                inRecommended = line.startsWith(QLatin1String("Recommended applications"));
            else if (inRecommended)
                report.Recommended.append(line.trimmed());
        }
        return report;
    }

private:
    TTempDir Dir;
    QString Root;
};

const QStringList PlayerTypes = {QStringLiteral("audio/x-wav"), QStringLiteral("audio/mpeg"),
                                 QStringLiteral("video/mpeg")};
// The names a file manager may ask for, aliases included.
const QStringList AskedTypes = {QStringLiteral("audio/x-wav"),    QStringLiteral("audio/wav"),
                                QStringLiteral("audio/vnd.wave"), QStringLiteral("audio/mpeg"),
                                QStringLiteral("audio/mp3"),      QStringLiteral("video/mpeg")};

TEST(ShellIntegration, EditInfoIsAnExtraChoiceAndThePlayerStaysTheDefault) {
    TDesktop desktop;
    desktop.InstallApp(desktop.SystemData(), Player, PlayerTypes);
    for (const QString& type : AskedTypes)
        ASSERT_EQ(desktop.Gio(type).Default, Player) << type.toStdString();

    desktop.Start();
    for (const QString& type : AskedTypes) {
        SCOPED_TRACE(type.toStdString());
        const TMimeReport report = desktop.Gio(type);
        EXPECT_EQ(report.Default, Player);
        EXPECT_TRUE(report.Recommended.contains(EditInfo))
            << report.Recommended.join(' ').toStdString();
    }
    // Types no other application opens are not offered at all: being the only
    // application of a type would make the entry its default.
    for (const QString type : {"audio/mp2", "audio/x-cuemark-tmc"}) {
        SCOPED_TRACE(type.toStdString());
        const TMimeReport report = desktop.Gio(type);
        EXPECT_EQ(report.Default, QString());
        EXPECT_FALSE(report.Recommended.contains(EditInfo));
    }

    // A second start changes nothing.
    const QString list = ReadText(desktop.UserList());
    desktop.Start();
    EXPECT_EQ(ReadText(desktop.UserList()), list);

    // A player that appears later gets its type back at the next start, and the
    // entry joins it as an extra choice.
    desktop.InstallApp(desktop.DataHome(), QStringLiteral("mp2player.desktop"),
                       {QStringLiteral("audio/mp2")});
    desktop.Start();
    const TMimeReport mp2 = desktop.Gio(QStringLiteral("audio/mp2"));
    EXPECT_EQ(mp2.Default, QStringLiteral("mp2player.desktop"));
    EXPECT_TRUE(mp2.Recommended.contains(EditInfo));
    EXPECT_EQ(desktop.Gio(QStringLiteral("audio/x-wav")).Default, Player);
}

TEST(ShellIntegration, NamedDefaultsAndTheUsersListAreKept) {
    TDesktop desktop;
    desktop.InstallApp(desktop.SystemData(), Player, PlayerTypes);
    desktop.InstallApp(desktop.DataHome(), QStringLiteral("editor.desktop"),
                       {QStringLiteral("audio/mpeg")});
    // The system names a default for video/mpeg; the user one for audio/mpeg and
    // keeps notes and other groups in the list.
    WriteText(desktop.SystemData() + QStringLiteral("/applications/mimeapps.list"),
              QStringLiteral("[Default Applications]\nvideo/mpeg=editor.desktop;\n"));
    const QString userList =
        QStringLiteral("# mine\n[Default Applications]\naudio/mpeg=editor.desktop;\n\n"
                       "[Added Associations]\naudio/mpeg=%1;\n")
            .arg(Player);
    WriteText(desktop.UserList(), userList);
    ASSERT_EQ(desktop.Gio(QStringLiteral("audio/mpeg")).Default, QStringLiteral("editor.desktop"));

    desktop.Start();
    EXPECT_EQ(desktop.Gio(QStringLiteral("audio/mpeg")).Default, QStringLiteral("editor.desktop"));
    EXPECT_EQ(desktop.Gio(QStringLiteral("video/mpeg")).Default, QStringLiteral("editor.desktop"));
    EXPECT_EQ(desktop.Gio(QStringLiteral("audio/x-wav")).Default, Player);
    const QString list = ReadText(desktop.UserList());
    EXPECT_TRUE(list.startsWith(QStringLiteral("# mine\n[Default Applications]\n"
                                               "audio/mpeg=editor.desktop;\n")))
        << list.toStdString();
    EXPECT_TRUE(list.contains(QStringLiteral("\naudio/mpeg=") + Player + QLatin1Char(';') +
                              EditInfo + QStringLiteral(";\n")))
        << list.toStdString();
    // Only the type without a named default was given one.
    EXPECT_FALSE(list.contains(QStringLiteral("video/mpeg=editor")));
    EXPECT_TRUE(list.contains(QStringLiteral("\naudio/x-wav=") + Player + QStringLiteral(";\n")));
}

// A desktop set up by the earlier integration (the entry listing the types and
// added to every type) had made "Edit Info" the default; one start repairs it.
TEST(ShellIntegration, EarlierIntegrationThatTookTheDefaultsIsRepaired) {
    TDesktop desktop;
    desktop.InstallApp(desktop.SystemData(), Player, PlayerTypes);
    const QStringList ourTypes = {"audio/x-wav", "audio/mpeg", "video/mpeg", "audio/x-cuemark-tmc"};
    WriteText(desktop.DataHome() + QStringLiteral("/applications/") + EditInfo,
              QStringLiteral("[Desktop Entry]\nType=Application\nName=Edit Info\n"
                             "Exec=\"%1\" %f\nNoDisplay=true\nMimeType=%2;\n")
                  .arg(QStringLiteral(CUEMARK_BINARY), ourTypes.join(QLatin1Char(';'))));
    QString added = QStringLiteral("[Added Associations]\n");
    for (const QString& type : ourTypes)
        added += type + QLatin1Char('=') + EditInfo + QStringLiteral(";\n");
    WriteText(desktop.UserList(), added);
    ASSERT_EQ(desktop.Gio(QStringLiteral("audio/x-wav")).Default, EditInfo);

    desktop.Start();
    for (const QString& type : AskedTypes)
        EXPECT_EQ(desktop.Gio(type).Default, Player) << type.toStdString();
    EXPECT_EQ(desktop.Gio(QStringLiteral("audio/x-cuemark-tmc")).Default, QString());
    EXPECT_FALSE(ReadText(desktop.UserList()).contains(QStringLiteral("audio/x-cuemark-tmc=")));
}

TEST(ShellIntegration, ATypeTheUserTookTheEntryOffStaysOff) {
    TDesktop desktop;
    desktop.InstallApp(desktop.SystemData(), Player, PlayerTypes);
    WriteText(desktop.UserList(), QStringLiteral("[Removed Associations]\naudio/mpeg=") + EditInfo +
                                      QStringLiteral(";\n"));
    desktop.Start();
    const TMimeReport mpeg = desktop.Gio(QStringLiteral("audio/mpeg"));
    EXPECT_EQ(mpeg.Default, Player);
    EXPECT_FALSE(mpeg.Recommended.contains(EditInfo));
    EXPECT_TRUE(desktop.Gio(QStringLiteral("audio/x-wav")).Recommended.contains(EditInfo));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
