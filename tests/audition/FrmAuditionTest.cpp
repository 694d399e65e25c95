// The audition panel inside the real main window, over the scripted libraries: loading and
// clearing stop audition and rebuild the panel, marker edits mark the editor modified, and
// marker values survive a save and a reload.
#include "Main.h"
#include "TAuditionPanel.h"
#include "TReadout.h"
#include "TScriptedAudioLibs.h"
#include "TScriptedMessages.h"
#include "TTrackBar.h"
#include "TUpDown.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QFile>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <memory>

namespace {

class FrmAudition : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(name, QByteArray::fromStdString(Dir.File(name)));
        qputenv("CUEMARK_SETTINGS_DIR", QByteArray::fromStdString(Dir.File("settings")));
        Libs.LengthMs = 180000;
    }

    QString AddFile(const std::string& name, std::map<std::string, std::string> tags) {
        const std::string path = Dir.File(name);
        Libs.Files[path].Tags = std::move(tags);
        return QString::fromStdString(path);
    }

    std::unique_ptr<TFrmMain> Open(const QStringList& arguments) {
        QList<QByteArray> bytes;
        for (const QString& argument : arguments)
            bytes.append(QFile::encodeName(argument));
        auto window = std::make_unique<TFrmMain>(bytes);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    TTempDir Dir;
    TScriptedMessages Boxes;
    TScriptedAudioLibs Libs;
};

TEST_F(FrmAudition, LoadingStopsAuditionAndRebuildsTheTransport) {
    const QString first = AddFile("first.wav", {{"ISRF", "5000"}, {"IMED", "10000"}});
    const QString second = AddFile("second.wav", {{"HKST", "30000"}});
    auto w = Open({first});
    TAuditionPanel* panel = w->AuditionPanel;
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->txtLength->text(), "03:00.0");
    EXPECT_EQ(panel->txtFromEnd->text(), "03:00.0");
    EXPECT_EQ(panel->TrackBar->maximum(), 1800);
    EXPECT_EQ(panel->edtStart->text(), "00:05.0");
    EXPECT_EQ(panel->edtEnd->text(), "00:10.0");

    panel->btnPlay->click();
    Libs.Status = SN_STATUS_PLAYING;
    Libs.PositionMs = 42000;
    panel->Audition().TimerSN_OnTic();
    ASSERT_EQ(panel->TrackBar->value(), 420);

    Libs.LengthMs = 9000;
    w->Document.CurrentFile = second;
    w->LoadCurrentFile();
    EXPECT_EQ(w->PlayHandle, 0u);
    EXPECT_EQ(Libs.CallCount("SN_PlayStop"), 1);
    EXPECT_FALSE(panel->Audition().TimerActive());
    EXPECT_TRUE(panel->btnPlay->isEnabled());
    EXPECT_EQ(panel->TrackBar->value(), 0);
    EXPECT_EQ(panel->TrackBar->maximum(), 90);
    EXPECT_EQ(panel->TrackBar->singleStep(), 0);
    EXPECT_EQ(panel->txtLength->text(), "00:09.0");
    EXPECT_EQ(panel->edtStart->text(), "");
    EXPECT_EQ(panel->edtEnd->text(), "");

    // Hook mode: only a start, so no hook length (not the previous file's).
    QTest::mouseClick(panel->lblHook, Qt::LeftButton);
    EXPECT_EQ(panel->edtStart->text(), "00:30.0");
    EXPECT_EQ(panel->txtHookLen->text(), "");
    EXPECT_FALSE(w->Document.Modified);

    w->ClearEditor();
    EXPECT_FALSE(panel->btnPlay->isEnabled());
    EXPECT_FALSE(panel->TrackBar->isEnabled());
    EXPECT_TRUE(panel->udStart->isEnabled());
    EXPECT_EQ(panel->TrackBar->maximum(), 0);
    EXPECT_EQ(panel->edtStart->text(), "");
    EXPECT_EQ(panel->txtLength->text(), "");
    // Shortcuts of the emptied editor do nothing.
    QTest::keyClick(w.get(), Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(w.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Libs.CallCount("SN_PlayStartXY"), 1);
    EXPECT_FALSE(w->Document.Modified);
}

TEST_F(FrmAudition, MarkerEditsMarkTheEditorModifiedAndSurviveSaveAndReload) {
    const QString path = AddFile("spot.wav", {{"HKST", "1000"}});
    {
        auto w = Open({path});
        TAuditionPanel* panel = w->AuditionPanel;
        QTest::mouseClick(panel->lblTones, Qt::LeftButton);
        EXPECT_FALSE(w->Document.Modified);
        EXPECT_FALSE(w->btnOk->isEnabled());

        panel->TrackBar->setValue(1700);
        QTest::mouseClick(panel->btnSetEnd, Qt::LeftButton);
        EXPECT_EQ(w->Markers.SegueMs, 10000);
        EXPECT_TRUE(w->Document.Modified);
        EXPECT_TRUE(w->btnOk->isEnabled());
        QTest::mouseClick(panel->udStart->UpButton(), Qt::LeftButton);

        QTest::mouseClick(panel->lblHook, Qt::LeftButton);
        panel->TrackBar->setValue(1200);
        QTest::mouseClick(panel->btnSetEnd, Qt::LeftButton);
        w->btnOk->click(); // saves and closes
    }
    const auto& stored = Libs.Files[path.toStdString()].Tags;
    for (const auto& [key, value] : std::map<std::string, std::string>{
             {"ISRF", "100"}, {"IMED", "10000"}, {"HKST", "1000"}, {"HKEN", "120000"}})
        EXPECT_EQ(stored.count(key) ? stored.at(key) : "(none)", value) << key;

    auto w = Open({path});
    EXPECT_EQ(w->Markers.IntroMs, 100);
    EXPECT_EQ(w->Markers.SegueMs, 10000);
    EXPECT_EQ(w->Markers.HookStartMs, 1000);
    EXPECT_EQ(w->Markers.HookEndMs, 120000);
    EXPECT_FALSE(w->ToneMode); // the last mode shown, restored from the settings
    EXPECT_EQ(w->AuditionPanel->edtEnd->text(), "01:00.0");
    EXPECT_EQ(w->AuditionPanel->txtHookLen->text(), "01:59.0");
}

TEST_F(FrmAudition, TheDeviceAndTheCodecBoxReachPlay) {
    const QString path = AddFile("spot.wav", {});
    auto w = Open({path});
    w->DeviceIndex = 65535; // passed on as an unsigned 16-bit value
    w->PageControl->chkUseCodec->setChecked(true);
    w->AuditionPanel->btnPlay->click();
    const auto it = std::find(Libs.Calls.begin(), Libs.Calls.end(),
                              "SN_GetHandlePlay(0,-1," + path.toStdString() + ")");
    EXPECT_NE(it, Libs.Calls.end());
    EXPECT_NE(std::find(Libs.Calls.begin(), Libs.Calls.end(), "SN_ForceCodec(1,1)"),
              Libs.Calls.end());
    w->close();
    EXPECT_EQ(Libs.Calls.back(), "SN_FreeHandlePlayAll()");
    EXPECT_EQ(w->PlayHandle, 0u);
    EXPECT_FALSE(w->AuditionPanel->Audition().TimerActive());
}

} // namespace
