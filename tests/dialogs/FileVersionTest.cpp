// The version block reader against built ELF files, whole and damaged, and the
// blocks the build compiles into the service libraries.

#include "Fileversion.h"
#include "ElfFixture.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

using TFixed = std::array<uint16_t, 4>;

bool ReadFixture(const TElfFixture& elf, TFileVersion& version) {
    static TTempDir dir;
    const QString path = QString::fromStdString(dir.File("module.so"));
    EXPECT_TRUE(elf.Write(path));
    return version.ReadVersionInfo(path);
}

void ExpectEmpty(const TFileVersion& version) {
    EXPECT_FALSE(version.HasBlock());
    EXPECT_EQ(version.GetVersionString("FileDescription"), "");
    EXPECT_EQ(version.GetVersionString("FileVersion"), "");
    EXPECT_EQ(version.GetFixedFileVersion(), (TFixed{0, 0, 0, 0}));
    EXPECT_EQ(version.DefaultTranslation(), 0u);
}

TEST(FileVersion, ReadsTheBlockOfAnElfFile) {
    TFileVersion version;
    ASSERT_TRUE(ReadFixture(
        TElfFixture(VersionBlock("Cuemark playback library", "2.7.1.40", "2,7,1,40")), version));
    EXPECT_EQ(version.GetVersionString("FileDescription"), "Cuemark playback library");
    EXPECT_EQ(version.GetVersionString("FileVersion"), "2.7.1.40");
    EXPECT_EQ(version.GetFixedFileVersion(), (TFixed{2, 7, 1, 40}));
    EXPECT_EQ(version.GetVersionString("CompanyName"), "");
    // The default translation is the block's own; another one has no strings.
    EXPECT_EQ(version.DefaultTranslation(), TFileVersion::BlockTranslation);
    EXPECT_EQ(version.GetVersionString("FileVersion", TFileVersion::BlockTranslation), "2.7.1.40");
    EXPECT_EQ(version.GetVersionString("FileVersion", 0x04070000), "");
}

TEST(FileVersion, AFailedReadDropsTheEarlierBlock) {
    TFileVersion version;
    ASSERT_TRUE(ReadFixture(TElfFixture(VersionBlock("A", "1.0.0.0", "1,0,0,0")), version));
    EXPECT_FALSE(version.ReadVersionInfo("/nonexistent/module.so"));
    ExpectEmpty(version);
}

// Files that are not whole, sound 64-bit little-endian ELF files with the block give
// no values, and reading them stays inside the file (the suite runs under ASan).
TEST(FileVersion, DamagedOrForeignFilesGiveNoBlock) {
    const TElfFixture good(VersionBlock("A", "1.2.3.4", "1,2,3,4"));
    struct TCase {
        const char* Name;
        std::function<void(TElfFixture&)> Damage;
    };
    const std::vector<TCase> cases = {
        {"not ELF", [](TElfFixture& f) { f.Bytes[1] = 'X'; }},
        {"32-bit class", [](TElfFixture& f) { f.Bytes[EI_CLASS] = ELFCLASS32; }},
        {"big-endian", [](TElfFixture& f) { f.Bytes[EI_DATA] = ELFDATA2MSB; }},
        {"no section table",
         [](TElfFixture& f) {
             auto h = f.Header();
             h.e_shoff = 0;
             f.SetHeader(h);
         }},
        {"section table past the end",
         [](TElfFixture& f) {
             auto h = f.Header();
             h.e_shoff = 0xFFFFFFFFFFFFFF00ull;
             f.SetHeader(h);
         }},
        {"huge section count",
         [](TElfFixture& f) {
             auto h = f.Header();
             h.e_shnum = 0xFEFF;
             f.SetHeader(h);
         }},
        {"odd section header size",
         [](TElfFixture& f) {
             auto h = f.Header();
             h.e_shentsize = 40;
             f.SetHeader(h);
         }},
        {"name table index out of range",
         [](TElfFixture& f) {
             auto h = f.Header();
             h.e_shstrndx = 7;
             f.SetHeader(h);
         }},
        {"name offset past the table",
         [](TElfFixture& f) {
             auto s = f.Section(2);
             s.sh_name = 0x7FFFFFFF;
             f.SetSection(2, s);
         }},
        {"name table past the end",
         [](TElfFixture& f) {
             auto s = f.Section(1);
             s.sh_size = 0xFFFFFFFFFFFFull;
             f.SetSection(1, s);
         }},
        {"block past the end",
         [](TElfFixture& f) {
             auto s = f.Section(2);
             s.sh_offset = f.Bytes.size() - 4;
             f.SetSection(2, s);
         }},
        {"block size wraps",
         [](TElfFixture& f) {
             auto s = f.Section(2);
             s.sh_size = ~0ull;
             f.SetSection(2, s);
         }},
        {"block without contents",
         [](TElfFixture& f) {
             auto s = f.Section(2);
             s.sh_type = SHT_NOBITS;
             f.SetSection(2, s);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TElfFixture damaged = good;
        c.Damage(damaged);
        TFileVersion version;
        EXPECT_FALSE(ReadFixture(damaged, version));
        ExpectEmpty(version);
    }

    // Every truncation of a good file.
    for (int length = 0; length < good.Bytes.size(); ++length) {
        TElfFixture cut = good;
        cut.Bytes.truncate(length);
        TFileVersion version;
        EXPECT_FALSE(ReadFixture(cut, version)) << "length " << length;
    }
}

TEST(FileVersion, SectionContentsMustBeAVersionBlock) {
    struct TCase {
        const char* Name;
        QByteArray Data;
        QByteArray SectionName;
        bool Found;
    };
    const std::vector<TCase> cases = {
        {"other section name", VersionBlock("A", "1", "1,2,3,4"), ".cuemark_versio", false},
        {"longer section name", VersionBlock("A", "1", "1,2,3,4"), ".cuemark_version2", false},
        {"no marker line", "FileDescription=A\nFileVersion=1\n", ".cuemark_version", false},
        {"empty section", "", ".cuemark_version", false},
        {"marker only", "CUEMARK-VERSION-BLOCK\n", ".cuemark_version", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFileVersion version;
        EXPECT_EQ(ReadFixture(TElfFixture(c.Data, c.SectionName), version), c.Found);
    }
}

TEST(FileVersion, BlockTextRules) {
    TFileVersion version;
    // A second block after the NUL (two binaries' blocks merged by the linker) is
    // not read; the first value of a key counts; a value may hold "=".
    ASSERT_TRUE(version.ParseBlock(VersionBlock("First", "1.0.0.0", "1,0,0,0") +
                                   VersionBlock("Second", "9.9.9.9", "9,9,9,9")));
    EXPECT_EQ(version.GetVersionString("FileDescription"), "First");
    ASSERT_TRUE(version.ParseBlock("CUEMARK-VERSION-BLOCK\nFileVersion=a=b\nFileVersion=c\n"));
    EXPECT_EQ(version.GetVersionString("FileVersion"), "a=b");

    // A fixed version that is not four 16-bit numbers reads as zeros.
    for (const QByteArray fixed : {"1,2,3", "1,2,3,4,5", "1,2,x,4", "1,2,3,65536", "1,2,3,-1"}) {
        SCOPED_TRACE(fixed.constData());
        ASSERT_TRUE(version.ParseBlock(VersionBlock("A", "1", fixed)));
        EXPECT_EQ(version.GetFixedFileVersion(), (TFixed{0, 0, 0, 0}));
    }
    ASSERT_TRUE(version.ParseBlock(VersionBlock("A", "1", "65535, 0,1 ,2")));
    EXPECT_EQ(version.GetFixedFileVersion(), (TFixed{65535, 0, 1, 2}));
}

// The blocks the build compiles into the libraries beside the test program, and a
// binary without one.
TEST(FileVersion, ReadsTheBuiltLibraries) {
    const QDir bin(QCoreApplication::applicationDirPath());
    TFileVersion version;
    EXPECT_FALSE(version.ReadVersionInfo(QCoreApplication::applicationFilePath()));

    const QString sonara = bin.filePath("libsonara.so");
    if (!QFileInfo::exists(sonara))
        GTEST_SKIP() << "libsonara.so is not built beside the test";
    ASSERT_TRUE(version.ReadVersionInfo(sonara));
    EXPECT_EQ(version.GetVersionString("FileDescription"), "Cuemark playback library");
    const auto fixed = version.GetFixedFileVersion();
    EXPECT_EQ(version.GetVersionString("FileVersion"),
              QString("%1.%2.%3.%4").arg(fixed[0]).arg(fixed[1]).arg(fixed[2]).arg(fixed[3]));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
