#include "AudioFixtures.h"
#include "TempDir.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

int RunProgram(const char* program, const QStringList& args, std::string* out = nullptr) {
    QProcess process;
    process.start(QString::fromUtf8(program), args);
    EXPECT_TRUE(process.waitForFinished(120000));
    if (out != nullptr)
        *out = process.readAllStandardOutput().toStdString();
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_EQ(err, "");
    return process.exitCode();
}

TEST(DemoTest, WritesTaggedPlayableFilesAndRewritesThemIdentically) {
    TTempDir dir;
    const QString demo = QString::fromStdString((dir.Path() / "demo").string());
    ASSERT_EQ(RunProgram(CUEMARK_DEMO_BINARY, {demo}), 0);

    std::string first;
    ASSERT_EQ(RunProgram(CUEMARK_TAG_BINARY, {QStringLiteral("export"), demo}, &first), 0);
    // Header plus one record per file; every file is recognised, measured and titled.
    int records = 0;
    int mpegRecords = 0;
    for (size_t pos = first.find("\r\n"); pos != std::string::npos;
         pos = first.find("\r\n", pos + 2))
        ++records;
    for (const char* ext : {".mp3,", ".mp2,"})
        mpegRecords += first.find(ext) != std::string::npos;
    EXPECT_GE(records, 5);
    EXPECT_EQ(mpegRecords, 2);
    EXPECT_EQ(first.find("Unknown"), std::string::npos) << first;
    EXPECT_EQ(first.find(",Zero,"), std::string::npos) << first;
    // Keys beyond ID3v1 reach the MP3 (it carries an ID3v2 tag) ...
    EXPECT_NE(first.find("Medium Fast"), std::string::npos) << first;
    // ... and dates are in the stored form.
    EXPECT_NE(first.find("2026/01/05 06:00"), std::string::npos) << first;

    // Running again over the same folder replaces the files with the same content.
    ASSERT_EQ(RunProgram(CUEMARK_DEMO_BINARY, {demo}), 0);
    std::string second;
    ASSERT_EQ(RunProgram(CUEMARK_TAG_BINARY, {QStringLiteral("export"), demo}, &second), 0);
    EXPECT_EQ(second, first);
}

// The MP3 meant for "Add ID3v2" carries an ID3v1 tag and no ID3v2 tag, read from its bytes.
TEST(DemoTest, OneMp3CarriesOnlyAnId3v1Tag) {
    TTempDir dir;
    const std::filesystem::path demo = dir.Path() / "demo";
    ASSERT_EQ(RunProgram(CUEMARK_DEMO_BINARY, {QString::fromStdString(demo.string())}), 0);
    const auto bytes = Fixtures::ReadBytes((demo / "Harbour Lights (ID3v1).mp3").string());
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
    const std::string tag(bytes.end() - 128, bytes.end());
    EXPECT_EQ(tag.substr(0, 3), "TAG");
    std::string title = tag.substr(3, 30);
    title.erase(title.find_last_not_of(std::string(" \0", 2)) + 1); // padding either way
    EXPECT_EQ(title, "Harbour Lights");
    EXPECT_EQ(tag.substr(93, 4), "1968");
    EXPECT_EQ(static_cast<unsigned char>(tag[127]), 11); // "Oldies" in the ID3v1 genre list
}

TEST(DemoTest, HelpPrintsUsageAndWrongUsageExitsWithTwo) {
    TTempDir dir;
    for (const char* option : {"--help", "-h"}) {
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
        process.start(QStringLiteral(CUEMARK_DEMO_BINARY), {QString::fromLatin1(option)});
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_TRUE(process.readAllStandardOutput().startsWith("usage: cuemark-demo DIR\n"));
    }
    for (const QStringList& args :
         {QStringList{}, QStringList{"--frobnicate"}, QStringList{"a", "b"}}) {
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
        process.start(QStringLiteral(CUEMARK_DEMO_BINARY), args);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(process.readAllStandardError().startsWith("usage: cuemark-demo DIR\n"));
    }
    // No option was taken for a folder to create.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

} // namespace
