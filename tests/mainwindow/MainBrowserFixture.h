#pragma once

// The fixture of the main-window browser tests: a temporary home and settings folder, the real
// service libraries bound, and an audio folder with a.wav, an MP3 file, c.wav, notes.txt and a
// sub-folder "sub".
#include "AudioFixtures.h"
#include "Main.h"
#include "TAudioLibs.h"
#include "TScriptedMessages.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

class TMainBrowserFixture : public ::testing::Test {
protected:
    // `mp3Name`: the MP3 file's name in the audio folder.
    explicit TMainBrowserFixture(const char* mp3Name) : Mp3Name(mp3Name) {}

    void SetUp() override {
        Home.BecomeHome();
        qputenv("CUEMARK_SETTINGS_DIR", QByteArray::fromStdString(Dir.File("settings")));
        qputenv("SDL_AUDIODRIVER", "dummy");
        const auto result = Binder.Load();
        ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;

        std::filesystem::create_directories(Audio / "sub");
        ASSERT_TRUE(Fixtures::WritePcmWav(File("a.wav"), {44100, 2, 0.5, 440.0}, SF_FORMAT_PCM_16));
        ASSERT_TRUE(Fixtures::WriteMp3(File(Mp3Name), {44100, 2, 0.5, 660.0}, false));
        ASSERT_TRUE(Fixtures::WritePcmWav(File("c.wav"), {22050, 1, 0.5, 330.0}, SF_FORMAT_PCM_16));
        std::ofstream(Audio / "notes.txt") << "running order";
        QDir().mkpath(QString::fromStdString(Dir.File("settings")));
    }
    void TearDown() override { Binder.Release(); }

    std::string File(const char* name) const { return (Audio / name).string(); }
    QString IniPath() const { return QString::fromStdString(Dir.File("settings/Cuemark.ini")); }
    void WriteIni(const QByteArray& text) {
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    std::unique_ptr<TFrmMain> OpenBrowser() {
        auto window = std::make_unique<TFrmMain>(QList<QByteArray>());
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }
    static void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, mods);
    }
    static QByteArray SelectedPath(TXListView& list) {
        const QList<int> rows = list.SelectedRows();
        return rows.isEmpty() ? QByteArray() : list.ListModel().PathOfRow(rows.first());
    }
    static int RowOf(TXListView& list, const QByteArray& path) {
        return list.ListModel().RowOfPath(path);
    }

    const char* Mp3Name;
    TTempDir Home;
    TTempDir Dir;
    std::filesystem::path Audio = Dir.Path() / "audio";
    TScriptedMessages Messages;
    TAudioLibsBinder Binder;
};
