// scripts/install-deps run against stand-in system tools in a private PATH: which
// command it runs, or prints, when packages are missing.

#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace {

struct TRun {
    int ExitCode = -1;
    std::string Err;
};

class InstallDepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bin = QString::fromStdString(Dir.File("bin"));
        ASSERT_TRUE(QDir().mkpath(Bin));
        for (const char* tool : {"bash", "grep"})
            ASSERT_TRUE(QFile::link(QStringLiteral("/bin/") + tool, Bin + '/' + tool));
        // Nothing is installed, and the user is not root.
        Script("dpkg-query", "exit 1");
        Script("id", "echo 1000");
        Script("apt-get", "echo \"apt-get $*\" >> \"$LOG\"");
    }

    void Script(const char* name, const char* body) {
        QFile file(Bin + '/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("#!/bin/bash\n") + body + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeUser);
    }

    TRun Run() {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), Bin);
        env.insert(QStringLiteral("LOG"), Log());
        QProcess process;
        process.setProcessEnvironment(env);
        process.setStandardInputFile(QProcess::nullDevice()); // no one to type a password
        process.start(QStringLiteral("/bin/bash"),
                      {QStringLiteral(CUEMARK_SOURCE_DIR "/scripts/install-deps")});
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), process.readAllStandardError().toStdString()};
    }

    QString Log() const { return QString::fromStdString(Dir.File("log")); }
    std::string Logged() const {
        QFile file(Log());
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    TTempDir Dir;
    QString Bin;
};

const std::string InstallLine = "apt-get install -y -q --no-install-recommends build-essential ";

TEST_F(InstallDepsTest, WithoutRootOrSudoPrintsTheInstallLineAndFails) {
    TRun run = Run();
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_NE(run.Err.find("\n  " + InstallLine), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find(" ffmpeg "), std::string::npos) << run.Err;

    // A sudo that would ask for a password nobody can type counts as none.
    Script("sudo", "[ \"$1\" = -n ] && exit 1; \"$@\"");
    run = Run();
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_NE(run.Err.find("\n  " + InstallLine), std::string::npos) << run.Err;
    EXPECT_EQ(Logged(), "");
}

TEST_F(InstallDepsTest, InstallsThroughSudoOrNotAtAllWhenNothingIsMissing) {
    Script("sudo", "[ \"$1\" = -n ] && shift; echo sudo >> \"$LOG\"; \"$@\"");
    const TRun run = Run();
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    const std::string log = Logged();
    EXPECT_EQ(log.rfind("sudo\nsudo\napt-get update -q\nsudo\n" + InstallLine, 0), 0u) << log;

    Script("dpkg-query", "echo 'install ok installed'");
    QFile::remove(Log());
    EXPECT_EQ(Run().ExitCode, 0);
    EXPECT_EQ(Logged(), "");
}

} // namespace
