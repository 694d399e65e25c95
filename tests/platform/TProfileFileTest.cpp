#include "TProfileFile.h"
#include "TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class ProfileFile : public ::testing::Test {
protected:
    TTempDir Dir;
    QString Path = QString::fromStdString(Dir.File("Cuemark.ini"));
};

TEST_F(ProfileFile, FindsSectionsAndKeysWithoutRegardToCaseAndKeepsFileOrder) {
    WriteText(Path, "; comment\r\n[Main]\r\nActivePage = 3 \r\nFolder=\"/srv/audio\"\r\n\r\n"
                    "[COLUMNS]\r\n7=Intro\r\n2=Artist\r\n30=Hook\r\n; 9=x\r\n2=Dup\r\n");
    TProfileFile ini(Path);
    EXPECT_EQ(ini.ReadString("main", "ACTIVEPAGE", "x"), "3");
    EXPECT_EQ(ini.ReadString("Main", "Folder", "x"), "/srv/audio");
    EXPECT_EQ(ini.ReadString("Main", "Missing", "def"), "def");
    EXPECT_EQ(ini.ReadString("Nope", "ActivePage", "def"), "def");
    EXPECT_EQ(ini.ReadSectionKeys("columns"), (QStringList{"7", "2", "30"}));
    EXPECT_EQ(ini.ReadString("Columns", "2", ""), "Artist"); // the first of duplicates
    EXPECT_EQ(ini.ReadSections(), (QStringList{"Main", "COLUMNS"}));
    EXPECT_TRUE(ini.ReadSectionKeys("Favorites").isEmpty());
}

TEST_F(ProfileFile, IntegersThatAreMissingOrNotNumbersReadAsTheDefault) {
    WriteText(Path, "[Main]\nA=12\nB= -5\nC=abc\nD=12abc\nE=\nF=99999999999\nG=+7\nH=0x10\n");
    TProfileFile ini(Path);
    const struct {
        const char* Key;
        int Expected;
    } cases[] = {{"A", 12}, {"B", -5}, {"C", 42}, {"D", 42},      {"E", 42},
                 {"F", 42}, {"G", 7},  {"H", 42}, {"Missing", 42}};
    for (const auto& c : cases)
        EXPECT_EQ(ini.ReadInteger("Main", c.Key, 42), c.Expected) << c.Key;
}

TEST_F(ProfileFile, WritesReplaceInPlaceAndAppendToTheRightSection) {
    WriteText(Path, "[Main]\nLeft=1\nTop=2\n\n[Categories]\nCategory0=NEWS\n");
    TProfileFile ini(Path);
    ASSERT_TRUE(ini.WriteInteger("MAIN", "left", 10));       // replaced, key spelling kept
    ASSERT_TRUE(ini.WriteString("Main", "UseCodec", "1"));   // added before the blank line
    ASSERT_TRUE(ini.WriteString("Favorites", "0", "/home")); // new section at the end
    EXPECT_EQ(ReadText(Path), "[Main]\nLeft=10\nTop=2\nUseCodec=1\n\n[Categories]\n"
                              "Category0=NEWS\n[Favorites]\n0=/home\n");

    // A value never breaks out of its line into a section or key of its own.
    ASSERT_TRUE(ini.WriteString("Main", "Folder", "a\n[Evil]\nx=1"));
    EXPECT_EQ(ini.ReadSections(), (QStringList{"Main", "Categories", "Favorites"}));
    EXPECT_EQ(ini.ReadString("Main", "Folder", ""), "a [Evil] x=1");
}

TEST_F(ProfileFile, EraseSectionRemovesOnlyThatSection) {
    WriteText(Path, "[Main]\nTones=1\n[Categories]\nCategory0=A\nCategory1=B\n[Favorites]\n0=/x\n");
    TProfileFile ini(Path);
    ASSERT_TRUE(ini.EraseSection("categories"));
    EXPECT_EQ(ReadText(Path), "[Main]\nTones=1\n[Favorites]\n0=/x\n");
    ASSERT_TRUE(ini.WriteString("Categories", "Category0", "C"));
    EXPECT_EQ(ini.ReadSectionKeys("Categories"), QStringList{"Category0"});
    ASSERT_TRUE(ini.EraseSection("Missing"));
    EXPECT_EQ(ini.ReadString("Favorites", "0", ""), "/x");
}

TEST_F(ProfileFile, WriteSectionReplacesAListInOneGo) {
    WriteText(Path, "[Main]\nTones=1\n[categories]\nCategory0=A\nCategory1=B\nCategory2=C\n\n"
                    "[Favorites]\n0=/x\n[Categories]\nCategory9=Z\n");
    TProfileFile ini(Path);
    ASSERT_TRUE(ini.WriteSection("Categories", {{"Category0", "NEWS"}, {"Category1", "SPOTS"}}));
    EXPECT_EQ(ReadText(Path), "[Main]\nTones=1\n[categories]\nCategory0=NEWS\nCategory1=SPOTS\n\n"
                              "[Favorites]\n0=/x\n");
    ASSERT_TRUE(ini.WriteSection("Columns", {{"7", "Intro"}}));
    EXPECT_EQ(ini.ReadSectionKeys("columns"), QStringList{"7"});
}

TEST_F(ProfileFile, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
    const QString nested = QString::fromStdString(Dir.File("sub/dir/Cuemark.ini"));
    TProfileFile ini(nested);
    EXPECT_EQ(ini.ReadInteger("Main", "Tones", 1), 1);
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    ASSERT_TRUE(ini.WriteInteger("Main", "Tones", 0));
    EXPECT_EQ(ReadText(nested), "[Main]\nTones=0\n");
}

TEST_F(ProfileFile, EveryWriteIsOnDiskAtOnceThroughANewFile) {
    WriteText(Path, "[Main]\nTop=1\n");
    // A second link to the old file: replacing by rename leaves it untouched,
    // rewriting in place would change it.
    const std::string oldLink = Dir.File("old.ini");
    std::filesystem::create_hard_link(Path.toStdString(), oldLink);

    TProfileFile writer(Path);
    TProfileFile reader(Path);
    ASSERT_TRUE(writer.WriteInteger("Main", "Top", 2));
    EXPECT_EQ(reader.ReadInteger("Main", "Top", -1), 2); // nothing cached
    EXPECT_EQ(ReadText(QString::fromStdString(oldLink)), "[Main]\nTop=1\n");
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Dir.Path()))
        ++files;
    EXPECT_EQ(files, 2);
}

TEST_F(ProfileFile, ABatchOfWritesLandsInOneReplaceOrNotAtAll) {
    WriteText(Path, "[Main]\nTop=1\n[Categories]\nCategory0=OLD\n");
    struct stat before {};
    ASSERT_EQ(::stat(Path.toUtf8().constData(), &before), 0);
    {
        TProfileFile ini(Path);
        ini.BeginUpdate();
        ASSERT_TRUE(
            ini.WriteSection("Categories", {{"Category0", "NEWS"}, {"Category1", "SPOTS"}}));
        ASSERT_TRUE(ini.WriteInteger("Main", "Top", 2));
        ini.BeginUpdate(); // nested: only the outermost end commits
        ASSERT_TRUE(ini.WriteInteger("Main", "Left", 3));
        ASSERT_TRUE(ini.EndUpdate());
        // Inside the batch reads see the pending state, the disk still the old file.
        EXPECT_EQ(ini.ReadInteger("Main", "Left", -1), 3);
        EXPECT_EQ(ReadText(Path), "[Main]\nTop=1\n[Categories]\nCategory0=OLD\n");
        struct stat during {};
        ASSERT_EQ(::stat(Path.toUtf8().constData(), &during), 0);
        EXPECT_EQ(during.st_ino, before.st_ino);
        ASSERT_TRUE(ini.EndUpdate());
        EXPECT_FALSE(ini.InUpdate());
    }
    EXPECT_EQ(ReadText(Path), "[Main]\nTop=2\nLeft=3\n[Categories]\nCategory0=NEWS\n"
                              "Category1=SPOTS\n");

    // A batch never ended is dropped whole.
    {
        TProfileFile ini(Path);
        ini.BeginUpdate();
        ASSERT_TRUE(ini.EraseSection("Categories"));
    }
    EXPECT_TRUE(ReadText(Path).contains("Category1=SPOTS"));
}

TEST_F(ProfileFile, ABatchThatCannotBeWrittenKeepsTheOldFile) {
    WriteText(Path, "[Main]\nTop=1\n");
    // The write fails part-way: a child process commits the batch under a file size limit,
    // which holds for root as well (a read-only folder would not stop root).
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        TProfileFile ini(Path);
        ini.BeginUpdate();
        ini.WriteInteger("Main", "Top", 2);
        ini.WriteString("Main", "Folder", "/srv/audio");
        ::_exit(ini.EndUpdate() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "EndUpdate reported a failed write as success";
    EXPECT_EQ(ReadText(Path), "[Main]\nTop=1\n");
    // Nothing of the failed write is left beside the file.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Dir.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Cuemark.ini"});
}

} // namespace
