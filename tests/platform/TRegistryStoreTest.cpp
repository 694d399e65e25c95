#include "TRegistryStore.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A regedit export: UTF-16LE with a byte order mark, CRLF line ends.
QByteArray RegeditExport(const QString& text) {
    QString crlf = text;
    crlf.replace("\n", "\r\n");
    auto encode = QStringEncoder(QStringEncoder::Utf16LE);
    return QByteArray("\xFF\xFE", 2) + QByteArray(encode(crlf));
}

const char* const StationExport =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QAV\\AudioFilePaths]\n"
    "\"AudioPath0\"=\"C:\\\\qav32\\\\audio\"\n"
    "\"AudioPath1\"=\"\\\\\\\\server\\\\share \\\"spots\\\"\"\n"
    "\"Count\"=dword:00000002\n"
    "\"Blob\"=hex:01,02,03,\\\n"
    "  04,05\n"
    "@=\"default text\"\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Velmont\\Devices]\n"
    "\"AuditionDevice\"=\"2\"\n"
    "\n"
    "[-HKEY_CURRENT_USER\\Software\\Gone]\n"
    "\"X\"=\"1\"\n";

class RegistryStore : public ::testing::Test {
protected:
    TTempDir Dir;
    QString Path = QString::fromStdString(Dir.File("cuemark/registry.reg"));
};

TEST_F(RegistryStore, WritesCreateKeysAndReadBackWithoutRegardToCase) {
    TRegistryStore store(Path);
    EXPECT_EQ(store.ReadString("Software\\QAV\\Cuemark", "OutputDevice"), "");
    EXPECT_FALSE(store.KeyExists("Software\\QAV\\Cuemark"));

    ASSERT_TRUE(store.WriteString("\\Software\\QAV\\Cuemark", "OutputDevice", "3"));
    ASSERT_TRUE(store.WriteString("software\\qav\\cuemark", "outputdevice", "4"));
    ASSERT_TRUE(store.WriteString("Software\\QAV\\Cuemark", "Path", "C:\\a \"b\""));

    EXPECT_EQ(store.ReadString("SOFTWARE\\QAV\\CUEMARK", "OUTPUTDEVICE"), "4");
    EXPECT_EQ(store.ReadString("HKEY_CURRENT_USER\\Software\\QAV\\Cuemark", "Path"), "C:\\a \"b\"");
    EXPECT_TRUE(store.KeyExists("Software\\QAV"));
    EXPECT_FALSE(store.KeyExists("Software\\QA"));
    EXPECT_EQ(store.ValueNames("Software\\QAV\\Cuemark"), (QStringList{"OutputDevice", "Path"}));
    EXPECT_EQ(ReadText(Path), "Windows Registry Editor Version 5.00\n\n"
                              "[HKEY_CURRENT_USER\\Software\\QAV\\Cuemark]\n"
                              "\"OutputDevice\"=\"4\"\n"
                              "\"Path\"=\"C:\\\\a \\\"b\\\"\"\n");
}

TEST_F(RegistryStore, ReadsStationExportsInUtf8AndUtf16) {
    const QString key = "Software\\VB and VBA Program Settings\\QAV\\AudioFilePaths";
    for (const QByteArray& bytes : {QByteArray(StationExport), RegeditExport(StationExport)}) {
        WriteBytes(Path, bytes);
        TRegistryStore store(Path);
        EXPECT_EQ(store.ReadString(key, "AudioPath0"), "C:\\qav32\\audio");
        EXPECT_EQ(store.ReadString(key, "AudioPath1"), "\\\\server\\share \"spots\"");
        EXPECT_EQ(store.ReadString(key, ""), "default text");
        EXPECT_EQ(store.ReadString(key, "Count"), ""); // not a string value
        EXPECT_EQ(store.ReadString(key, "Blob"), "");
        EXPECT_EQ(store.ReadString("\\Software\\VB and VBA Program Settings\\Velmont\\Devices",
                                   "AuditionDevice"),
                  "2");
        EXPECT_FALSE(store.KeyExists("Software\\Gone"));
    }
}

TEST_F(RegistryStore, WritingIntoAnExportKeepsItsOtherValues) {
    WriteBytes(Path, RegeditExport(StationExport));
    TRegistryStore store(Path);
    const QString key = "Software\\VB and VBA Program Settings\\QAV\\AudioFilePaths";
    ASSERT_TRUE(store.WriteString("Software\\QAV\\Cuemark", "OutputDevice", "1"));

    TRegistryStore reread(Path);
    EXPECT_EQ(reread.ReadString("Software\\QAV\\Cuemark", "OutputDevice"), "1");
    EXPECT_EQ(reread.ReadString(key, "AudioPath1"), "\\\\server\\share \"spots\"");
    EXPECT_EQ(reread.ValueNames(key),
              (QStringList{"AudioPath0", "AudioPath1", "Count", "Blob", ""}));
    const QString text = ReadText(Path);
    EXPECT_TRUE(text.contains("\"Count\"=dword:00000002\n"));
    EXPECT_TRUE(text.contains("\"Blob\"=hex:01,02,03,04,05\n"));
}

} // namespace
