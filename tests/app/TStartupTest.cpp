#include "AudioFixtures.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>

#include <gtest/gtest.h>

#include <filesystem>

#include <sndfile.h>
#include <sys/stat.h>

namespace {

// Binding order of the operations, as start-up must try them.
const QStringList PlaybackOperations = {
    "SN_GetWaveFileFormat",   "SN_GetNumPlayHandles",   "SN_GetLastError",
    "SN_GetNumOutputDevices", "SN_GetOutputDeviceName", "SN_GetHandlePlay",
    "SN_SetBuffers",          "SN_FreeHandlePlay",      "SN_FreeHandlePlayAll",
    "SN_PlayGetLengthMsFile", "SN_PlayGetLengthMs",     "SN_PlayStartXY",
    "SN_PlayPause",           "SN_PlayResume",          "SN_PlayStop",
    "SN_PlayGetTimeMs",       "SN_PlayGetTimeMsS",      "SN_Status",
    "SN_ForceCodec"};
const QStringList TaggingOperations = {"OpenWavFile", "CloseWavFile", "GetTagInfo",
                                       "SetTagInfo",  "GetChunkInfo", "SetChunkInfo",
                                       "HasId3v2",    "AddId3v2",     "RemoveTag"};

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void WriteText(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

struct TRun {
    bool Finished = false; // ended by itself: no window kept the process alive
    int ExitCode = -1;
    QStringList Messages; // stderr lines of the message seam
    QStringList Loaded;   // libraries loaded, in order
};

// A copy of the program in its own folder, with chosen stand-in libraries beside
// it, run with a private home and without any user interaction.
class TProgram {
public:
    explicit TProgram(const QString& folderName = "prog") {
        Home = QString::fromStdString(Dir.Path().string());
        Folder = Home + "/" + folderName;
        QDir().mkpath(Folder);
        EXPECT_TRUE(QFile::copy(CUEMARK_BINARY, Executable()));
    }

    QString Executable() const { return Folder + "/cuemark"; }
    QString DataHome() const { return Home + "/data"; }
    QString ConfigHome() const { return Home + "/config"; }

    // Puts stub library `variant` ("sonara19", "riffkit4" ...) beside the program.
    void UseStub(const QString& variant) {
        const QString name = variant.startsWith("sonara") ? "libsonara.so" : "libriffkit.so";
        QFile::remove(Folder + "/" + name);
        ASSERT_TRUE(QFile::link(QString(CUEMARK_STUB_DIR) + "/" + variant + "/" + name,
                                Folder + "/" + name));
    }
    void MoveTo(const QString& folderName) {
        const QString target = Home + "/" + folderName;
        QDir().mkpath(target);
        ASSERT_TRUE(QFile::rename(Executable(), target + "/cuemark"));
        Folder = target;
    }
    void RemoveLibraries() {
        QFile::remove(Folder + "/libsonara.so");
        QFile::remove(Folder + "/libriffkit.so");
    }

    TRun Run(const QStringList& arguments) const {
        const QString marker = Home + "/loaded.txt";
        QFile::remove(marker);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LD_LIBRARY_PATH");
        env.insert("HOME", Home);
        env.insert("XDG_CONFIG_HOME", ConfigHome());
        env.insert("XDG_DATA_HOME", DataHome());
        env.insert("CUEMARK_SETTINGS_DIR", Home + "/settings");
        env.insert("CUEMARK_NONINTERACTIVE", "1");
        env.insert("CUEMARK_STUB_MARKER", marker);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(Home);
        process.start(Executable(), arguments);
        TRun run;
        if (!process.waitForStarted(30000))
            return run;
        run.Finished = process.waitForFinished(60000);
        if (!run.Finished) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.ExitCode = process.exitCode();
        const QString err = QString::fromUtf8(process.readAllStandardError());
        for (const QString& line : err.split('\n'))
            if (line.startsWith("cuemark: "))
                run.Messages.append(line);
        for (const QString& line : ReadText(marker).split('\n', Qt::SkipEmptyParts))
            if (line.startsWith("load "))
                run.Loaded.append(line.mid(5));
        return run;
    }

    TTempDir Dir;
    QString Home;
    QString Folder;
};

TEST(Startup, MissingPlaybackLibraryIsReportedAndTaggingIsNeverLookedFor) {
    TProgram program;
    program.UseStub("riffkit9");
    const TRun run = program.Run({});
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode, 0);
    ASSERT_EQ(run.Messages.size(), 1) << run.Messages.join("\n").toStdString();
    EXPECT_TRUE(run.Messages[0].startsWith("cuemark: error: Cannot load playback DLL libsonara.so"))
        << run.Messages[0].toStdString();
    EXPECT_TRUE(run.Loaded.isEmpty());
}

TEST(Startup, MissingTaggingLibraryIsReportedAfterPlaybackLoaded) {
    TProgram program;
    program.UseStub("sonara19");
    const TRun run = program.Run({});
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode, 0);
    ASSERT_EQ(run.Messages.size(), 1);
    EXPECT_TRUE(run.Messages[0].startsWith("cuemark: error: Cannot load tagging DLL libriffkit.so"))
        << run.Messages[0].toStdString();
    EXPECT_EQ(run.Loaded, QStringList{"sonara"});
}

// Stub K exports only the first K operations of its library in binding order, so
// the one message must name operation K: that shows the order and that binding
// stops at the first gap.
TEST(Startup, FirstMissingOperationIsNamedWithExitCodeMinusOne) {
    TProgram program;
    struct TCase {
        QString Playback, Tagging, Missing;
        QStringList Loaded;
    };
    QList<TCase> cases;
    for (int k = 0; k < PlaybackOperations.size(); ++k)
        cases.append({QString("sonara%1").arg(k), "riffkit9", PlaybackOperations[k], {"sonara"}});
    for (int k = 0; k < TaggingOperations.size(); ++k)
        cases.append(
            {"sonara19", QString("riffkit%1").arg(k), TaggingOperations[k], {"sonara", "riffkit"}});
    for (const TCase& c : cases) {
        SCOPED_TRACE((c.Playback + " " + c.Tagging).toStdString());
        program.UseStub(c.Playback);
        program.UseStub(c.Tagging);
        const TRun run = program.Run({});
        ASSERT_TRUE(run.Finished);
        EXPECT_EQ(run.ExitCode, 255);
        EXPECT_EQ(run.Messages, QStringList{"cuemark: error: " + c.Missing + " not found"});
        EXPECT_EQ(run.Loaded, c.Loaded);
    }
}

TEST(Startup, RegisterSwitchInAnyCaseEndsBeforeAnyLibraryIsLoaded) {
    TProgram program;
    program.UseStub("sonara19");
    program.UseStub("riffkit9");
    for (const char* argument : {"/REGISTER", "/register", "Register", "register"}) {
        SCOPED_TRACE(argument);
        QFile::remove(program.DataHome() + "/applications/cuemark-editinfo.desktop");
        const TRun run = program.Run({QString(argument)});
        ASSERT_TRUE(run.Finished);
        EXPECT_EQ(run.ExitCode, 255);
        EXPECT_TRUE(run.Messages.isEmpty());
        EXPECT_TRUE(run.Loaded.isEmpty());
        // The shell integration ran first.
        EXPECT_TRUE(QFile::exists(program.DataHome() + "/applications/cuemark-editinfo.desktop"));
    }
}

TEST(Startup, RegisterAsSecondArgumentIsNotTheSwitch) {
    TProgram program;
    program.RemoveLibraries();
    for (const QStringList& arguments : {QStringList{"/tmp/x.wav", "/register"},
                                         QStringList{"", "register"}, QStringList{"/registerx"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const TRun run = program.Run(arguments);
        ASSERT_TRUE(run.Finished);
        // Start-up went on to loading the libraries.
        EXPECT_EQ(run.ExitCode, 0);
        ASSERT_EQ(run.Messages.size(), 1);
        EXPECT_TRUE(run.Messages[0].startsWith("cuemark: error: Cannot load playback DLL "));
    }
}

// With the real libraries the window comes up (it reports the missing file it was
// given) and the program still ends on SIGTERM.
TEST(Startup, RealLibrariesBringUpTheWindowAndTheProgramEndsOnSigterm) {
    TProgram program;
    for (const QString name : {"libsonara.so", "libriffkit.so"})
        ASSERT_TRUE(QFile::link(QFileInfo(CUEMARK_BINARY).absolutePath() + "/" + name,
                                program.Folder + "/" + name));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LD_LIBRARY_PATH");
    env.remove("SDL_NO_SIGNAL_HANDLERS");
    env.insert("HOME", program.Home);
    env.insert("XDG_CONFIG_HOME", program.ConfigHome());
    env.insert("XDG_DATA_HOME", program.DataHome());
    env.insert("CUEMARK_SETTINGS_DIR", program.Home + "/settings");
    env.insert("CUEMARK_NONINTERACTIVE", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program.Executable(), {program.Home + "/missing.wav"});
    ASSERT_TRUE(process.waitForStarted(30000));
    QString err;
    for (int i = 0; i < 600 && !err.contains("cuemark: error: Invalid Audio File"); ++i) {
        process.waitForReadyRead(100);
        err += QString::fromUtf8(process.readAllStandardError());
        ASSERT_EQ(process.state(), QProcess::Running) << err.toStdString();
    }
    EXPECT_TRUE(err.contains("cuemark: error: Invalid Audio File")) << err.toStdString();
    process.terminate();
    const bool ended = process.waitForFinished(15000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    EXPECT_TRUE(ended);
}

// A file name that is not UTF-8 reaches the window as the bytes given in argv: the program
// finds the (read-only) file, makes it writable, and the tagging library opens it.
TEST(Startup, AFileNameThatIsNotUtf8ReachesTheWindowAsItsBytes) {
    TProgram program;
    for (const QString name : {"libsonara.so", "libriffkit.so"})
        ASSERT_TRUE(QFile::link(QFileInfo(CUEMARK_BINARY).absolutePath() + "/" + name,
                                program.Folder + "/" + name));
    const std::string file = program.Home.toStdString() + "/caf\xe9.wav";
    ASSERT_TRUE(Fixtures::WritePcmWav(file, {8000, 1, 0.5, 440.0}, SF_FORMAT_PCM_16));
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LD_LIBRARY_PATH");
    env.insert("HOME", program.Home);
    env.insert("XDG_CONFIG_HOME", program.ConfigHome());
    env.insert("XDG_DATA_HOME", program.DataHome());
    env.insert("CUEMARK_SETTINGS_DIR", program.Home + "/settings");
    env.insert("CUEMARK_NONINTERACTIVE", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    QProcess process;
    process.setProcessEnvironment(env);
    // QProcess passes text; the shell puts the raw byte 0xE9 into the argument.
    process.start("/bin/sh", {"-c", "exec \"$0\" \"$1$(printf '\\351')$2\"", program.Executable(),
                              program.Home + "/caf", ".wav"});
    ASSERT_TRUE(process.waitForStarted(30000));
    QString err;
    for (int i = 0; i < 600 && !err.contains("Removed read-only attribute"); ++i) {
        process.waitForReadyRead(100);
        err += QString::fromUtf8(process.readAllStandardError());
        ASSERT_EQ(process.state(), QProcess::Running) << err.toStdString();
    }
    EXPECT_TRUE(err.contains("cuemark: info: Removed read-only attribute")) << err.toStdString();
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_TRUE(status.st_mode & S_IWUSR);
    // The load runs on at once; give an error a moment to show before ending the program.
    process.waitForReadyRead(1000);
    err += QString::fromUtf8(process.readAllStandardError());
    EXPECT_FALSE(err.contains("Invalid Audio File")) << err.toStdString();
    process.terminate();
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
    }
}

TEST(ShellIntegration, EntriesNameTheRunningProgramAndFollowItWhenMoved) {
    TProgram first;
    // The user's own associations and defaults must survive.
    WriteText(first.ConfigHome() + "/mimeapps.list",
              "[Default Applications]\naudio/mpeg=player.desktop;\n\n"
              "[Added Associations]\naudio/mpeg=player.desktop;\n");
    ASSERT_TRUE(first.Run({"/register"}).Finished);

    const QString entryPath = first.DataHome() + "/applications/cuemark-editinfo.desktop";
    const QString entry = ReadText(entryPath);
    EXPECT_TRUE(entry.contains("\nName=Edit Info\n"));
    EXPECT_TRUE(entry.contains("\nExec=\"" + first.Executable() + "\" %f\n"))
        << entry.toStdString();
    // Types are offered through mimeapps.list only, so the entry can never become a default.
    EXPECT_FALSE(entry.contains("\nMimeType=")) << entry.toStdString();

    const QString package = ReadText(first.DataHome() + "/mime/packages/cuemark.xml");
    EXPECT_TRUE(package.contains("<glob pattern=\"*.tmc\"/>"));
    EXPECT_TRUE(package.contains("<glob pattern=\"*.mp1\"/>"));

    const QString serviceMenu =
        ReadText(first.DataHome() + "/kio/servicemenus/cuemark-editinfo.desktop");
    EXPECT_TRUE(serviceMenu.contains("Exec=\"" + first.Executable() + "\" %f"));
    EXPECT_TRUE(
        QFileInfo(first.DataHome() + "/kio/servicemenus/cuemark-editinfo.desktop").isExecutable());

    // The program moved to a folder whose name needs escaping; started twice.
    first.MoveTo("moved $HOME `x` 100%");
    ASSERT_TRUE(first.Run({"/register"}).Finished);
    ASSERT_TRUE(first.Run({"/register"}).Finished);

    const QString rewritten = ReadText(entryPath);
    EXPECT_TRUE(rewritten.contains("\nExec=\"" + first.Home +
                                   "/moved \\\\$HOME \\\\`x\\\\` 100%%/cuemark\" %f\n"))
        << rewritten.toStdString();
    EXPECT_FALSE(rewritten.contains(first.Home + "/prog/"));

    const QString mimeApps = ReadText(first.ConfigHome() + "/mimeapps.list");
    EXPECT_TRUE(mimeApps.startsWith("[Default Applications]\naudio/mpeg=player.desktop;\n"))
        << mimeApps.toStdString();
    const QString defaults = mimeApps.section("\n\n", 0, 0);
    EXPECT_FALSE(defaults.contains("cuemark-editinfo.desktop")) << mimeApps.toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
