// The validity filter on the browser panel, offscreen, over a generated folder of WAV files whose
// air dates were written by the real tagging library: the toolbar box driven by keys, the rows
// it hides, searches and Select All passing over them, a batch acting on the shown rows only and
// the filter kept in the settings.
#include "Datetime.h"
#include "RiffBuilder.h"
#include "TAudioLibs.h"
#include "TBatchTagSelection.h"
#include "TBrowserPanel.h"
#include "TListRoles.h"
#include "TListSearch.h"
#include "TMaskedEdit.h"
#include "TProfileFile.h"
#include "TScriptedMessages.h"
#include "TValidityFilter.h"
#include "TXListView.h"
#include "TempDir.h"
#include "Text.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;
using TKeys = std::map<std::string, std::string>;

uint32_t Le32At(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// The INFO keys of a WAV file, read from its chunks here.
TKeys ReadInfo(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), {});
    TKeys keys;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = Le32At(b, at + 4);
        const std::string body = b.substr(at + 8, size);
        if (b.substr(at, 4) == "LIST" && body.substr(0, 4) == "INFO")
            for (size_t i = 4; i + 8 <= body.size();) {
                const uint32_t n = Le32At(body, i + 4);
                const std::string value = body.substr(i + 8, n);
                keys[body.substr(i, 4)] = value.substr(0, value.find('\0'));
                i += 8 + n + (n & 1);
            }
        at += 8 + size + (size & 1);
    }
    return keys;
}

std::string HhMm(int secondsFromNow) {
    return QTime::currentTime()
        .addSecs(secondsFromNow)
        .toString(QStringLiteral("HH:mm"))
        .toStdString();
}

class ValidityFilterTest : public ::testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TAudioLibsBinder Binder;
    TScriptedMessages Messages;
    std::unique_ptr<TBrowserPanel> Panel;
    std::unique_ptr<TProfileFile> Settings;
    QStringList PickedAt; // date and time typed into the "Valid at" chooser

    // A WAV file with the keys written through the tagging library.
    void MakeWav(const char* name, const TKeys& keys) {
        TRiffBuilder riff;
        riff.Chunk("fmt ", TRiffBuilder::Fmt()).Chunk("data", TRiffBuilder::Audio(4000));
        ASSERT_TRUE(riff.WriteTo(Dir.File(name)));
        const TAudioLibs& libs = AudioLibs();
        ASSERT_EQ(libs.OpenWavFile(Dir.File(name).c_str(), 0, 0), 0) << name;
        for (const auto& [key, value] : keys)
            libs.SetTagInfo(key.c_str(), value.c_str(), uint16_t(value.size()));
        ASSERT_EQ(libs.CloseWavFile(), 0) << name;
        ASSERT_EQ(ReadInfo(Dir.File(name)), keys) << name;
    }

    void SetUp() override {
        Home.BecomeHome();
        const auto bound = Binder.Load();
        ASSERT_EQ(bound.Outcome, TAudioLibsBinder::TOutcome::Bound) << bound.Message;
        MakeWav("old.wav", {{"IGNR", "2001/01/01"}, {"IKEY", "2002/01/01"}});
        MakeWav("future.wav", {{"IGNR", "2098/01/01"}, {"BSTM", "06:00"}});
        MakeWav("later.wav", {{"IGNR", "2097/05/01"}});
        MakeWav("live.wav", {{"IGNR", "2001/01/01"}, {"IKEY", "2098/12/31"}});
        MakeWav("plain.wav", {});
        MakeWav("bad.wav", {{"IKEY", "2026/13/45"}});
        // A daily window that opens two hours from now: outside it now.
        MakeWav("window.wav",
                {{"IKEY", "2050/01/01"}, {"BSTW", HhMm(7200)}, {"BETW", HhMm(10800)}});
        fs::create_directory(Dir.Path() / "sub");
        std::ofstream(Dir.File("notes.txt")) << "not audio";
        Settings = std::make_unique<TProfileFile>(QString::fromStdString(Home.File("Cuemark.ini")));
        Panel = MakePanel();
    }
    void TearDown() override {
        Panel.reset();
        Binder.Release();
    }

    std::unique_ptr<TBrowserPanel> MakePanel() {
        auto panel = std::make_unique<TBrowserPanel>();
        panel->resize(700, 500);
        panel->SetSettings(Settings.get());
        panel->Validity->SetPickerRunner([this](TFrmDateTime& picker) {
            picker.edtDate->setFocus();
            picker.edtDate->setText(PickedAt.value(0));
            picker.edtTime->setText(PickedAt.value(1));
            return int(TFrmDateTime::mrSet);
        });
        panel->show();
        panel->ListView->BrowseToPath(QByteArray::fromStdString(Dir.Path().string()));
        QApplication::processEvents();
        return panel;
    }

    // The names the list shows, in row order.
    QStringList Shown() const {
        QStringList names;
        const TFolderListModel& model = Panel->ListView->ListModel();
        for (int row = 0; row < model.Count(); ++row)
            if (!Panel->ListView->isRowHidden(row, QModelIndex()))
                names << model.Entry(row).DisplayName;
        return names;
    }
    QStringList Selected() const {
        QStringList names;
        for (int row : Panel->ListView->SelectedRows())
            names << Panel->ListView->ListModel().Entry(row).DisplayName;
        return names;
    }

    // Moves the toolbar box to a choice by keys, as a user does with the box focused.
    void Choose(int index) {
        QComboBox* box = Panel->Validity->cboValidity;
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        QApplication::processEvents();
    }
};

TEST_F(ValidityFilterTest, EachChoiceShowsItsFilesAndFoldersStay) {
    struct TCase {
        int Choice;
        QStringList Expected;
    };
    const TCase cases[] = {
        {TValidityFilter::Expired, {"sub", "old.wav"}},
        {TValidityFilter::NotYetValid, {"sub", "future.wav", "later.wav"}},
        {TValidityFilter::OutsideWindow, {"sub", "window.wav"}},
        {TValidityFilter::ValidNow, {"sub", "live.wav", "plain.wav"}},
        {TValidityFilter::All,
         {"sub", "bad.wav", "future.wav", "later.wav", "live.wav", "notes.txt", "old.wav",
          "plain.wav", "window.wav"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Choice);
        Choose(c.Choice);
        EXPECT_EQ(Panel->Validity->Kind(), c.Choice);
        EXPECT_EQ(Shown(), c.Expected);
        const int hidden = Panel->ListView->ListModel().Count() - int(c.Expected.size());
        EXPECT_EQ(Panel->Validity->HiddenCount(), hidden);
        EXPECT_EQ(Panel->Validity->lblFilter->isVisible(), c.Choice != TValidityFilter::All);
        if (c.Choice != TValidityFilter::All) {
            EXPECT_TRUE(Panel->Validity->lblFilter->text().endsWith(
                QStringLiteral("%1 rows hidden").arg(hidden)))
                << Panel->Validity->lblFilter->text().toStdString();
        }
    }
    // The rows' states as drawn, now that the dates were read; the invalid date says why.
    const TFolderListModel& model = Panel->ListView->ListModel();
    auto stateOf = [&](const char* name) {
        for (int row = 0; row < model.Count(); ++row)
            if (model.Entry(row).DisplayName == QLatin1String(name))
                return model.index(row, 0).data(AirStateRole);
        return QVariant();
    };
    EXPECT_EQ(stateOf("old.wav"), int(TAirState::Expired));
    EXPECT_EQ(stateOf("future.wav"), int(TAirState::NotYetValid));
    EXPECT_EQ(stateOf("bad.wav"), int(TAirState::Unknown));
    EXPECT_FALSE(stateOf("notes.txt").isValid());
    for (int row = 0; row < model.Count(); ++row)
        if (model.Entry(row).DisplayName == QLatin1String("bad.wav")) {
            EXPECT_TRUE(model.index(row, 0)
                            .data(Qt::ToolTipRole)
                            .toString()
                            .contains(QStringLiteral("\"2026/13/45\" is not a date")));
        }
}

TEST_F(ValidityFilterTest, ValidAtAChosenMomentAndKeptInTheSettings) {
    PickedAt = {QStringLiteral("01/01/2099"), QStringLiteral("12:00")};
    Choose(TValidityFilter::ValidAt);
    EXPECT_EQ(Panel->Validity->Moment(), QDateTime(QDate(2099, 1, 1), QTime(12, 0)));
    EXPECT_EQ(Shown(), (QStringList{"sub", "future.wav", "later.wav", "plain.wav"}));

    // A new panel (the next start) reads the filter back and applies it to its folder.
    Panel = MakePanel();
    EXPECT_EQ(Panel->Validity->Kind(), TValidityFilter::ValidAt);
    EXPECT_EQ(Shown(), (QStringList{"sub", "future.wav", "later.wav", "plain.wav"}));
    EXPECT_TRUE(Panel->Validity->cboValidity->currentText().contains(QStringLiteral("2099/01/01")));
}

TEST_F(ValidityFilterTest, SearchesAndSelectAllPassOverHiddenRows) {
    Choose(TValidityFilter::Expired);
    TXListView* list = Panel->ListView;
    list->setFocus();
    list->SelectRow(0); // "sub"
    // "plain.wav" and "future.wav" are hidden: typing their letters finds nothing.
    QTest::keyClick(list, Qt::Key_P);
    EXPECT_EQ(Selected(), QStringList{"sub"});
    Panel->Search->ResetTypeAhead();
    QTest::keyClick(list, Qt::Key_O);
    EXPECT_EQ(Selected(), QStringList{"old.wav"});
    // Find by name passes over hidden rows too.
    EXPECT_FALSE(Panel->Search->FindFirst(0, QStringLiteral("live")));
    EXPECT_TRUE(Panel->Search->FindFirst(0, QStringLiteral(".wav")));
    EXPECT_EQ(Selected(), QStringList{"old.wav"});

    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (QStringList{"sub", "old.wav"}));
    // Rows hidden by a new filter leave the selection.
    Choose(TValidityFilter::NotYetValid);
    EXPECT_EQ(Selected(), QStringList{"sub"});
}

TEST_F(ValidityFilterTest, BatchAfterSelectAllWritesOnlyTheShownFiles) {
    std::vector<TListColumn> columns = TListColumns::Fixed();
    columns.push_back({3, QStringLiteral("Artist"), 90});
    Panel->ListView->SetColumns(columns);
    Choose(TValidityFilter::NotYetValid);
    TXListView* list = Panel->ListView;
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Shown(), (QStringList{"sub", "future.wav", "later.wav"}));
    ASSERT_EQ(Selected(), (QStringList{"sub", "future.wav", "later.wav"}));

    Panel->BatchTagging->SetPickerRunner([](QDialog& picker) {
        if (auto* text = qobject_cast<TFrmText*>(&picker))
            text->edtText->setText(QStringLiteral("SPOT"));
        return 1;
    });
    QHeaderView* header = list->header();
    const QPoint local(header->sectionViewportPosition(3) + 5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, local,
                            header->viewport()->mapToGlobal(local));
    QApplication::sendEvent(header->viewport(), &event);

    for (const char* name : {"future.wav", "later.wav"})
        EXPECT_EQ(ReadInfo(Dir.File(name))["IART"], "SPOT") << name;
    for (const char* name : {"old.wav", "live.wav", "plain.wav", "bad.wav", "window.wav"})
        EXPECT_EQ(ReadInfo(Dir.File(name)).count("IART"), 0u) << name;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
