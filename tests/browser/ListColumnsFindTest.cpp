// The "Select Columns" and Find exchanges on a real folder list: OK rebuilds the columns,
// writes the choice and returns the sort to Name; Cancel changes nothing; Find searches
// whichever way its dialog closes.
#include "Find.h"
#include "Selectcolumns.h"
#include "TBrowserExchanges.h"
#include "TListSearch.h"
#include "TListSorter.h"
#include "TProfileFile.h"
#include "TScriptedAudioLibs.h"
#include "TScriptedMessages.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <fstream>

namespace {

namespace fs = std::filesystem;

template <typename T> void WhenModal(std::function<void(T*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

class ListExchanges : public testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TScriptedAudioLibs Libs;
    TScriptedMessages Boxes;
    TXListView List;
    TListSorter* Sorter = new TListSorter(List);
    TListSearch* Search = new TListSearch(List, Sorter);

    void SetUp() override {
        Home.BecomeHome();
        for (const char* name : {"a.wav", "b.wav", "c.wav"})
            std::ofstream(Dir.Path() / name) << "x";
        Libs.Files[Dir.File("b.wav")].Tags["IART"] = "Jingle Crew";
        auto columns = TListColumns::Fixed();
        columns.push_back({3, "Singer", 180});
        columns.push_back({14, "Album", 90});
        List.SetColumns(columns);
        List.resize(600, 300);
        List.show();
        List.BrowseToPath(QByteArray::fromStdString(Dir.Path().string()));
    }
    std::vector<int> Numbers() const {
        std::vector<int> numbers;
        for (const auto& c : List.Columns())
            numbers.push_back(c.Number);
        return numbers;
    }
};

TEST_F(ListExchanges, OkRebuildsColumnsWritesTheChoiceAndSortsByName) {
    TProfileFile settings(QString::fromStdString(Dir.File("Cuemark.ini")));
    Sorter->SortByColumn(3);
    List.SelectRow(1);
    WhenModal<TFrmSelectColumns>([](TFrmSelectColumns* d) {
        EXPECT_EQ(d->lblNumSelected->text(), QStringLiteral("2 Selected"));
        d->lstColumns->item(0)->setCheckState(Qt::Checked);    // Format
        d->lstColumns->item(13)->setCheckState(Qt::Unchecked); // Album
        d->btnOk->click();
    });
    ASSERT_TRUE(TBrowserExchanges::SelectColumns(&List, List, *Sorter, settings));
    EXPECT_EQ(Numbers(), (std::vector<int>{0, 0, 0, 1, 3}));
    EXPECT_EQ(List.Columns()[3].Width, 100);
    EXPECT_EQ(List.Columns()[4].Width, 180); // stayed ticked: keeps its width
    EXPECT_EQ(List.model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Artist"));
    EXPECT_EQ(settings.ReadSectionKeys("Columns"), (QStringList{"1", "3"}));
    EXPECT_EQ(settings.ReadString("Columns", "1", {}), QStringLiteral("Format"));
    EXPECT_EQ(Sorter->SortColumn(), 0);
    EXPECT_EQ(List.SelectedCount(), 0);
}

TEST_F(ListExchanges, CancelChangesNothing) {
    TProfileFile settings(QString::fromStdString(Dir.File("Cuemark.ini")));
    Sorter->SortByColumn(1);
    List.SelectRow(2);
    const auto before = Numbers();
    WhenModal<TFrmSelectColumns>([](TFrmSelectColumns* d) {
        d->lstColumns->item(0)->setCheckState(Qt::Checked);
        d->btnCancel->click();
    });
    EXPECT_FALSE(TBrowserExchanges::SelectColumns(&List, List, *Sorter, settings));
    EXPECT_EQ(Numbers(), before);
    EXPECT_EQ(List.Columns()[3].Width, 180);
    EXPECT_EQ(Sorter->SortColumn(), 1);
    EXPECT_EQ(List.SelectedCount(), 1);
    EXPECT_FALSE(fs::exists(Dir.Path() / "Cuemark.ini"));
}

TEST_F(ListExchanges, FindSearchesTheChosenColumnEvenOnCancel) {
    Sorter->SortByColumn(3); // its caption comes from the sort state
    WhenModal<TFrmFind>([](TFrmFind* d) {
        ASSERT_EQ(d->cboColumn->count(), 3);
        EXPECT_EQ(d->cboColumn->itemText(1), QStringLiteral("Singer"));
        d->cboColumn->setCurrentIndex(1);
        d->edtFind->setText(QStringLiteral("JINGLE"));
        d->btnCancel->click();
    });
    ASSERT_TRUE(TBrowserExchanges::Find(&List, &List, *Search));
    ASSERT_EQ(List.SelectedRows().size(), 1);
    EXPECT_EQ(List.ListModel().Entry(List.SelectedRows().first()).DisplayName,
              QStringLiteral("b.wav"));

    WhenModal<TFrmFind>([](TFrmFind* d) {
        d->edtFind->setText(QStringLiteral("nothing here"));
        d->btnOk->click();
    });
    EXPECT_FALSE(TBrowserExchanges::Find(&List, &List, *Search));
    EXPECT_EQ(Boxes.Texts(), (QStringList{"Search text 'nothing here' not found"}));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
