// The real main window driven offscreen: the scripted library table where the test needs
// to set up or inspect the library's side exactly, the real tagging library for round trips.
#include "AudioFixtures.h"
#include "Calendar.h"
#include "Header.h"
#include "Main.h"
#include "OnNextModal.h"
#include "TAudioLibs.h"
#include "TAuditionPanel.h"
#include "TMaskedEdit.h"
#include "TMemo.h"
#include "TMessages.h"
#include "TReadout.h"
#include "TScriptedAudioLibs.h"
#include "TScriptedMessages.h"
#include "TTrackBar.h"
#include "TUpDown.h"
#include "TempDir.h"
#include "Time.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sndfile.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

using TKind = TScriptedMessages::TKind;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Home.BecomeHome();
        qputenv("CUEMARK_SETTINGS_DIR", QByteArray::fromStdString(Dir.File("settings")));
        Libs.LengthMs = 185000;
    }

    QString SettingsText() const {
        QFile file(QString::fromStdString(Dir.File("settings")) + "/Cuemark.ini");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // A file known to the scripted tagging library.
    QString AddFile(const std::string& name, std::map<std::string, std::string> tags,
                    bool hasId3v2 = true) {
        const std::string path = Dir.File(name);
        TScriptedAudioLibs::TFile& file = Libs.Files[path];
        for (auto& [key, value] : tags) {
            if (key == "DISP")
                file.Chunks[key] = value;
            else
                file.Tags[key] = value;
        }
        file.HasId3v2 = hasId3v2;
        return QString::fromStdString(path);
    }

    std::unique_ptr<TFrmMain> Open(const QString& file) {
        auto window = std::make_unique<TFrmMain>(
            file.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{QFile::encodeName(file)});
        window->show();
        return window;
    }

    std::map<std::string, std::string> StoredTags(const QString& path) {
        return Libs.Files[path.toStdString()].Tags;
    }

    TTempDir Home;
    TTempDir Dir;
    TScriptedMessages Messages;
    TScriptedAudioLibs Libs;
};

const std::map<std::string, std::string> FullTags = {{"DISP", "Morning Drive"},
                                                     {"IART", "The Band"},
                                                     {"ISRC", "NEWS"},
                                                     {"BFAD", "-1"},
                                                     {"ISRF", "1500"},
                                                     {"IMED", "2000"},
                                                     {"HKST", "0"},
                                                     {"HKEN", "0"},
                                                     {"IGNR", "2003/12/16"},
                                                     {"BSTM", "06:30"},
                                                     {"IKEY", "2004/13/01"},
                                                     {"BETM", "7:5x"},
                                                     {"BSTW", "05:00"},
                                                     {"BETW", "10:00"},
                                                     {"IALB", "Album"},
                                                     {"IYER", "1999"},
                                                     {"IGRE", "Gangsta "},
                                                     {"ITRK", "7"},
                                                     {"IENG", "Producer"},
                                                     {"ITCH", "Line 1\r\nLine 2"},
                                                     {"ICOM", "Composer"},
                                                     {"IPUB", "Publisher"},
                                                     {"BCPR", "Label"},
                                                     {"ICMT", "Note"},
                                                     {"INAM", "and that's it"},
                                                     {"ICOP", "Agency"},
                                                     {"ISFT", "Sales"},
                                                     {"ISBJ", "Copy text"},
                                                     {"IURL", "http://x"},
                                                     {"BKEY", "E-Flat"},
                                                     {"BEND", "Cold"},
                                                     {"BERG", "5"},
                                                     {"BTXR", "Own texture"},
                                                     {"BTPO", "Fast"},
                                                     {"IBPM", "120"}};

} // namespace

TEST_F(MainWindowTest, LoadingFillsEveryFieldByTheCatalogueWithoutMarkingChanges) {
    const QString path = AddFile("spot.wav", FullTags);
    auto w = Open(path);

    EXPECT_EQ(w->Document.CurrentFile, path);
    EXPECT_FALSE(w->BrowserMode);
    EXPECT_EQ(w->PageControl->FieldText("DISP"), "Morning Drive");
    EXPECT_EQ(w->PageControl->FieldText("IART"), "The Band");
    EXPECT_EQ(w->PageControl->cboCategory->currentText(), "NEWS");
    EXPECT_EQ(w->PageControl->cboCategory->itemText(w->PageControl->cboCategory->count() - 1),
              "NEWS");
    EXPECT_TRUE(w->PageControl->chkNoFade->isChecked());
    EXPECT_EQ(w->PageControl->edtStartDate->Text(), "12/16/2003");
    EXPECT_EQ(w->PageControl->edtEndDate->Text(), "  /  /    ");
    EXPECT_EQ(w->PageControl->edtStartTime->Text(), "06:30");
    EXPECT_EQ(w->PageControl->edtEndTime->Text(), "  :  ");
    EXPECT_EQ(w->PageControl->FieldText("ITCH"), "Line 1\r\nLine 2");
    EXPECT_EQ(w->PageControl->cboGenre->currentText(), "Gangsta ");
    EXPECT_EQ(w->PageControl->FieldText("BKEY"), "E-Flat");
    EXPECT_EQ(w->PageControl->FieldText("BTXR"), "Own texture");
    for (const char* key : {"IALB", "IYER", "ITRK", "IENG", "ICOM", "IPUB", "BCPR", "ICMT", "INAM",
                            "ICOP", "ISFT", "ISBJ", "IURL", "BEND", "BERG", "BTPO", "IBPM"})
        EXPECT_EQ(w->PageControl->FieldText(key), QString::fromStdString(FullTags.at(key))) << key;
    EXPECT_EQ(w->Markers.IntroMs, 1500);
    EXPECT_EQ(w->Markers.SegueMs, 2000);
    EXPECT_EQ(w->Markers.HookStartMs, 0);
    EXPECT_EQ(w->Markers.HookEndMs, -1);
    EXPECT_EQ(w->Markers.LengthMs, 185000u);
    EXPECT_EQ(w->PageControl->txtFormat->text(), "WAV File / PCM 16 bit - 44100 Hz Stereo");
    EXPECT_EQ(w->PageControl->txtLocation->toolTip(), path);
    EXPECT_TRUE(w->PageControl->txtLocation->text().endsWith("/spot.wav"));
    EXPECT_LE(w->PageControl->txtLocation->fontMetrics().horizontalAdvance(
                  w->PageControl->txtLocation->text()),
              w->PageControl->txtLocation->width() - 20);
    EXPECT_EQ(w->windowTitle(), "QAV Cuemark - spot.wav");
    EXPECT_FALSE(w->Document.Modified);
    EXPECT_FALSE(w->btnOk->isEnabled());
    EXPECT_FALSE(w->btnAddId3v2->isVisible());
    EXPECT_TRUE(Messages.Records().isEmpty());
    EXPECT_EQ(Libs.CallCount("CloseWavFile"), 1);
    EXPECT_TRUE(Libs.OpenPath().empty());
}

TEST_F(MainWindowTest, LayoutAndModes) {
    auto single = Open(AddFile("a.wav", {}));
    EXPECT_EQ(single->PageControl->width(), 320);
    EXPECT_EQ(single->btnCancel->text(), "Cancel");
    EXPECT_FALSE(single->pnlBrowser->isVisible());
    EXPECT_EQ(single->PageControl->count(), 8);
    EXPECT_FALSE(single->PageControl->isTabVisible(TEditorPages::piImage));
    const QStringList tabs = {"&Description / Tones",
                              "&Times / Album",
                              "&Authoring",
                              "&Commercial",
                              "Image",
                              "Music",
                              "A&bout",
                              "B&roadcast"};
    for (int i = 0; i < tabs.size(); ++i)
        EXPECT_EQ(single->PageControl->tabText(i), tabs[i]);
    single.reset();

    auto browser = Open(QString());
    EXPECT_TRUE(browser->BrowserMode);
    EXPECT_EQ(browser->btnCancel->text(), "Done");
    EXPECT_FALSE(browser->btnOk->isEnabled());
    EXPECT_FALSE(browser->PageControl->edtTitle->isEnabled());
    EXPECT_EQ(browser->PageControl->cboCategory->currentText(), "AUDIO");
    EXPECT_EQ(browser->pos(), QPoint(219, 211));
    EXPECT_EQ(browser->PageControl->currentIndex(), TEditorPages::piDescription);
}

TEST_F(MainWindowTest, TypingMarksModifiedAndEnablesSave) {
    auto w = Open(AddFile("a.wav", {{"DISP", "T"}}));
    QTest::keyClicks(w->PageControl->edtTitle, "x");
    EXPECT_TRUE(w->Document.Modified);
    EXPECT_TRUE(w->btnOk->isEnabled());

    // A second load does not clear Modified, nor does it set it.
    w->Document.Modified = false;
    w->LoadCurrentFile();
    EXPECT_FALSE(w->Document.Modified);
    auto* talent = qobject_cast<TMemo*>(w->PageControl->FieldWidget("ITCH"));
    QTest::keyClicks(talent, "y");
    EXPECT_TRUE(w->Document.Modified);
}

TEST_F(MainWindowTest, SaveWritesTheFieldsClosesSingleFileModeAndShowsStatus) {
    const QString path = AddFile("spot.wav", FullTags);
    auto w = Open(path);
    w->PageControl->SetFieldText("DISP", "");
    w->PageControl->SetFieldText("IALB", "");
    w->PageControl->SetFieldText("IKEY", "");
    w->PageControl->SetFieldText("ITCH", "One\r\nTwo");
    w->PageControl->chkNoFade->setChecked(false);
    w->Markers.IntroMs = 0;
    w->Markers.HookEndMs = 9000;
    w->btnOk_OnClick();

    const auto file = Libs.Files[path.toStdString()];
    EXPECT_EQ(file.Chunks.at("DISP"), " ");
    const auto tags = file.Tags;
    EXPECT_EQ(tags.at("IGNR"), "2003/12/16");
    EXPECT_EQ(tags.at("IKEY"), " ");
    EXPECT_EQ(tags.at("BFAD"), "0");
    EXPECT_EQ(tags.at("BSTM"), "06:30");
    EXPECT_EQ(tags.count("BETM"), 0u);
    EXPECT_EQ(tags.count("IALB"), 0u);
    EXPECT_EQ(tags.count("ISRF"), 0u);
    EXPECT_EQ(tags.at("IMED"), "2000");
    EXPECT_EQ(tags.at("HKST"), "0");
    EXPECT_EQ(tags.at("HKEN"), "9000");
    EXPECT_EQ(tags.at("ITCH"), "One\r\nTwo");
    EXPECT_EQ(tags.at("IGRE"), "Gangsta ");
    EXPECT_EQ(tags.at("ISRC"), "NEWS");
    EXPECT_EQ(w->statusBar()->currentMessage(), "Saved: spot.wav");
    EXPECT_FALSE(w->Document.Modified);
    EXPECT_FALSE(w->isVisible()); // single-file mode closes after a save
    EXPECT_TRUE(Messages.Records().isEmpty());
}

TEST_F(MainWindowTest, EnterSavesAndEscCancelsOnlyInSingleFileMode) {
    const QString path = AddFile("a.wav", {{"DISP", "Old"}});
    auto w = Open(path);
    QTest::keyClicks(w->PageControl->edtTitle, "!");
    QTest::keyClick(w->PageControl->edtTitle, Qt::Key_Return);
    EXPECT_EQ(Libs.Files[path.toStdString()].Chunks.at("DISP"), "Old!");
    EXPECT_FALSE(w->isVisible());

    w = Open(path);
    QTest::keyClick(w->PageControl->edtTitle, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());

    w = Open(QString());
    w->Document.CurrentFile = path;
    w->LoadCurrentFile();
    QTest::keyClicks(w->PageControl->edtTitle, "?");
    QTest::keyClick(w->PageControl->edtTitle, Qt::Key_Return);
    QTest::keyClick(w->PageControl->edtTitle, Qt::Key_Escape);
    EXPECT_EQ(Libs.Files[path.toStdString()].Chunks.at("DISP"), "Old!");
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindowTest, SaveFailuresKeepModified) {
    const QString path = AddFile("a.wav", {{"DISP", "Old"}});
    auto w = Open(path);
    QTest::keyClicks(w->PageControl->edtTitle, "er");
    const QString message =
        "Cannot open file to save tags. Ensure the file is not open\nin another application.";

    Libs.CloseResult = 1; // the close reports that nothing was stored
    w->btnOk_OnClick();
    EXPECT_EQ(Messages.Texts(TKind::Error), QStringList{message});
    EXPECT_TRUE(w->Document.Modified);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->statusBar()->currentMessage(), "");

    Libs.CloseResult = 0;
    Libs.Files.erase(path.toStdString()); // the file can no longer be opened
    w->btnOk_OnClick();
    EXPECT_EQ(Messages.Texts(TKind::Error), (QStringList{message, message}));
    EXPECT_TRUE(w->Document.Modified);

    // The library's reason, when it gives one, follows on a line of its own.
    AddFile("a.wav", {{"DISP", "Old"}});
    Libs.CloseResult = 1;
    Libs.FailureReason = "ID3v1 holds at most 30 characters of a title";
    Messages.Clear();
    w->btnOk_OnClick();
    EXPECT_EQ(Messages.Texts(TKind::Error),
              QStringList{message + "\nID3v1 holds at most 30 characters of a title"});
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindowTest, APromptedSaveThatFailsKeepsTheWindowOpenWithTheEdits) {
    const QString path = AddFile("a.wav", {{"DISP", "Old"}});
    auto w = Open(path);
    QTest::keyClicks(w->PageControl->edtTitle, " New");
    w->PageControl->SetFieldText("BSTM", "10:00"); // a time without a date: refused
    Messages.QueueAnswer(TMessages::mbYes);
    w->btnCancel->click();
    EXPECT_EQ(Messages.Texts(TKind::Error),
              QStringList{"Both a *Start Date* and a Start Time must be entered"});
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->Document.Modified);
    EXPECT_EQ(w->PageControl->FieldText("DISP"), "Old New");
    EXPECT_EQ(Libs.Files[path.toStdString()].Chunks.at("DISP"), "Old");

    // A write that fails is the same.
    w->PageControl->SetFieldText("BSTM", "");
    Libs.CloseResult = 1;
    Messages.Clear();
    Messages.QueueAnswer(TMessages::mbYes);
    EXPECT_FALSE(w->PromptSaveChanges());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->Document.Modified);

    Libs.CloseResult = 0;
    Messages.QueueAnswer(TMessages::mbYes);
    w->btnCancel->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(Libs.Files[path.toStdString()].Chunks.at("DISP"), "Old New");
}

// --- keys as a user's arrive: at the focused widget of the active window ------------------

class MainWindowKeysTest : public MainWindowTest {
protected:
    std::unique_ptr<TFrmMain> OpenActive(const QString& file) {
        auto window = Open(file);
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }
    static void Type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    void WriteSettings(const QByteArray& text) {
        QDir().mkpath(QString::fromStdString(Dir.File("settings")));
        QFile file(QString::fromStdString(Dir.File("settings")) + "/Cuemark.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(MainWindowKeysTest, BackspaceAndDeleteTypedIntoTheComboBoxRemoveTheCompletion) {
    WriteSettings("[Categories]\nCategory0=AUDIO\nCategory1=SPOT\n");
    auto w = OpenActive(AddFile("a.wav", {}));
    QComboBox* category = w->PageControl->cboCategory;
    category->setFocus();
    category->lineEdit()->clear();
    Type("spo");
    EXPECT_EQ(category->currentText(), "SPOT");
    EXPECT_EQ(category->lineEdit()->selectedText(), "T");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(category->currentText(), "SPO");
    Type("r");
    EXPECT_EQ(category->currentText(), "SPOR"); // nothing begins with it
    Press(Qt::Key_Left);
    Press(Qt::Key_Delete);
    EXPECT_EQ(category->currentText(), "SPO");

    QComboBox* genre = w->PageControl->cboGenre;
    genre->setFocus();
    genre->lineEdit()->clear();
    Type("ro");
    EXPECT_EQ(genre->currentText(), "Rock");
    EXPECT_EQ(genre->lineEdit()->selectedText(), "ck");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(genre->currentText(), "Ro");
    EXPECT_TRUE(w->Document.Modified);
}

TEST_F(MainWindowKeysTest, CtrlTabStepsOverTheHiddenPage) {
    auto w = OpenActive(AddFile("a.wav", {}));
    w->PageControl->setCurrentIndex(TEditorPages::piCommercial);
    w->PageControl->FieldWidget("INAM")->setFocus();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(w->PageControl->currentIndex(), TEditorPages::piMusic);
    Press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w->PageControl->currentIndex(), TEditorPages::piCommercial);
}

TEST_F(MainWindowKeysTest, TabFollowsTheVisualOrderOfTheFirstPage) {
    auto w = OpenActive(AddFile("a.wav", {}));
    TAuditionPanel* panel = w->AuditionPanel;
    w->PageControl->edtTitle->setFocus();
    QList<QWidget*> visited{QApplication::focusWidget()};
    for (int i = 0; i < 16; ++i) {
        Press(Qt::Key_Tab);
        visited.append(QApplication::focusWidget());
    }
    const QList<QWidget*> expected = {w->PageControl->edtTitle,
                                      w->PageControl->edtArtist,
                                      w->PageControl->cboCategory,
                                      w->PageControl->chkNoFade,
                                      panel->btnPlay,
                                      panel->btnStop,
                                      panel->btnPause,
                                      panel->TrackBar,
                                      panel->edtStart,
                                      panel->btnSetStart,
                                      panel->edtEnd,
                                      panel->btnSetEnd};
    ASSERT_GE(visited.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(visited[i], expected[i])
            << "step " << i << ": " << visited[i]->objectName().toStdString();
    const qsizetype save = visited.indexOf(w->btnOk);
    EXPECT_TRUE(save < 0 || save > visited.indexOf(panel->btnSetEnd));
}

TEST_F(MainWindowKeysTest, FormatReadOutCarriesItsWholeTextAndTheHookLabelStaysReadable) {
    Libs.FormatA = "MPEG 1 Layer 3, joint stereo, 44100 Hz, 320 kbps constant bit rate";
    auto w = OpenActive(AddFile("a.wav", {}));
    QLineEdit* format = w->PageControl->txtFormat;
    EXPECT_EQ(format->toolTip(), format->text());
    EXPECT_TRUE(format->text().contains("320 kbps"));
    EXPECT_TRUE(format->focusPolicy() & Qt::ClickFocus);
    format->setFocus();
    format->selectAll();
    EXPECT_EQ(format->selectedText(), format->text());

    const QColor disabledText =
        w->AuditionPanel->lblHook->palette().color(QPalette::Disabled, QPalette::WindowText);
    EXPECT_LT(disabledText.lightness(), 100);
}

TEST_F(MainWindowKeysTest, APositionOffEveryScreenIsBroughtBack) {
    WriteSettings("[Main]\nLeft=3000\nTop=2500\n");
    auto w = OpenActive(AddFile("a.wav", {}));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(w->pos())) << w->pos().x() << "," << w->pos().y();
    EXPECT_GE(screen.right() - w->pos().x(), 100);

    // A position on the screen is kept as it was.
    w.reset();
    WriteSettings("[Main]\nLeft=40\nTop=50\n");
    w = OpenActive(AddFile("a.wav", {}));
    EXPECT_EQ(w->pos(), QPoint(40, 50));
}

TEST_F(MainWindowTest, ValidationStopsTheSaveOnTheTimesPageWithTheFieldFocused) {
    struct TRow {
        QList<QPair<QString, QString>> Fields;
        QString Message;
        QString Focus;
    };
    const QList<TRow> rows = {
        {{{"IGNR", "13/01/2003"}}, "Invalid Start Date", "IGNR"},
        {{{"IKEY", "02/30/2003"}}, "Invalid End Date", "IKEY"},
        {{{"BSTM", "24:00"}}, "Invalid Start Time", "BSTM"},
        {{{"BETM", "10:61"}}, "Invalid End Time", "BETM"},
        {{{"BSTW", "1 :  "}}, "Invalid Start Time Window", "BSTW"},
        {{{"BETW", "30:00"}}, "Invalid End Time Window", "BETW"},
        {{{"BSTM", "10:00"}}, "Both a *Start Date* and a Start Time must be entered", "IGNR"},
        {{{"BETM", "10:00"}}, "Both an *End Date* and an End Time must be entered", "IKEY"},
        {{{"IGNR", "12/31/2003"}, {"BSTM", "23:00"}, {"IKEY", "12/31/2003"}, {"BETM", "22:00"}},
         "Start Date/Time is greater than End Date/Time",
         "IGNR"},
        {{{"BETW", "02:00"}}, "Both an Start Time and an End Time Window must be entered", "BSTW"},
        {{{"BSTW", "22:00"}, {"BETW", "02:00"}},
         "Start Time Window is greater than End Time Window",
         "BSTW"},
    };
    const QString path = AddFile("a.wav", {{"IALB", "kept"}});
    auto w = Open(path);
    for (const TRow& row : rows) {
        w->LoadCurrentFile();
        w->PageControl->setCurrentIndex(TEditorPages::piDescription);
        for (const auto& [key, text] : row.Fields)
            w->PageControl->SetFieldText(key, text);
        w->PageControl->SetFieldText("IALB", "changed");
        Messages.Clear();
        w->btnOk_OnClick();
        EXPECT_EQ(Messages.Texts(TKind::Error), QStringList{row.Message});
        EXPECT_EQ(w->PageControl->currentWidget(), w->PageControl->tabTimes)
            << row.Message.toStdString();
        EXPECT_EQ(w->focusWidget(), w->PageControl->FieldWidget(row.Focus))
            << row.Message.toStdString();
        EXPECT_EQ(StoredTags(path).at("IALB"), "kept") << row.Message.toStdString();
        EXPECT_TRUE(Libs.OpenPath().empty());
        EXPECT_TRUE(w->isVisible());
    }
}

TEST_F(MainWindowTest, CancelAsksAboutUnsavedChangesAndTheCloseBoxDoesNot) {
    const QString path = AddFile("song.wav", {{"DISP", "Old"}});
    {
        auto w = Open(path);
        w->btnCancel->click(); // nothing changed: no question
        EXPECT_TRUE(Messages.Records().isEmpty());
        EXPECT_FALSE(w->isVisible());
    }
    {
        auto w = Open(path);
        QTest::keyClicks(w->PageControl->edtTitle, " New");
        Messages.QueueAnswer(TMessages::mbNo);
        w->btnCancel->click();
        ASSERT_EQ(Messages.Records().size(), 1);
        const auto& question = Messages.Records().first();
        EXPECT_EQ(question.Kind, TKind::Question);
        EXPECT_EQ(question.Text, "The information for song.wav changed.\nSave it?");
        EXPECT_EQ(question.Buttons, TMessages::mbYes | TMessages::mbNo);
        ASSERT_TRUE(question.TopLeft.has_value());
        EXPECT_EQ(*question.TopLeft,
                  w->mapToGlobal(QPoint(w->width() / 2 - 150, w->height() / 2 - 75)));
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(Libs.Files[path.toStdString()].Chunks.at("DISP"), "Old");
    }
    {
        Messages.Clear();
        auto w = Open(path);
        QTest::keyClicks(w->PageControl->edtTitle, " New");
        Messages.QueueAnswer(TMessages::mbYes);
        w->btnCancel->click();
        EXPECT_EQ(Libs.Files[path.toStdString()].Chunks.at("DISP"), "Old New");
        EXPECT_FALSE(w->isVisible());
    }
    {
        Messages.Clear();
        auto w = Open(path);
        QTest::keyClicks(w->PageControl->edtTitle, "!");
        w->PlayHandle = 7;
        const int freed = Libs.CallCount("SN_FreeHandlePlayAll");
        w->close(); // the close box
        EXPECT_TRUE(Messages.Records().isEmpty());
        EXPECT_EQ(Libs.CallCount("SN_FreeHandlePlayAll"), freed + 1);
        EXPECT_EQ(w->PlayHandle, 0u);
        EXPECT_EQ(Libs.Files[path.toStdString()].Chunks.at("DISP"), "Old New");
    }
}

TEST_F(MainWindowTest, ReadOnlyFileIsMadeWritableWithOneInformationBox) {
    const QString path = AddFile("ro.wav", {{"DISP", "T"}});
    QFile(path).open(QIODevice::WriteOnly);
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    auto w = Open(path);
    EXPECT_EQ(Messages.Texts(TKind::Information), QStringList{"Removed read-only attribute"});
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::WriteOwner);
    EXPECT_EQ(w->PageControl->FieldText("DISP"), "T");

    Messages.Clear();
    w->LoadCurrentFile(); // now writable: no box
    EXPECT_TRUE(Messages.Records().isEmpty());
}

TEST_F(MainWindowTest, UnreadableFileShowsInvalidAudioFile) {
    auto w = Open(QString::fromStdString(Dir.File("missing.wav")));
    EXPECT_EQ(Messages.Texts(TKind::Error), QStringList{"Invalid Audio File"});
    EXPECT_FALSE(w->PageControl->edtTitle->isEnabled());
    EXPECT_EQ(w->windowTitle(), "QAV Cuemark");
}

TEST_F(MainWindowTest, MpegWithoutId3v2KeepsOnlyTheId3v1FieldsUntilATagIsAdded) {
    const QString path = AddFile("song.mp3", {{"DISP", "T"}, {"IGRE", "Rock"}}, false);
    Libs.FormatA = "MPEG 1 Layer 3";
    Libs.FormatB = "128 kbps";
    auto w = Open(path);
    EXPECT_EQ(w->PageControl->txtFormat->text(), "MP3 File / MPEG 1 Layer 3 - 128 kbps");
    EXPECT_TRUE(w->btnAddId3v2->isVisible());
    for (const char* key : {"DISP", "IART", "IALB", "IYER", "IGRE", "ITRK", "ICMT"}) {
        EXPECT_TRUE(w->PageControl->FieldWidget(key)->isEnabled()) << key;
        EXPECT_TRUE(w->PageControl->FieldLabel(key)->isEnabled()) << key;
    }
    for (const char* key : {"ISRC", "BFAD", "IGNR", "BSTM", "IKEY", "BETW", "IENG", "ITCH", "INAM",
                            "ISBJ", "IURL", "BKEY", "BERG", "IBPM"})
        EXPECT_FALSE(w->PageControl->FieldWidget(key)->isEnabled()) << key;
    EXPECT_FALSE(w->PageControl->FieldLabel("ISRC")->isEnabled());
    EXPECT_FALSE(w->PageControl->btnStartDate->isEnabled());
    EXPECT_FALSE(w->PageControl->btnEndWindow->isEnabled());
    EXPECT_EQ(w->PageControl->FieldWidget("IENG")->palette().color(QPalette::Base),
              QColor(0xE0, 0xE0, 0xE0));

    Libs.AddId3v2Result = -1;
    w->btnAddId3v2->click();
    EXPECT_EQ(Messages.Texts(TKind::Error),
              QStringList{"Cannot add ID3v2 tag. The file may be in use."});
    EXPECT_TRUE(w->btnAddId3v2->isVisible());

    Libs.AddId3v2Result = 0;
    w->btnAddId3v2->click();
    EXPECT_FALSE(w->btnAddId3v2->isVisible());
    for (const char* key : {"ISRC", "IGNR", "IENG", "ISBJ", "BKEY"})
        EXPECT_TRUE(w->PageControl->FieldWidget(key)->isEnabled()) << key;
    EXPECT_TRUE(w->PageControl->btnStartDate->isEnabled());
    EXPECT_EQ(w->PageControl->txtFormat->text(), "MP3 w/ ID3v2  File / MPEG 1 Layer 3 - 128 kbps");
}

TEST_F(MainWindowTest, Mp1IsNeverRestrictedAndMpgIsMpeg) {
    auto mp1 = Open(AddFile("a.mp1", {}, false));
    EXPECT_FALSE(mp1->btnAddId3v2->isVisible());
    EXPECT_TRUE(mp1->PageControl->FieldWidget("ISRC")->isEnabled());
    mp1.reset();
    auto mpg = Open(AddFile("a.mpg", {}, false));
    EXPECT_TRUE(mpg->btnAddId3v2->isVisible());
    EXPECT_FALSE(mpg->PageControl->FieldWidget("ISRC")->isEnabled());
}

// WCAG contrast ratio, worked out here from the colours' sRGB values.
double ContrastRatio(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double x = luminance(a);
    const double y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

TEST_F(MainWindowTest, ControlsWithTheirOwnBackgroundsStayReadableUnderADarkPalette) {
    // A dark scheme as qt6ct's "darker" gives it with Fusion: light text on dark ground.
    const QPalette before = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, QColor(0xdd, 0xdd, 0xdd));
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x40, 0x40, 0x40));
    dark.setColor(QPalette::ButtonText, QColor(0xdd, 0xdd, 0xdd));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    QApplication::setPalette(dark);
    {
        auto w = Open(AddFile("a.wav", FullTags));
        w->resize(900, 640);
        w->PageControl->setCurrentIndex(TEditorPages::piDescription);
        QApplication::processEvents();
        TAuditionPanel& audition = *w->AuditionPanel;
        struct TControl {
            QWidget* Widget;
            QPalette::ColorRole Background;
            QPalette::ColorRole Text;
        } controls[] = {
            {w->PageControl->txtLocation, QPalette::Base, QPalette::Text},
            {w->PageControl->txtFormat, QPalette::Base, QPalette::Text},
            {audition.txtFromStart, QPalette::Window, QPalette::WindowText},
            {audition.txtLength, QPalette::Window, QPalette::WindowText},
            {audition.txtFromEnd, QPalette::Window, QPalette::WindowText},
            {audition.lblTones, QPalette::Window, QPalette::WindowText},
            {audition.lblHook, QPalette::Window, QPalette::WindowText},
            {audition.edtStart, QPalette::Base, QPalette::Text},
            {audition.edtEnd, QPalette::Base, QPalette::Text},
        };
        for (const TControl& c : controls) {
            const QPalette& p = c.Widget->palette();
            EXPECT_GE(ContrastRatio(p.color(QPalette::Active, c.Background),
                                    p.color(QPalette::Active, c.Text)),
                      4.5)
                << c.Widget->objectName().toStdString();
        }
        // For the eye: CUEMARK_SCREENSHOT_DIR=... under Xvfb keeps a picture of the editor.
        const QByteArray shots = qgetenv("CUEMARK_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            w->grab().save(QString::fromLocal8Bit(shots) + "/editor-dark.png");
    }
    QApplication::setPalette(before);
}

TEST_F(MainWindowTest, CategoryListFollowsLoadedFilesAndPersistsAcrossARestart) {
    const QString first = AddFile("a.wav", {{"ISRC", "JINGLE"}});
    const QString second = AddFile("b.wav", {});
    {
        auto w = Open(QString());
        w->Document.CurrentFile = first;
        w->LoadCurrentFile();
        EXPECT_EQ(w->PageControl->cboCategory->currentText(), "JINGLE");
        w->Document.CurrentFile = second;
        w->LoadCurrentFile();
        EXPECT_EQ(w->PageControl->cboCategory->currentText(), ""); // the empty entry, appended once
        w->Document.CurrentFile = second;
        w->LoadCurrentFile();
        EXPECT_EQ(w->PageControl->cboCategory->count(), 3);
        EXPECT_EQ(w->PageControl->cboCategory->currentIndex(), 2);

        // Typed text becomes capitals; the text in the box at close joins the list.
        w->PageControl->cboCategory->lineEdit()->clear();
        QTest::keyClicks(w->PageControl->cboCategory->lineEdit(), "news");
        EXPECT_EQ(w->PageControl->cboCategory->currentText(), "NEWS");
        EXPECT_TRUE(w->Document.Modified);
    }
    const QString ini = SettingsText();
    // The empty entry is never stored.
    EXPECT_TRUE(ini.contains("[Categories]\nCategory0=AUDIO\nCategory1=JINGLE\nCategory2=NEWS\n"))
        << ini.toStdString();
    EXPECT_FALSE(ini.contains("Category3")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Tones=1"));
    EXPECT_TRUE(ini.contains("UseCodec=0"));
    EXPECT_TRUE(ini.contains("Height="));

    auto entries = [](const TFrmMain& w) {
        QStringList texts;
        for (int i = 0; i < w.PageControl->cboCategory->count(); ++i)
            texts << w.PageControl->cboCategory->itemText(i);
        return texts;
    };
    EXPECT_EQ(entries(*Open(QString())), (QStringList{"AUDIO", "JINGLE", "NEWS"}));

    // An older file's empty entries and gaps in the numbering are passed over, not its end.
    QFile file(QString::fromStdString(Dir.File("settings")) + "/Cuemark.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Categories]\nCategory0=AUDIO\nCategory1=\nCategory2=JINGLE\nCategory5=NEWS\n"
               "category10=SPOT\n");
    file.close();
    EXPECT_EQ(entries(*Open(QString())), (QStringList{"AUDIO", "JINGLE", "NEWS", "SPOT"}));
    EXPECT_TRUE(SettingsText().contains(
        "[Categories]\nCategory0=AUDIO\nCategory1=JINGLE\nCategory2=NEWS\nCategory3=SPOT\n"))
        << SettingsText().toStdString();
}

TEST_F(MainWindowTest, SettingsAreRestoredAndSingleFileModeLeavesBrowserKeysAlone) {
    QDir().mkpath(QString::fromStdString(Dir.File("settings")));
    QFile file(QString::fromStdString(Dir.File("settings")) + "/Cuemark.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray text = "[Main]\nActivePage=5\nTones=0\nLeft=40\nTop=50\nUseCodec=1\n"
                      "Height=600\nWidth=900\nFolder=/srv/audio\n[Categories]\n";
    for (int i = 0; i < 130; ++i)
        text += "Category" + QByteArray::number(i) + "=C" + QByteArray::number(i) + "\n";
    file.write(text);
    file.close();

    {
        auto w = Open(AddFile("a.wav", {{"ISRC", "C5"}}));
        EXPECT_EQ(w->PageControl->currentIndex(), TEditorPages::piMusic);
        EXPECT_FALSE(w->ToneMode);
        EXPECT_EQ(w->pos(), QPoint(40, 50));
        EXPECT_TRUE(w->PageControl->chkUseCodec->isChecked());
        EXPECT_EQ(w->PageControl->cboCategory->count(), 128);
        w->PageControl->setCurrentIndex(TEditorPages::piAuthoring);
        w->PageControl->chkUseCodec->setChecked(false);
    }
    const QString ini = SettingsText();
    EXPECT_TRUE(ini.contains("ActivePage=2"));
    EXPECT_TRUE(ini.contains("Tones=0"));
    EXPECT_TRUE(ini.contains("UseCodec=0"));
    EXPECT_TRUE(ini.contains("Height=600\nWidth=900\nFolder=/srv/audio"));
    EXPECT_TRUE(ini.contains("Category127=C127"));
    EXPECT_FALSE(ini.contains("Category128"));
}

TEST_F(MainWindowTest, GenreCompletionAndTheBackspaceRule) {
    auto w = Open(AddFile("a.wav", {}));
    EXPECT_EQ(w->PageControl->cboGenre->count(), 148);
    EXPECT_EQ(w->PageControl->cboGenre->itemText(0), "Acapella");
    QLineEdit* edit = w->PageControl->cboGenre->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, "ro");
    EXPECT_EQ(edit->text(), "Rock");
    EXPECT_EQ(edit->selectedText(), "ck");
    EXPECT_TRUE(w->Document.Modified);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "Ro");
    EXPECT_EQ(edit->selectedText(), "");
    QTest::keyClicks(edit, "ck &");
    EXPECT_EQ(edit->text(), "Rock & Roll");
}

TEST_F(MainWindowTest, HeaderDumpOfAShortFile) {
    const QString path = AddFile("short.wav", {});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF\x01\x02WAVE");
    file.close();
    auto w = Open(path);
    const QString expected =
        "0000: 52 49 46 46 01 02 57 41-56 45 " + QString(6 * 3, ' ') + "RIFF..WAVE\r\n";
    EXPECT_EQ(w->HeaderDumpText(), expected);

    QString shown;
    OnNextModal([&shown](QWidget* modal) {
        auto* header = qobject_cast<TFrmHeader*>(modal);
        ASSERT_NE(header, nullptr);
        shown = header->mmoHeader->toPlainText();
        header->btnDone->click();
    });
    QTest::keyRelease(w.get(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(shown.startsWith("0000: 52 49 46 46 01 02 57 41-56 45 ")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("RIFF..WAVE"));
}

TEST_F(MainWindowTest, CalendarButtonsFillClearAndRefuseAnEndBeforeTheStart) {
    const QString path = AddFile("a.wav", {{"IGNR", "2003/12/16"}});
    auto w = Open(path);

    OnNextModal([](QWidget* modal) {
        auto* calendar = qobject_cast<TFrmCalendar*>(modal);
        ASSERT_NE(calendar, nullptr);
        EXPECT_EQ(calendar->windowTitle(), "End Date & Time");
        calendar->SetDate(QDate(2003, 12, 1));
        calendar->btnSet->click();
    });
    w->PageControl->btnEndDate->click();
    EXPECT_EQ(Messages.Texts(TKind::Error), QStringList{"Start Date is greater than End Date"});
    EXPECT_EQ(w->PageControl->edtEndDate->Text(), "  /  /    ");

    OnNextModal([](QWidget* modal) {
        auto* calendar = qobject_cast<TFrmCalendar*>(modal);
        EXPECT_EQ(calendar->Date(), QDate(2003, 12, 16)); // preset from the field
        calendar->SetDate(QDate(2004, 1, 5));
        calendar->btnSet->click();
    });
    w->PageControl->btnStartDate->click();
    EXPECT_EQ(w->PageControl->edtStartDate->Text(), "01/05/2004");
    EXPECT_TRUE(w->Document.Modified);
    EXPECT_EQ(w->focusWidget(), w->PageControl->edtStartDate);

    OnNextModal([](QWidget* modal) { qobject_cast<TFrmCalendar*>(modal)->btnClear->click(); });
    w->PageControl->btnStartDate->click();
    EXPECT_EQ(w->PageControl->edtStartDate->Text(), "  /  /    ");
}

TEST_F(MainWindowTest, ClockButtonsFillAndClear) {
    auto w = Open(AddFile("a.wav", {{"BSTW", "05:45"}}));
    OnNextModal([](QWidget* modal) {
        auto* picker = qobject_cast<TFrmTime*>(modal);
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->Time(), QTime(5, 45));
        picker->SetTime(QTime(14, 30));
        picker->btnSet->click();
    });
    w->PageControl->btnStartWindow->click();
    EXPECT_EQ(w->PageControl->edtStartWindow->Text(), "14:30");
    EXPECT_EQ(w->focusWidget(), w->PageControl->edtStartWindow);

    OnNextModal([](QWidget* modal) { modal->close(); });
    w->PageControl->btnStartWindow->click();
    EXPECT_EQ(w->PageControl->edtStartWindow->Text(), "  :  ");
}

// --- the real tagging library ---------------------------------------------------------

class MainWindowRealLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Home.BecomeHome();
        qputenv("CUEMARK_SETTINGS_DIR", QByteArray::fromStdString(Dir.File("settings")));
        qputenv("SDL_AUDIODRIVER", "dummy");
        const auto result = Binder.Load();
        ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;
    }
    void TearDown() override { Binder.Release(); }

    std::map<std::string, std::string> ReadAll(const std::string& path) {
        std::map<std::string, std::string> keys;
        EXPECT_EQ(AudioLibs().OpenWavFile(path.c_str(), 0, 0), 0);
        char buffer[1024];
        for (const char* key : {"DISP", "IART", "ISRC", "BFAD", "ISRF", "IMED", "HKST",
                                "HKEN", "IGNR", "IKEY", "BSTM", "BETM", "BSTW", "BETW",
                                "IALB", "IYER", "IGRE", "ITRK", "ITCH", "ICMT", "BKEY"}) {
            if (std::string(key) == "DISP")
                AudioLibs().GetChunkInfo(key, buffer, sizeof buffer);
            else
                AudioLibs().GetTagInfo(key, buffer, sizeof buffer);
            if (buffer[0] != '\0')
                keys[key] = buffer;
        }
        AudioLibs().CloseWavFile();
        return keys;
    }

    TTempDir Home;
    TTempDir Dir;
    TScriptedMessages Messages;
    TAudioLibsBinder Binder;
};

TEST_F(MainWindowRealLibraryTest, EditSaveReloadWritesExactlyTheExpectedKeys) {
    const std::string path = Dir.File("take.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, {44100, 2, 1.0, 440.0}, SF_FORMAT_PCM_16));
    ASSERT_EQ(AudioLibs().OpenWavFile(path.c_str(), 0, 0), 0);
    for (const auto& [key, value] : std::map<std::string, std::string>{
             {"IALB", "Old album"}, {"ISRF", "1.5"}, {"HKEN", "0"}, {"BETM", "bad"}, {"ICMT", "c"}})
        AudioLibs().SetTagInfo(key.c_str(), value.c_str(), uint16_t(value.size()));
    ASSERT_EQ(AudioLibs().CloseWavFile(), 0);

    {
        TFrmMain w({QByteArray::fromStdString(path)});
        w.show();
        EXPECT_EQ(w.PageControl->FieldText("IALB"), "Old album");
        EXPECT_EQ(w.Markers.IntroMs, 0);
        EXPECT_EQ(w.Markers.HookEndMs, -1);
        EXPECT_TRUE(w.PageControl->txtFormat->text().startsWith("WAV File / "))
            << w.PageControl->txtFormat->text().toStdString();
        QTest::keyClicks(w.PageControl->edtArtist, "Ärtist");
        w.PageControl->SetFieldText("IALB", "");
        w.PageControl->SetFieldText("IGNR", "12/16/2003");
        w.PageControl->SetFieldText("BSTM", "06:30");
        w.PageControl->SetFieldText("ITCH", "a\r\nb");
        w.PageControl->cboGenre->setEditText("Hand typed genre");
        w.PageControl->chkNoFade->setChecked(true);
        w.btnOk_OnClick();
        EXPECT_TRUE(Messages.Records().isEmpty()) << Messages.Texts().join('|').toStdString();
        EXPECT_FALSE(w.isVisible());
    }
    const auto keys = ReadAll(path);
    const std::map<std::string, std::string> expected = {
        {"DISP", " "},     {"IART", "Ärtist"}, {"IGNR", "2003/12/16"},       {"IKEY", " "},
        {"BSTM", "06:30"}, {"BFAD", "-1"},     {"IGRE", "Hand typed genre"}, {"ITCH", "a\r\nb"},
        {"ICMT", "c"}};
    EXPECT_EQ(keys, expected);

    // Untick and save again from a fresh window: BFAD becomes "0".
    {
        TFrmMain w({QByteArray::fromStdString(path)});
        EXPECT_EQ(w.PageControl->FieldText("DISP"), " ");
        w.PageControl->chkNoFade->setChecked(false);
        w.btnOk_OnClick();
    }
    EXPECT_EQ(ReadAll(path).at("BFAD"), "0");
}

TEST_F(MainWindowRealLibraryTest, AFileNameThatIsNotUtf8IsEditedByItsBytes) {
    const std::string made = Dir.File("made.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(made, {44100, 2, 1.0, 440.0}, SF_FORMAT_PCM_16));
    const std::string latin1 = (Dir.Path() / "caf\xe9.wav").string();
    ASSERT_EQ(std::rename(made.c_str(), latin1.c_str()), 0);
    {
        TFrmMain w({QByteArray::fromStdString(latin1)});
        w.show();
        EXPECT_TRUE(Messages.Records().isEmpty()) << Messages.Texts().join('|').toStdString();
        EXPECT_TRUE(w.PageControl->edtTitle->isEnabled());
        EXPECT_TRUE(w.windowTitle().startsWith("QAV Cuemark - caf"));
        EXPECT_TRUE(w.PageControl->txtFormat->text().startsWith("WAV File / "));
        QTest::keyClicks(w.PageControl->edtTitle, "Jingle");
        w.btnOk_OnClick();
        EXPECT_TRUE(Messages.Records().isEmpty()) << Messages.Texts().join('|').toStdString();
    }
    EXPECT_EQ(ReadAll(latin1).at("DISP"), "Jingle");
}

// An MP3 whose only tag is ID3v1, written byte by byte after the audio.
void AppendId3v1(const std::string& path, const std::string& title, const std::string& year,
                 uint8_t genre) {
    std::vector<uint8_t> bytes = Fixtures::ReadBytes(path);
    // Leave nothing but the audio frames: drop an ID3v2 tag the encoder may have written.
    if (bytes.size() > 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
        const size_t size = (size_t(bytes[6]) << 21) | (size_t(bytes[7]) << 14) |
                            (size_t(bytes[8]) << 7) | size_t(bytes[9]);
        bytes.erase(bytes.begin(), bytes.begin() + 10 + std::ptrdiff_t(size));
    }
    std::vector<uint8_t> tag(128, 0);
    std::copy_n("TAG", 3, tag.begin());
    std::copy_n(title.begin(), std::min<size_t>(title.size(), 30), tag.begin() + 3);
    std::copy_n(year.begin(), std::min<size_t>(year.size(), 4), tag.begin() + 93);
    tag[127] = genre;
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    ASSERT_TRUE(Fixtures::WriteBytes(path, bytes));
}

TEST_F(MainWindowRealLibraryTest, AnId3v1OnlyFileTakesOnlyWhatId3v1HoldsAndNoMarkers) {
    const std::string path = Dir.File("old.mp3");
    ASSERT_TRUE(Fixtures::WriteMp3(path, {44100, 2, 1.0, 440.0}, false));
    AppendId3v1(path, "Old", "1999", 17);

    auto w = std::make_unique<TFrmMain>(QList<QByteArray>{QByteArray::fromStdString(path)});
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    ASSERT_TRUE(w->btnAddId3v2->isVisible());
    EXPECT_EQ(w->PageControl->FieldText("DISP"), "Old");

    // 48 characters typed; ID3v1 keeps 30.
    w->PageControl->edtTitle->setFocus();
    w->PageControl->edtTitle->selectAll();
    const QString typed = "A title of forty-eight characters, said in full";
    QTest::keyClicks(QApplication::focusWidget(), typed + "!");
    EXPECT_EQ(w->PageControl->FieldText("DISP"), typed.left(30));
    w->PageControl->FieldWidget("IYER")->setFocus();
    qobject_cast<QLineEdit*>(QApplication::focusWidget())->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), "20x245");
    EXPECT_EQ(w->PageControl->FieldText("IYER"), "2024");

    // No marker can be stored: the edits, their arrows and the Set buttons do nothing.
    TAuditionPanel* panel = w->AuditionPanel;
    EXPECT_FALSE(panel->edtStart->isEnabled());
    EXPECT_FALSE(panel->btnSetStart->isEnabled());
    EXPECT_FALSE(panel->btnSetEnd->isEnabled());
    QTest::mouseClick(panel->udStart->UpButton(), Qt::LeftButton);
    EXPECT_EQ(w->Markers.IntroMs, 0);
    EXPECT_EQ(panel->edtStart->text(), "");

    w->btnOk_OnClick();
    EXPECT_TRUE(Messages.Records().isEmpty()) << Messages.Texts().join('|').toStdString();
    w.reset();
    const auto keys = ReadAll(path);
    EXPECT_EQ(keys.at("DISP"), typed.left(30).toStdString());
    EXPECT_EQ(keys.at("IYER"), "2024");
    EXPECT_EQ(keys.count("ISRF"), 0u);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
