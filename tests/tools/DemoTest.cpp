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

TEST(DemoTest, WrongUsageExitsWithTwo) {
    QProcess process;
    process.start(QStringLiteral(CUEMARK_DEMO_BINARY), {});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 2);
}

} // namespace
