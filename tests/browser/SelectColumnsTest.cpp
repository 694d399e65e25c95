// The column choice: the dialog's list, count label and results, the column set a choice
// gives and the "Columns" section it writes.

#include "Selectcolumns.h"
#include "TColumnChoice.h"
#include "TProfileFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// The catalogue as the user sees it in the dialog, written out independently.
const QStringList Names = {"Format",
                           "Time",
                           "Artist",
                           "Title",
                           "Category",
                           "Intro",
                           "Segue",
                           "Hook Start",
                           "Hook End",
                           "Start Date/Time",
                           "End Date/Time",
                           "Start Time Window",
                           "End Time Window",
                           "Album",
                           "Year",
                           "Genre",
                           "Track",
                           "Producer",
                           "Talent",
                           "Composer",
                           "Publisher",
                           "Copyright",
                           "Comments",
                           "OutCue",
                           "Agency",
                           "Account Exec",
                           "Copy",
                           "URL",
                           "Key",
                           "End",
                           "Energy",
                           "Texture",
                           "Tempo",
                           "Beats per minute",
                           "Loudness",
                           "Loudness range",
                           "True peak"};

TColumnChoice::TTicks TicksFor(std::initializer_list<int> numbers) {
    TColumnChoice::TTicks ticks{};
    for (int n : numbers)
        ticks[size_t(n - 1)] = true;
    return ticks;
}

// Runs `act` on the modal dialog once it is shown.
void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

TEST(SelectColumnsDialogTest, ListsTheCatalogueInAFixedWindow) {
    TFrmSelectColumns dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Columns"));
    ASSERT_EQ(dialog.lstColumns->count(), 37);
    for (int i = 0; i < 37; ++i)
        EXPECT_EQ(dialog.lstColumns->item(i)->text(), Names[i]);
    EXPECT_EQ(dialog.size(), QSize(266, 329));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.lstColumns->geometry(), QRect(9, 5, 248, 262));
}

TEST(SelectColumnsDialogTest, CountLabelFollowsEveryTick) {
    TFrmSelectColumns dialog;
    dialog.SetTicks(TicksFor({3, 4, 10}));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    // Right on opening, before any click.
    EXPECT_EQ(dialog.lblNumSelected->text(), QStringLiteral("3 Selected"));

    // Space on the focused list ticks and unticks the current item.
    dialog.lstColumns->setFocus();
    dialog.lstColumns->setCurrentRow(0);
    QTest::keyClick(dialog.lstColumns, Qt::Key_Space);
    EXPECT_EQ(dialog.lblNumSelected->text(), QStringLiteral("4 Selected"));
    for (int row : {0, 2, 3, 9}) {
        dialog.lstColumns->setCurrentRow(row);
        QTest::keyClick(dialog.lstColumns, Qt::Key_Space);
    }
    EXPECT_EQ(dialog.lblNumSelected->text(), QStringLiteral("None Selected"));
    EXPECT_EQ(TColumnChoice::CountTicked(dialog.Ticks()), 0);
}

TEST(SelectColumnsDialogTest, OkGivesTheTicksCancelNothing) {
    QWidget owner;
    owner.resize(600, 400);
    owner.show();
    WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TFrmSelectColumns*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->lstColumns->item(13)->setCheckState(Qt::Checked); // Album
        dialog->btnOk->click();
    });
    const auto chosen = TFrmSelectColumns::Choose(&owner, &owner, TicksFor({3}));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, TicksFor({3, 14}));

    WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TFrmSelectColumns*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->lstColumns->item(13)->setCheckState(Qt::Checked);
        // Centred over the list it was opened for.
        const QPoint centre = dialog->frameGeometry().center();
        const QPoint list = dialog->parentWidget()->geometry().center();
        EXPECT_LE((centre - list).manhattanLength(), 4);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(TFrmSelectColumns::Choose(&owner, &owner, TicksFor({3})).has_value());
}

TEST(ColumnChoiceTest, TicksComeFromTheColumnsBehindTheFixedOnes) {
    const std::vector<TListColumn> columns = {
        {0, "Name", 150}, {0, "Size", 75},      {0, "Modified", 120}, {14, "Album", 80},
        {0, "Odd", 100},  {38, "Too far", 100}, {3, "Singer", 200}};
    EXPECT_EQ(TColumnChoice::TicksOf(columns), TicksFor({3, 14}));
    EXPECT_EQ(TColumnChoice::CountText(0), QStringLiteral("None Selected"));
    EXPECT_EQ(TColumnChoice::CountText(3), QStringLiteral("3 Selected"));
    EXPECT_EQ(TColumnChoice::CountText(34), QStringLiteral("34 Selected"));
}

TEST(ColumnChoiceTest, RebuiltInCatalogueOrderKeepingWidthsOfColumnsThatStay) {
    const std::vector<TListColumn> columns = {{0, "Name", 210},    {0, "Size", 60},
                                              {0, "Modified", 90}, {14, "Album", 80},
                                              {3, "Singer", 200},  {6, "Intro", 0}};
    const auto rebuilt = TColumnChoice::Rebuilt(columns, TicksFor({1, 3, 4, 6}));
    ASSERT_EQ(rebuilt.size(), 7u);
    EXPECT_EQ(rebuilt[0].Width, 210);
    EXPECT_EQ(rebuilt[2].Caption, QStringLiteral("Modified"));
    struct Expect {
        int Number;
        const char* Caption;
        int Width;
    };
    // Format and Title are new (100 wide); Artist stays with its width and gets its
    // catalogue caption back; Intro, shrunk to nothing, comes back 100 wide; Album went.
    const Expect expected[] = {
        {1, "Format", 100}, {3, "Artist", 200}, {4, "Title", 100}, {6, "Intro", 100}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rebuilt[3 + i].Number, expected[i].Number);
        EXPECT_EQ(rebuilt[3 + i].Caption, QString::fromLatin1(expected[i].Caption));
        EXPECT_EQ(rebuilt[3 + i].Width, expected[i].Width);
    }
    EXPECT_EQ(TColumnChoice::Rebuilt(columns, {}).size(), 3u);
}

QString FileText(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll()).remove(QLatin1Char('\r'));
}

TEST(ColumnChoiceTest, SettingsHoldTheChoiceInAscendingOrder) {
    TTempDir dir;
    const QString path = QString::fromStdString(dir.File("Cuemark.ini"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Main]\nPage=1\n[Columns]\n14=Album\n3=My Artist\n[Favorites]\nA=/x\n");
    }
    TProfileFile settings(path);
    ASSERT_TRUE(TColumnChoice::WriteSettings(settings, TicksFor({34, 3, 14})));
    EXPECT_EQ(FileText(path), QStringLiteral("[Main]\nPage=1\n[Columns]\n3=Artist\n14=Album\n"
                                             "34=Beats per minute\n[Favorites]\nA=/x\n"));
    ASSERT_TRUE(TColumnChoice::WriteSettings(settings, {}));
    EXPECT_EQ(FileText(path), QStringLiteral("[Main]\nPage=1\n[Columns]\n[Favorites]\nA=/x\n"));
}

} // namespace

int main(int argc, char** argv) {
    TTempDir home;
    home.BecomeHome();
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
