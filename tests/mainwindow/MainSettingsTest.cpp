// The window's settings: what each mode reads and writes, and the end of a run written as
// one replace of the file.
#include "TMainSettings.h"
#include "TProfileFile.h"
#include "TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class MainSettings : public ::testing::Test {
protected:
    void Write(const QByteArray& text) {
        QFile file(Path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    TTempDir Dir;
    QString Path = QString::fromStdString(Dir.File("Cuemark.ini"));
};

TEST_F(MainSettings, SingleFileModeLeavesTheBrowsersValuesAlone) {
    Write("[Main]\nActivePage=3\nTones=0\nHeight=600\nWidth=900\nFolder=/srv/audio\n"
          "[Categories]\nCategory0=NEWS\nCategory1=\nCategory2=LOST\n"
          "[Columns]\n7=Intro\n[ColumnWidths]\nCount=1\nWidth0=120\n");
    TProfileFile file(Path);
    TMainSettings s = TMainSettings::Read(file, false);
    EXPECT_EQ(s.ActivePage, 3);
    EXPECT_FALSE(s.ToneMode);
    EXPECT_EQ(s.Categories, (QStringList{"NEWS", "LOST"})); // an empty value is passed over
    EXPECT_EQ(s.Height, TMainSettings::Unset);
    EXPECT_FALSE(s.Folder.has_value());
    EXPECT_FALSE(s.Columns.has_value());

    s.Categories = {"NEWS", "SPOT"};
    s.Left = 10;
    ASSERT_TRUE(s.Write(file, false));
    const QString text = ReadText(Path);
    EXPECT_TRUE(text.contains("Height=600\nWidth=900\nFolder=/srv/audio\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("[Categories]\nCategory0=NEWS\nCategory1=SPOT\n[Columns]\n7=Intro\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Left=10"));
}

TEST_F(MainSettings, BrowserModeRoundTripsItsValuesAndAddsNoEmptySections) {
    Write("[Main]\nHeight=600\n");
    TProfileFile file(Path);
    TMainSettings s = TMainSettings::Read(file, true);
    EXPECT_EQ(s.Height, 600);
    EXPECT_FALSE(s.Folder.has_value()); // not in the file: not written back
    ASSERT_TRUE(s.Columns.has_value());
    EXPECT_TRUE(s.Columns->isEmpty());
    ASSERT_TRUE(s.Write(file, true));
    EXPECT_FALSE(file.SectionExists("Columns"));
    EXPECT_FALSE(file.SectionExists("ColumnWidths"));
    EXPECT_FALSE(file.KeyExists("Main", "Folder"));

    s.Folder = "Desktop";
    s.Columns = QList<QPair<QString, QString>>{{"7", "Intro"}, {"3", "Artist"}};
    s.ColumnWidths = QList<int>{200, 80, 120, 60, 60};
    ASSERT_TRUE(s.Write(file, true));
    const TMainSettings back = TMainSettings::Read(file, true);
    EXPECT_EQ(back.Folder, "Desktop");
    EXPECT_EQ(back.Columns, s.Columns);
    EXPECT_EQ(back.ColumnWidths, s.ColumnWidths);
}

TEST_F(MainSettings, TheEndOfARunIsOneReplaceOfTheFile) {
    Write("[Main]\nTop=1\n[Categories]\nCategory0=OLD\n");
    // Every replace gives the file a new inode; a second link keeps the old one. One write
    // of the whole batch leaves exactly the old and the new file, and both whole.
    const std::string old = Dir.File("before.ini");
    ASSERT_EQ(::link(Path.toUtf8().constData(), old.c_str()), 0);
    TProfileFile file(Path);
    TMainSettings s = TMainSettings::Read(file, false);
    for (int i = 0; i < 20; ++i)
        s.Categories.append(QStringLiteral("C%1").arg(i));
    ASSERT_TRUE(s.Write(file, false));
    EXPECT_EQ(ReadText(QString::fromStdString(old)),
              "[Main]\nTop=1\n[Categories]\nCategory0=OLD\n");
    EXPECT_TRUE(ReadText(Path).contains("Category20=C19"));
    EXPECT_FALSE(file.InUpdate());
}

} // namespace
