// Texts of the fixed columns and the "Columns"/"ColumnWidths" settings.
#include "TColumnTexts.h"
#include "TListColumns.h"
#include "TProfileFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

TEST(ColumnTexts, SizeInWholeKilobytesWithTheLocaleSeparator) {
    struct TCase {
        int64_t Size;
        bool NoSize;
        const QLocale* Locale;
        const char* Expected;
    };
    const TCase cases[] = {
        {4096, true, &English, ""}, // a folder or a virtual item
        {0, false, &English, "<1 KB"},
        {1023, false, &English, "<1 KB"},
        {1024, false, &English, "1 KB"},
        {1048576, false, &English, "1,024 KB"},
        {1234567, false, &English, "1,205 KB"},
        {1234567, false, &German, "1.205 KB"},
        {int64_t{3} << 30, false, &English, "3,145,728 KB"},       // past 2 GiB: the real size
        {(int64_t{5} << 30) + 1, false, &English, "5,242,880 KB"}, // past 4 GiB as well
        {int64_t{1} << 50, false, &English, "1,099,511,627,776 KB"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TColumnTexts::SizeText(c.Size, c.NoSize, *c.Locale), QString(c.Expected))
            << c.Size;
}

TEST(ColumnTexts, ModifiedDropsTheTimeOnlyAtMidnight) {
    const QDate date(2003, 3, 7);
    EXPECT_EQ(TColumnTexts::ModifiedText(QDateTime(date, QTime(0, 0, 0)), English), "3/7/2003");
    EXPECT_EQ(TColumnTexts::ModifiedText(QDateTime(date, QTime(0, 0, 1)), English),
              "3/7/2003 12:00:01 AM");
    EXPECT_EQ(TColumnTexts::ModifiedText(QDateTime(date, QTime(20, 30, 15)), English),
              "3/7/2003 8:30:15 PM");
    // The date keeps "M/d/yyyy" in every locale; the time follows the locale.
    EXPECT_EQ(TColumnTexts::ModifiedText(QDateTime(QDate(2012, 12, 24), QTime(9, 5, 0)), German),
              "12/24/2012 09:05:00");
    EXPECT_EQ(TColumnTexts::ModifiedText(QDateTime(), English), "");
}

TEST(ColumnTexts, DateTimeColumnJoinsANonEmptyTime) {
    EXPECT_EQ(TColumnTexts::DateTimeText("2004/01/31", "08:30"), "2004/01/31 08:30");
    EXPECT_EQ(TColumnTexts::DateTimeText("2004/01/31", ""), "2004/01/31");
    EXPECT_EQ(TColumnTexts::DateTimeText("", "08:30"), " 08:30");
}

class ColumnSettings : public ::testing::Test {
protected:
    TTempDir Dir;
    QString Ini = QString::fromStdString(Dir.File("Cuemark.ini"));

    void Write(const char* text) {
        QFile file(Ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(ColumnSettings, ColumnsInFileOrderSkippingWhatIsNotAColumn) {
    Write("[Columns]\n4=Title\nabc=Junk\n0=Zero\n38=Past\n3x=Mixed\n-3=Minus\n"
          "3=Artist\n03=Again\n1=\n[ColumnWidths]\nCount=9\nWidth0=200\nWidth1=-1\n"
          "Width2=abc\nWidth3=-7\nWidth4=60\nWidth5=80\nWidth6=999\nWidth8=999\n");
    const auto columns = TListColumns::FromSettings(TProfileFile(Ini));
    ASSERT_EQ(columns.size(), 6u);
    const int numbers[] = {0, 0, 0, 4, 3, 1};
    const char* captions[] = {"Name", "Size", "Modified", "Title", "Artist", "Format"};
    const int widths[] = {200, 75, 120, 100, 60, 80};
    for (size_t i = 0; i < columns.size(); ++i) {
        EXPECT_EQ(columns[i].Number, numbers[i]) << i;
        EXPECT_EQ(columns[i].Caption, captions[i]) << i;
        EXPECT_EQ(columns[i].Width, widths[i]) << i;
    }
}

TEST_F(ColumnSettings, NoSettingsGiveTheFixedColumns) {
    const auto columns = TListColumns::FromSettings(TProfileFile(Ini));
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].Width, 150);
    EXPECT_EQ(columns[1].Width, 75);
    EXPECT_EQ(columns[2].Width, 120);
}

TEST_F(ColumnSettings, WidthsRoundTripAndStaleWidthsGo) {
    Write("[Columns]\n5=Category\n[ColumnWidths]\nCount=6\nWidth5=33\n");
    TProfileFile settings(Ini);
    auto columns = TListColumns::FromSettings(settings);
    ASSERT_EQ(columns.size(), 4u);
    columns[3].Width = 140;
    ASSERT_TRUE(TListColumns::WriteWidths(settings, columns));
    EXPECT_EQ(settings.ReadInteger("ColumnWidths", "Count", 0), 4);
    EXPECT_FALSE(settings.KeyExists("ColumnWidths", "Width5"));
    const auto again = TListColumns::FromSettings(settings);
    ASSERT_EQ(again.size(), 4u);
    EXPECT_EQ(again[3].Width, 140);
    EXPECT_EQ(again[0].Width, 150);
}

} // namespace
