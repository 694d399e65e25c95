// Sorting, find and type-ahead on the real folder list over temporary folders: the rules per
// column through header clicks, the selection kept across a sort, the header's caption and
// triangle across two sorts and a folder change, the information column read before sorting,
// find in names and columns with its message, and type-ahead from the keyboard.
#include "TListDelegate.h"
#include "TListSearch.h"
#include "TListSorter.h"
#include "TScriptedAudioLibs.h"
#include "TScriptedMessages.h"
#include "TSortHeaderView.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& path, size_t bytes = 10) {
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

class ListSorting : public testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TScriptedAudioLibs Libs;
    TScriptedMessages Boxes;
    TXListView List;
    TListSorter* Sorter = new TListSorter(List);
    TListSearch* Search = new TListSearch(List, Sorter);
    TSortHeaderView* Header = new TSortHeaderView(&List);
    TListDelegate* Delegate = new TListDelegate(&List);

    void SetUp() override {
        Home.BecomeHome();
        List.resize(500, 200);
        // The header and delegate follow the sorter, as the browser panel installs them.
        Header->setStretchLastSection(false);
        List.setHeader(Header);
        List.SetColumns(TListColumns::Fixed());
        Header->setSectionsClickable(true);
        List.setItemDelegate(Delegate);
        QObject::connect(Header, &QHeaderView::sectionClicked, Sorter, &TListSorter::SortByColumn);
        auto show = [this] {
            Delegate->SetSortColumn(Sorter->SortColumn());
            Header->SetSortSection(Sorter->SortColumn());
            Header->SetSortAscending(Sorter->SortAscending());
            Header->SetSortCaption(Sorter->SortCaption());
        };
        QObject::connect(Sorter, &TListSorter::SortChanged, show);
        show();
    }

    std::string P(const std::string& name) const { return Dir.File(name); }
    void Browse() { List.BrowseToPath(QByteArray::fromStdString(Dir.Path().string())); }

    QStringList Names() const {
        QStringList names;
        for (int row = 0; row < List.ListModel().Count(); ++row)
            names << List.ListModel().Entry(row).DisplayName;
        return names;
    }
    QStringList Selected() const {
        QStringList names;
        for (int row : List.SelectedRows())
            names << List.ListModel().Entry(row).DisplayName;
        return names;
    }
    void ClickHeader(int column) {
        List.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&List));
        const QPoint at(Header->sectionViewportPosition(column) + 5, Header->height() / 2);
        QTest::mouseClick(Header->viewport(), Qt::LeftButton, {}, at);
    }
};

TEST_F(ListSorting, SizeSortsFoldersByPathThenFilesByTheirWholeSize) {
    fs::create_directory(Dir.Path() / "beta");
    fs::create_directory(Dir.Path() / "Alpha");
    Touch(Dir.Path() / "mid.txt", 2000);
    Touch(Dir.Path() / "small.txt", 10);
    for (auto [name, gib] : {std::pair{"five.wav", 5}, std::pair{"three.wav", 3}}) {
        std::ofstream(Dir.Path() / name).close();
        fs::resize_file(Dir.Path() / name, std::uintmax_t(gib) << 30); // sparse
    }
    Browse();
    ClickHeader(1);
    EXPECT_EQ(Sorter->SortColumn(), 1);
    EXPECT_TRUE(Sorter->SortAscending());
    EXPECT_EQ(Names(),
              (QStringList{"Alpha", "beta", "small.txt", "mid.txt", "three.wav", "five.wav"}));
    ClickHeader(1);
    EXPECT_FALSE(Sorter->SortAscending());
    EXPECT_EQ(Names(),
              (QStringList{"five.wav", "three.wav", "mid.txt", "small.txt", "beta", "Alpha"}));
    // Another column starts ascending again.
    ClickHeader(0);
    EXPECT_TRUE(Sorter->SortAscending());
    EXPECT_EQ(Names().mid(0, 3), (QStringList{"Alpha", "beta", "five.wav"}));
}

TEST_F(ListSorting, OpeningRefreshingAndTheNameColumnGiveOneOrder) {
    // Folders first; only a-z folded to capitals, then the first differing code point decides
    // ('_' is 0x5F, after 'Z'; 'Ä' is U+00C4; a shorter text first).
    const QStringList expected = {"sub a",     "Sub B",    "Zebra",      "_sub",
                                  "zebra.wav", "Zulu.wav", "_promo.wav", "\u00c4pfel.wav"};
    for (const char* folder : {"_sub", "Sub B", "sub a", "Zebra"})
        fs::create_directory(Dir.Path() / folder);
    for (const char* file : {"_promo.wav", "Zulu.wav", "zebra.wav", "\xc3\x84pfel.wav"})
        Touch(Dir.Path() / file);
    Browse();
    EXPECT_EQ(Names(), expected);
    List.RefreshFolder(true);
    EXPECT_EQ(Names(), expected);
    ClickHeader(0); // descending
    EXPECT_EQ(Names().first(), expected.last());
    ClickHeader(0);
    EXPECT_EQ(Names(), expected);
}

TEST_F(ListSorting, SelectionStaysAndTheFirstSelectedRowIsScrolledIntoView) {
    for (int i = 0; i < 40; ++i)
        Touch(Dir.Path() / QStringLiteral("f%1.txt").arg(i, 2, 10, QLatin1Char('0')).toStdString(),
              size_t(1000 - i));
    Browse();
    List.show();
    // f00 (largest) and f01: last rows once sorted by size.
    List.SelectRow(0);
    List.selectionModel()->select(List.model()->index(1, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ClickHeader(1);
    EXPECT_EQ(Selected(), (QStringList{"f01.txt", "f00.txt"}));
    const QRect first = List.visualRect(List.model()->index(38, 0));
    EXPECT_TRUE(List.viewport()->rect().contains(first));
}

TEST_F(ListSorting, CaptionAndTriangleFollowTheSortAndResetWithTheFolder) {
    Touch(Dir.Path() / "a.txt");
    fs::create_directory(Dir.Path() / "sub");
    Browse();
    TSortHeaderView* header = Header;
    EXPECT_EQ(Sorter->SortCaption(), QStringLiteral("Name"));
    ClickHeader(1);
    EXPECT_EQ(header->SortSection(), 1);
    EXPECT_EQ(header->SortCaption(), QStringLiteral("Size"));
    EXPECT_EQ(Delegate->GetSortColumn(), 1);
    ClickHeader(2);
    ClickHeader(2);
    EXPECT_EQ(header->SortSection(), 2);
    EXPECT_EQ(header->SortCaption(), QStringLiteral("Modified"));
    EXPECT_FALSE(header->SortAscending());
    // The tint of the sort column goes on below the rows on the list itself.
    QPalette palette = List.palette();
    palette.setColor(QPalette::Base, Qt::white);
    List.setPalette(palette);
    const QImage image = List.viewport()->grab().toImage();
    const int x = header->sectionViewportPosition(2) + 10;
    const int y = List.visualRect(List.model()->index(1, 0)).bottom() + 10;
    ASSERT_LT(y, image.height());
    EXPECT_EQ(image.pixelColor(x, y), QColor(239, 244, 249));
    EXPECT_EQ(image.pixelColor(header->sectionViewportPosition(1) + 10, y), QColor(Qt::white));
    // The columns' own captions are untouched: Size shows its caption again.
    EXPECT_EQ(List.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));

    List.BrowseToPath(QByteArray::fromStdString((Dir.Path() / "sub").string()));
    EXPECT_EQ(Sorter->SortColumn(), 0);
    EXPECT_TRUE(Sorter->SortAscending());
    EXPECT_EQ(header->SortSection(), 0);
    EXPECT_EQ(header->SortCaption(), QStringLiteral("Name"));
    EXPECT_EQ(Delegate->GetSortColumn(), 0);
}

TEST_F(ListSorting, ArtistColumnReadsEveryRowAndPutsEmptyArtistsFirst) {
    for (const char* name : {"a.wav", "b.wav", "c.wav", "notes.txt"})
        Touch(Dir.Path() / name);
    fs::create_directory(Dir.Path() / "zdir");
    Libs.Files[P("a.wav")].Tags["IART"] = "zappa";
    Libs.Files[P("b.wav")].Tags["IART"] = "Abba";
    Libs.Files[P("c.wav")];
    std::vector<TListColumn> columns = TListColumns::Fixed();
    columns.push_back({3, "Artist", 100});
    List.SetColumns(columns);
    Browse();
    Sorter->SortByColumn(3);
    EXPECT_FALSE(List.ListModel().Entry(4).Stale);
    const QStringList names = Names();
    EXPECT_EQ(names.first(), QStringLiteral("zdir"));
    EXPECT_EQ(names.mid(3), (QStringList{"b.wav", "a.wav"}));
    // Find in that column; the dialog's list names it.
    EXPECT_EQ(Search->ColumnCaptions(), (QStringList{"Artist"}));
    EXPECT_EQ(Search->ColumnNumberOfChoice(1), 3);
    EXPECT_TRUE(Search->FindFirst(3, QStringLiteral("ABB")));
    EXPECT_EQ(Selected(), (QStringList{"b.wav"}));
    // Again: descending, files before the folder.
    Sorter->SortByColumn(3);
    ASSERT_FALSE(Sorter->SortAscending());
    const QStringList down = Names();
    EXPECT_EQ(down.mid(0, 2), (QStringList{"a.wav", "b.wav"}));
    EXPECT_EQ(down.last(), QStringLiteral("zdir"));
}

TEST_F(ListSorting, LengthAndMarkerColumnsSortByTheirMilliseconds) {
    // name, length in ms (shown "mm:ss.t" or "hh:mm:ss.t"), intro as stored (decimal ms)
    struct TRow {
        const char* Name;
        uint32_t LengthMs;
        const char* Intro;
    } rows[] = {
        {"hour.wav", 3600000, "10000"}, // 01:00:00.0
        {"two.wav", 120000, "1500"},    // 02:00.0
        {"nine.wav", 9500, "200"},      // 00:09.5
        {"long.wav", 36000000, ""},     // 10:00:00.0
    };
    for (const TRow& row : rows) {
        Touch(Dir.Path() / row.Name);
        Libs.Files[P(row.Name)].LengthMs = row.LengthMs;
        if (*row.Intro)
            Libs.Files[P(row.Name)].Tags["ISRF"] = row.Intro;
    }
    std::vector<TListColumn> columns = TListColumns::Fixed();
    columns.push_back({2, "Length", 80});
    columns.push_back({6, "Intro", 80});
    List.SetColumns(columns);
    Browse();
    Sorter->SortByColumn(3);
    EXPECT_EQ(Names(), (QStringList{"nine.wav", "two.wav", "hour.wav", "long.wav"}));
    Sorter->SortByColumn(4); // an empty intro first
    EXPECT_EQ(Names(), (QStringList{"long.wav", "nine.wav", "two.wav", "hour.wav"}));
    Sorter->SortByColumn(4);
    EXPECT_EQ(Names(), (QStringList{"hour.wav", "two.wav", "nine.wav", "long.wav"}));
}

TEST_F(ListSorting, FindSelectsMatchesWrapsAndTellsWhenNothingMatches) {
    for (const char* name : {"Intro.wav", "MIXDOWN.mp3", "Outro.wav", "Remix Final.wav"})
        Touch(Dir.Path() / name);
    Browse();
    List.SelectRow(0);
    const QModelIndex current = List.currentIndex();
    ASSERT_TRUE(Search->FindFirst(0, QStringLiteral("Mix")));
    EXPECT_EQ(Selected(), (QStringList{"MIXDOWN.mp3"}));
    EXPECT_EQ(List.currentIndex(), current); // the current row does not move
    ASSERT_TRUE(Search->FindNext());
    EXPECT_EQ(Selected(), (QStringList{"Remix Final.wav"}));
    // The last row matched: Find Next does nothing more.
    EXPECT_FALSE(Search->FindNext());
    EXPECT_TRUE(Boxes.Texts().isEmpty());

    EXPECT_FALSE(Search->FindFirst(0, QStringLiteral("Jingle")));
    EXPECT_EQ(Boxes.Texts(), (QStringList{"Search text 'jingle' not found"}));
    EXPECT_FALSE(Search->FindFirst(0, QString()));
    EXPECT_EQ(Boxes.Texts().size(), 1);
}

TEST_F(ListSorting, TypingMovesToTheNextNameStartingWithTheLetters) {
    for (const char* name : {"alpha.wav", "Beat.wav", "bravo.wav", "charlie.wav"})
        Touch(Dir.Path() / name);
    Browse();
    Search->Typing.Interval = 600000; // letters typed in one test always extend the text
    List.show();
    List.activateWindow();
    List.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&List));
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(focused, &List);
    QTest::keyClick(focused, Qt::Key_B);
    EXPECT_EQ(List.currentIndex().row(), 1);
    QTest::keyClick(focused, Qt::Key_R);
    EXPECT_EQ(List.currentIndex().row(), 2);
    Search->ResetTypeAhead();
    QTest::keyClick(focused, Qt::Key_A); // wraps to the top
    EXPECT_EQ(List.currentIndex().row(), 0);
    Search->ResetTypeAhead();
    QTest::keyClick(focused, Qt::Key_Z); // no match: the row stays
    EXPECT_EQ(List.currentIndex().row(), 0);
    EXPECT_EQ(Selected(), (QStringList{"alpha.wav"}));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
