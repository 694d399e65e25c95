// The persistent tag cache: a folder read once is answered from the cache without opening
// its files; a file changed by another program in any way that keeps its name (size, an
// in-place save with the mtime set back, a replacement) is read again; a damaged, foreign,
// shared or unwritable cache never breaks the list.
#include "PidlHelp.h"
#include "TFolderListModel.h"
#include "TLoudnessColumns.h"
#include "TScriptedAudioLibs.h"
#include "TShellItem.h"
#include "TTagCache.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace {

namespace fs = std::filesystem;

constexpr int ArtistColumn = 3;
constexpr int CategoryColumn = 5;
constexpr int FileCount = 6;

std::vector<TListColumn> Columns(std::initializer_list<int> numbers) {
    std::vector<TListColumn> columns = {{0, "Name"}, {0, "Size"}, {0, "Modified"}};
    for (int n : numbers)
        columns.push_back({n, QString::number(n)});
    return columns;
}

class TagCache : public ::testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TScriptedAudioLibs Libs;

    void SetUp() override {
        Home.BecomeHome();
        Libs.LengthMs = 180000;
        for (int i = 0; i < FileCount; ++i) {
            const std::string name = "f" + std::to_string(i) + ".wav";
            std::ofstream(Dir.Path() / name) << "RIFF-not-really-" << i;
            TScriptedAudioLibs::TFile& file = Libs.Files[Dir.File(name)];
            file.Tags["IART"] = "Artist " + std::to_string(i);
            file.Tags["ISRC"] = "CAT" + std::to_string(i);
        }
        std::ofstream(Dir.Path() / "notes.txt") << "not audio";
    }

    QString CacheFile() const { return QString::fromStdString(Home.File("cache.sqlite")); }

    // A new list (as a new window or process would have) over the folder, with the cache in
    // CacheFile() and the given columns, every row read; returns the opens it took.
    int ReadAll(std::unique_ptr<TFolderListModel>& model, std::initializer_list<int> columns,
                std::shared_ptr<TTagCache> cache = nullptr) {
        model = std::make_unique<TFolderListModel>();
        model->SetTagCache(cache ? cache : TTagCache::Open(CacheFile()));
        model->SetColumns(Columns(columns));
        TPidl folder;
        EXPECT_TRUE(GetPIDLFromPath(&model->DesktopFolder(), Dir.Path().string(), folder));
        EXPECT_TRUE(model->OpenFolder(folder.Get()));
        const int before = Libs.CallCount("OpenWavFile");
        model->ReadEntryDetails(0, model->Count() - 1);
        model->TagCache()->WaitWritten();
        return Libs.CallCount("OpenWavFile") - before;
    }

    static QString ValueOf(const TFolderListModel& model, const std::string& name, int column) {
        for (int row = 0; row < model.Count(); ++row)
            if (model.Entry(row).DisplayName == QString::fromStdString(name))
                return model.Entry(row).Value(column);
        return QStringLiteral("<no row>");
    }
};

TEST_F(TagCache, AWarmCacheOpensNoFileAndGivesTheSameTexts) {
    std::unique_ptr<TFolderListModel> cold;
    EXPECT_EQ(ReadAll(cold, {ArtistColumn, CategoryColumn}), FileCount);
    std::unique_ptr<TFolderListModel> warm;
    EXPECT_EQ(ReadAll(warm, {ArtistColumn, CategoryColumn}), 0);
    EXPECT_EQ(warm->CacheHits(), FileCount);
    for (int i = 0; i < FileCount; ++i) {
        const std::string name = "f" + std::to_string(i) + ".wav";
        EXPECT_EQ(ValueOf(*warm, name, ArtistColumn), QString("Artist %1").arg(i));
        EXPECT_EQ(ValueOf(*warm, name, CategoryColumn), QString("CAT%1").arg(i));
    }
    // A column the cached rows lack sends the list to the files once, then it is cached too.
    std::unique_ptr<TFolderListModel> wider;
    EXPECT_EQ(ReadAll(wider, {ArtistColumn, CategoryColumn, 1, 2}), FileCount);
    EXPECT_EQ(ValueOf(*wider, "f0.wav", 1), "PCM 16 bit - 44100 Hz Stereo");
    EXPECT_EQ(ReadAll(wider, {2, ArtistColumn}), 0);
    // Re-reading every row (new columns, F5) asks the cache again, not the files.
    const int before = Libs.CallCount("OpenWavFile");
    wider->MarkAllStale();
    wider->ReadEntryDetails(0, wider->Count() - 1);
    EXPECT_EQ(Libs.CallCount("OpenWavFile"), before);
}

TEST_F(TagCache, AFileChangedByAnotherProgramIsReadAgain) {
    std::unique_ptr<TFolderListModel> model;
    ASSERT_EQ(ReadAll(model, {ArtistColumn}), FileCount);

    // f1: longer. f2: same size, written in place, its mtime set back to the old one (only
    // the ctime tells). f3: replaced by another file of the same size and mtime (new inode).
    Libs.Files[Dir.File("f1.wav")].Tags["IART"] = "Longer";
    std::ofstream(Dir.Path() / "f1.wav", std::ios::app) << "more";

    struct stat old {};
    ASSERT_EQ(::stat(Dir.File("f2.wav").c_str(), &old), 0);
    ::usleep(20000); // a ctime tick on coarse clocks
    {
        const int fd = ::open(Dir.File("f2.wav").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "X", 1, 0), 1);
        ::close(fd);
    }
    const struct timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, Dir.File("f2.wav").c_str(), times, 0), 0);
    Libs.Files[Dir.File("f2.wav")].Tags["IART"] = "Same size";

    struct stat three {};
    ASSERT_EQ(::stat(Dir.File("f3.wav").c_str(), &three), 0);
    fs::copy_file(Dir.Path() / "f3.wav", Dir.Path() / "f3.new");
    const struct timespec threeTimes[2] = {three.st_atim, three.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, Dir.File("f3.new").c_str(), threeTimes, 0), 0);
    fs::rename(Dir.Path() / "f3.new", Dir.Path() / "f3.wav");
    Libs.Files[Dir.File("f3.wav")].Tags["IART"] = "Replaced";

    std::unique_ptr<TFolderListModel> again;
    EXPECT_EQ(ReadAll(again, {ArtistColumn}), 3);
    EXPECT_EQ(ValueOf(*again, "f1.wav", ArtistColumn), "Longer");
    EXPECT_EQ(ValueOf(*again, "f2.wav", ArtistColumn), "Same size");
    EXPECT_EQ(ValueOf(*again, "f3.wav", ArtistColumn), "Replaced");
    EXPECT_EQ(ValueOf(*again, "f0.wav", ArtistColumn), "Artist 0");
}

// The listing's examination of a file serves only a pass that follows it closely: a file
// changed by another program between the listing and a later pass (in place, same size, the
// mtime set back) is examined again and read, not answered from its cached row.
TEST_F(TagCache, AChangeBetweenListingAndALaterPassIsCaught) {
    std::unique_ptr<TFolderListModel> cold;
    ASSERT_EQ(ReadAll(cold, {ArtistColumn}), FileCount);

    TFolderListModel model;
    model.SetTagCache(TTagCache::Open(CacheFile()));
    model.SetColumns(Columns({ArtistColumn}));
    TPidl folder;
    ASSERT_TRUE(GetPIDLFromPath(&model.DesktopFolder(), Dir.Path().string(), folder));
    ASSERT_TRUE(model.OpenFolder(folder.Get()));

    struct stat old {};
    ASSERT_EQ(::stat(Dir.File("f4.wav").c_str(), &old), 0);
    ::usleep(20000); // a ctime tick on coarse clocks
    {
        const int fd = ::open(Dir.File("f4.wav").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "Y", 1, 0), 1);
        ::close(fd);
    }
    const struct timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, Dir.File("f4.wav").c_str(), times, 0), 0);
    Libs.Files[Dir.File("f4.wav")].Tags["IART"] = "Changed after listing";
    ::usleep((TFolderListModel::ListingReuseMs + 100) * 1000);

    const int before = Libs.CallCount("OpenWavFile");
    model.ReadEntryDetails(0, model.Count() - 1);
    EXPECT_EQ(Libs.CallCount("OpenWavFile") - before, 1);
    EXPECT_EQ(ValueOf(model, "f4.wav", ArtistColumn), "Changed after listing");
    EXPECT_EQ(ValueOf(model, "f0.wav", ArtistColumn), "Artist 0");
    EXPECT_EQ(model.CacheHits(), FileCount - 1);
}

TEST_F(TagCache, FailedReadsAreTriedAgainAndOwnWritesDropTheRow) {
    Libs.Files.erase(Dir.File("f4.wav")); // the scripted library cannot open it
    std::unique_ptr<TFolderListModel> model;
    ASSERT_EQ(ReadAll(model, {ArtistColumn}), FileCount);
    EXPECT_EQ(ReadAll(model, {ArtistColumn}), 1); // only the failed one

    // A value written by a batch drops the row: the next list reads that file.
    int row = 0;
    while (model->Entry(row).DisplayName != "f0.wav")
        ++row;
    model->SetEntryValue(row, ArtistColumn, "Batch");
    std::unique_ptr<TFolderListModel> next;
    EXPECT_EQ(ReadAll(next, {ArtistColumn}), 2);
}

TEST_F(TagCache, RowsOfFilesGoneArePrunedWhenTheFolderIsListed) {
    std::unique_ptr<TFolderListModel> model;
    ASSERT_EQ(ReadAll(model, {ArtistColumn}), FileCount);
    fs::remove(Dir.Path() / "f5.wav");
    fs::remove(Dir.Path() / "f4.wav");
    std::unique_ptr<TFolderListModel> again;
    ReadAll(again, {ArtistColumn});
    const auto rows =
        TTagCache::Open(CacheFile())->FolderRows(QByteArray::fromStdString(Dir.Path().string()));
    EXPECT_EQ(rows.size(), static_cast<size_t>(FileCount - 2));
    EXPECT_EQ(rows.count("f5.wav"), 0u);
    EXPECT_EQ(rows.count("f0.wav"), 1u);
}

// Damage of every kind is set aside with the list still reading the files.
TEST_F(TagCache, ADamagedOrForeignCacheIsSetAsideAndRebuilt) {
    const std::string file = CacheFile().toStdString();
    std::unique_ptr<TFolderListModel> model;

    // Garbage.
    std::ofstream(file) << std::string(8192, 'g');
    EXPECT_EQ(ReadAll(model, {ArtistColumn}), FileCount);
    EXPECT_TRUE(fs::exists(file + ".broken"));
    EXPECT_EQ(ReadAll(model, {ArtistColumn}), 0) << "the rebuilt cache works";

    // Truncated after many rows: pages the index points to are gone.
    model.reset(); // the last connection folds its journal into the file as it closes
    {
        auto cache = TTagCache::Open(CacheFile());
        for (int i = 0; i < 3000; ++i) {
            TTagCache::TRow row;
            row.Stamp.Inode = 1;
            row.Columns = 1u << ArtistColumn;
            row.Texts = TTagCache::EncodeTexts({QString(200, QChar('a' + i % 26))});
            cache->Put("/elsewhere", QByteArray::number(i), row);
        }
    }
    fs::remove(file + ".broken");
    fs::resize_file(file, fs::file_size(file) / 3);
    fs::remove(file + "-wal");
    fs::remove(file + "-shm");
    // The damage may show at the start or only when a damaged page is read: either way the
    // list shows the files' own texts.
    ReadAll(model, {ArtistColumn});
    EXPECT_EQ(ValueOf(*model, "f0.wav", ArtistColumn), "Artist 0");
    auto cache = TTagCache::Open(CacheFile());
    ASSERT_NE(cache, nullptr);
    EXPECT_TRUE(cache->FolderRows("/elsewhere").empty());
    EXPECT_TRUE(fs::exists(file + ".broken"));
    ReadAll(model, {ArtistColumn}, cache);
    EXPECT_EQ(ValueOf(*model, "f5.wav", ArtistColumn), "Artist 5");

    // Another program's (or version's) SQLite file.
    cache.reset();
    model.reset();
    fs::remove(file);
    fs::remove(file + "-wal");
    fs::remove(file + "-shm");
    fs::remove(file + ".broken");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db, "CREATE TABLE t(x); PRAGMA user_version=7", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(ReadAll(model, {ArtistColumn}), FileCount);
    EXPECT_TRUE(fs::exists(file + ".broken"));
    EXPECT_EQ(ReadAll(model, {ArtistColumn}), 0);

    // A row whose texts were damaged is read from its file.
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "UPDATE files SET row = substr(row, 1, 41) || x'ffffff7f41'"
                           " WHERE name = CAST('f0.wav' AS BLOB)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(ReadAll(model, {ArtistColumn}), 1);
    EXPECT_EQ(ValueOf(*model, "f0.wav", ArtistColumn), "Artist 0");
}

TEST_F(TagCache, TwoProcessesWriteTheSameCache) {
    auto row = [](int i) {
        TTagCache::TRow r;
        r.Stamp.Inode = static_cast<uint64_t>(i + 1);
        r.Columns = 1u << ArtistColumn;
        r.Texts = TTagCache::EncodeTexts({QString::number(i)});
        return r;
    };
    ASSERT_NE(TTagCache::Open(CacheFile()), nullptr); // made before the two start
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    const QByteArray folder = child == 0 ? "/child" : "/parent";
    auto cache = TTagCache::Open(CacheFile());
    bool ok = cache != nullptr;
    for (int i = 0; ok && i < 4000; ++i) {
        cache->Put(folder, QByteArray::number(i), row(i));
        if (i % 100 == 99)
            cache->Flush();
    }
    if (ok)
        cache->WaitWritten();
    ok = ok && cache->Usable();
    if (child == 0)
        ::_exit(ok ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(ok);
    auto check = TTagCache::Open(CacheFile());
    EXPECT_EQ(check->FolderRows("/child").size(), 4000u);
    EXPECT_EQ(check->FolderRows("/parent").size(), 4000u);
}

// A cache folder the user cannot write: no cache, one line on standard error, no failure.
TEST_F(TagCache, AnUnwritableCacheFolderMeansNoCache) {
    const fs::path folder = Dir.Path() / "ro";
    fs::create_directory(folder);
    ::chmod(Dir.Path().c_str(), 0755);
    ::chmod(folder.c_str(), 0555);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Root writes anywhere: drop to nobody first.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const auto cache =
            TTagCache::Open(QString::fromStdString((folder / "cuemark/cache.sqlite").string()));
        ::_exit(cache == nullptr ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ::chmod(folder.c_str(), 0755);
}

// A folder's rows are found by name whatever order they are asked in: in the query's order,
// backwards, in the list's order (case folded), after an erase, and not at all when absent.
TEST_F(TagCache, FolderRowsAreFoundInAnyOrder) {
    const std::vector<QByteArray> names = {"A.wav", "B.wav", "_x.wav",
                                           "a.wav", "b.wav", "z\xff.wav"};
    {
        auto cache = TTagCache::Open(CacheFile());
        for (size_t i = 0; i < names.size(); ++i) {
            TTagCache::TRow row;
            row.Stamp.Inode = i + 1;
            cache->Put("/f", names[i], row);
        }
        cache->Flush();
    }
    auto cache = TTagCache::Open(CacheFile());
    const std::vector<QByteArray> orders[] = {
        names,
        {names.rbegin(), names.rend()},
        {"_x.wav", "A.wav", "a.wav", "B.wav", "b.wav", "z\xff.wav"},
        {"b.wav", "b.wav", "A.wav", "missing.wav", "A.wav"},
    };
    for (const auto& order : orders) {
        const TTagCache::TFolderRows rows = cache->FolderRows("/f");
        ASSERT_EQ(rows.size(), names.size());
        for (const QByteArray& name : order) {
            const int found = rows.Find(name);
            const auto known = std::find(names.begin(), names.end(), name);
            if (known == names.end()) {
                EXPECT_EQ(found, -1) << name.toStdString();
                continue;
            }
            ASSERT_GE(found, 0) << name.toStdString();
            EXPECT_EQ(rows.Name(found), name);
            EXPECT_EQ(rows.Row(found).Stamp.Inode,
                      static_cast<uint64_t>(known - names.begin()) + 1);
        }
    }
    TTagCache::TFolderRows rows = cache->FolderRows("/f");
    const int b = rows.Find("b.wav");
    rows.Erase(b);
    EXPECT_EQ(rows.Name(rows.Find("a.wav")), "a.wav");
    EXPECT_EQ(rows.Find("b.wav"), -1);
    EXPECT_EQ(rows.size(), names.size() - 1);
}

// Analysis results live beside the rows, for the stamp they were made from only, and go with
// the file's row.
TEST_F(TagCache, AnalysisResultsHoldForTheirStampOnly) {
    const QByteArray folder = QByteArray::fromStdString(Dir.Path().string());
    const QByteArray path = QByteArray::fromStdString(Dir.File("f0.wav"));
    const TFileStamp stamp = TTagCache::StampOf(path);
    ASSERT_TRUE(stamp.IsKnown());
    auto cache = TTagCache::Open(CacheFile());
    cache->PutAnalysis(folder, "f0.wav", "loudness", stamp, QByteArray("figures\0with a nul", 19));
    EXPECT_EQ(cache->Analysis(folder, "f0.wav", "loudness", stamp),
              QByteArray("figures\0with a nul", 19));
    EXPECT_FALSE(cache->Analysis(folder, "f0.wav", "peaks", stamp).has_value());
    std::ofstream(Dir.Path() / "f0.wav", std::ios::app) << "changed";
    EXPECT_FALSE(
        cache->Analysis(folder, "f0.wav", "loudness", TTagCache::StampOf(path)).has_value());
    EXPECT_TRUE(TTagCache::Open(CacheFile())
                    ->Analysis(folder, "f0.wav", "loudness", stamp)
                    .has_value()); // kept across processes
    cache->ForgetPath(path);
    EXPECT_FALSE(cache->Analysis(folder, "f0.wav", "loudness", stamp).has_value());
}

// The loudness columns come from measurements in the cache, for the file as it was measured:
// a save of the file's tags carries them over, another program's change does not.
TEST_F(TagCache, LoudnessColumnsShowMeasurementsOfTheFileAsItIs) {
    const QByteArray folder = QByteArray::fromStdString(Dir.Path().string());
    auto cache = TTagCache::Open(CacheFile());
    TLoudnessFigures figures;
    figures.Integrated = -16.04;
    for (const char* name : {"f0.wav", "f1.wav"}) {
        const QByteArray path = folder + '/' + name;
        cache->PutAnalysisOfPath(path, TLoudnessColumns::CacheKind, figures.Encode());
    }
    EXPECT_EQ(cache->FolderAnalyses(folder, TLoudnessColumns::CacheKind).size(), 2u);
    std::unique_ptr<TFolderListModel> model;
    ReadAll(model, {TLoudnessColumns::Loudness}, cache);
    EXPECT_EQ(ValueOf(*model, "f0.wav", TLoudnessColumns::Loudness), "-16.0 LUFS");
    EXPECT_EQ(ValueOf(*model, "f2.wav", TLoudnessColumns::Loudness), "");

    // f0: a tag save (the stamp moved over); f1: changed by another program.
    const QByteArray f0 = folder + "/f0.wav";
    const TFileStamp before = TTagCache::StampOf(f0);
    std::ofstream(Dir.Path() / "f0.wav", std::ios::app) << "tags";
    std::ofstream(Dir.Path() / "f1.wav", std::ios::app) << "other";
    cache->RestampAnalyses(f0, before, TTagCache::StampOf(f0));
    ReadAll(model, {TLoudnessColumns::Loudness}, cache);
    EXPECT_EQ(ValueOf(*model, "f0.wav", TLoudnessColumns::Loudness), "-16.0 LUFS");
    EXPECT_EQ(ValueOf(*model, "f1.wav", TLoudnessColumns::Loudness), "");
    // Never written into the tag rows: the columns always come from the measurements.
    for (const auto& [name, row] : cache->FolderRows(folder))
        EXPECT_EQ(row.Columns >> TLoudnessColumns::First, 0u) << name.toStdString();
}

// Texts of every form come back from a warm cache exactly as the files gave them.
TEST_F(TagCache, AWarmCacheGivesTextsOfEveryFormAsTheFilesDid) {
    const std::vector<std::string> texts = {"",
                                            "Ünïcode ☃ and 𝄞",
                                            std::string(127, 'a'),
                                            std::string(128, 'b'),
                                            std::string(20000, 'c') + "é",
                                            "\xEF\xBB\xBF"
                                            "after a BOM",
                                            "bad \xC3 byte",
                                            "cut \xF0\x9F\x8E",
                                            "tab\tand\nnewline"};
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string name = "t" + std::to_string(i) + ".wav";
        std::ofstream(Dir.Path() / name) << "RIFF-not-really-t" << i;
        TScriptedAudioLibs::TFile& file = Libs.Files[Dir.File(name)];
        file.Tags["IART"] = texts[i];
        file.Tags["ISRC"] = texts[texts.size() - 1 - i];
    }
    std::unique_ptr<TFolderListModel> cold;
    ReadAll(cold, {ArtistColumn, CategoryColumn});
    std::unique_ptr<TFolderListModel> warm;
    EXPECT_EQ(ReadAll(warm, {ArtistColumn, CategoryColumn}), 0);
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string name = "t" + std::to_string(i) + ".wav";
        for (int column : {ArtistColumn, CategoryColumn}) {
            const QString read = ValueOf(*cold, name, column);
            EXPECT_EQ(ValueOf(*warm, name, column), read) << name << " column " << column;
            EXPECT_EQ(read.isEmpty(),
                      texts[column == ArtistColumn ? i : texts.size() - 1 - i].empty());
        }
    }
}

// A cache of an earlier layout (rows by rowid; a column for each part of a row) keeps its
// analyses (costly to make again) and drops its rows; it is not set aside.
TEST_F(TagCache, ACacheOfAnOlderLayoutKeepsItsAnalyses) {
    const std::string file = CacheFile().toStdString();
    for (const char* layout : {" PRIMARY KEY(folder, name)); PRAGMA user_version=1",
                               " PRIMARY KEY(folder, name)) WITHOUT ROWID;"
                               " PRAGMA user_version=2"}) {
        SCOPED_TRACE(layout);
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            fs::remove(file + suffix);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        const std::string sql =
            std::string("CREATE TABLE analysis(folder BLOB NOT NULL, name BLOB NOT NULL,"
                        " kind TEXT NOT NULL, size INTEGER NOT NULL,"
                        " mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
                        " inode INTEGER NOT NULL, data BLOB NOT NULL,"
                        " PRIMARY KEY(folder, name, kind));"
                        "INSERT INTO analysis VALUES(x'2f61', x'62', 'loudness', 1, 2, 3, 4,"
                        " x'6669677572657300');"
                        "PRAGMA application_id=1129663819;"
                        "CREATE TABLE files(folder BLOB NOT NULL, name BLOB NOT NULL,"
                        " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL,"
                        " ctime_ns INTEGER NOT NULL, inode INTEGER NOT NULL,"
                        " columns INTEGER NOT NULL, failed INTEGER NOT NULL,"
                        " texts BLOB NOT NULL,") +
            layout +
            ";INSERT INTO files VALUES(x'2f61', x'62', 1, 2, 3, 4, 8, 0, x'0300000041424300');";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        TFileStamp stamp;
        stamp.Size = 1;
        stamp.MtimeNs = 2;
        stamp.CtimeNs = 3;
        stamp.Inode = 4;
        auto cache = TTagCache::Open(CacheFile());
        ASSERT_NE(cache, nullptr);
        EXPECT_EQ(cache->Analysis("/a", "b", "loudness", stamp), QByteArray("figures\0", 8));
        EXPECT_TRUE(cache->FolderRows("/a").empty());
        EXPECT_FALSE(fs::exists(file + ".broken"));
        // It is now of this layout: rows are kept, and another start finds it as it left it.
        std::unique_ptr<TFolderListModel> model;
        EXPECT_EQ(ReadAll(model, {ArtistColumn}, cache), FileCount);
        cache.reset();
        model.reset();
        EXPECT_EQ(ReadAll(model, {ArtistColumn}), 0);
        EXPECT_TRUE(
            TTagCache::Open(CacheFile())->Analysis("/a", "b", "loudness", stamp).has_value());
    }
}

// Applying a stored row decodes each text as QString::fromUtf8 does, and leaves the entry as
// it was when the bytes do not hold the row's columns exactly.
TEST(TagCacheTexts, ApplyDecodesLikeUtf8AndRejectsDamage) {
    // The stored form, written here byte by byte: a length in 7-bit groups, then the bytes.
    const auto stored = [](const std::vector<std::string>& texts) {
        QByteArray bytes;
        for (const std::string& text : texts) {
            for (size_t n = text.size();; n >>= 7) {
                bytes.append(static_cast<char>((n & 0x7f) | (n >= 0x80 ? 0x80 : 0)));
                if (n < 0x80)
                    break;
            }
            bytes.append(text.data(), static_cast<qsizetype>(text.size()));
        }
        return bytes;
    };
    const std::vector<std::string> texts = {"plain",        "",
                                            "Ünï ☃ 𝄞",      "bad \xC3 \xFF",
                                            "cut \xE2\x98", std::string(300, 'x') + "\xC3\xA9"};
    TTagCache::TRow row;
    row.Columns = (1u << 3) | (1u << 4) | (1u << 5) | (1u << 6) | (1u << 7) | (1u << 30);
    row.Texts = stored(texts);
    TShellItem entry;
    entry.SetValue(4, "replaced by an empty text");
    entry.SetValue(8, "kept");
    ASSERT_TRUE(TTagCache::Apply(row, entry));
    const int columns[] = {3, 4, 5, 6, 7, 30};
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(entry.Value(columns[i]),
                  QString::fromUtf8(texts[i].data(), static_cast<qsizetype>(texts[i].size())))
            << "column " << columns[i];
    EXPECT_EQ(entry.Value(8), "kept");

    // Rows applied to a new entry, with texts ending at, before and after eight-byte steps,
    // and non-ASCII bytes at the end of a text, at the row's end and just past a short text.
    const std::vector<std::vector<std::string>> rows = {
        {"a", "12345678", "123456789", "", "1234567"},
        {"abc\xC3\xA9", "x"},
        {"abc\xC3\xA9", "more than eight"},
        {"x", "abcdefg\xC3\xA9"},
        {"abcdefgh", "\xC3\xA9"},
        {"ab", "\xC3\xA9 and more than eight"},
        {"", "", std::string(17, 'q')},
    };
    for (const auto& texts : rows) {
        TTagCache::TRow fresh;
        fresh.Texts = stored(texts);
        for (size_t i = 0; i < texts.size(); ++i)
            fresh.Columns |= uint64_t{1} << (3 + i);
        TShellItem made;
        ASSERT_TRUE(TTagCache::Apply(fresh, made));
        for (size_t i = 0; i < texts.size(); ++i) {
            const int column = static_cast<int>(3 + i);
            EXPECT_EQ(made.Value(column),
                      QString::fromUtf8(texts[i].data(), static_cast<qsizetype>(texts[i].size())))
                << "column " << column;
            EXPECT_EQ((made.ValueColumns() >> column & 1) != 0, !texts[i].empty());
        }
    }

    const struct {
        const char* What;
        QByteArray Texts;
    } damaged[] = {
        {"a length cut short", stored({"a"}) + QByteArray("\x80", 1)},
        {"a length past the end", stored({"a"}) + QByteArray("\x05"
                                                             "ab",
                                                             3)},
        {"a length of more than 32 bits", stored({"a"}) + QByteArray("\xff\xff\xff\xff\x7f", 5)},
        {"bytes left over", stored({"a", "b", "c"})},
    };
    for (const auto& [what, bytes] : damaged) {
        TTagCache::TRow bad;
        bad.Columns = (1u << 3) | (1u << 5);
        bad.Texts = bytes;
        TShellItem untouched;
        untouched.SetValue(3, "before");
        EXPECT_FALSE(TTagCache::Apply(bad, untouched)) << what;
        EXPECT_EQ(untouched.Value(3), "before") << what;
        EXPECT_TRUE(untouched.Value(5).isEmpty()) << what;
    }
}

// Rows damaged at random (bytes changed, cut short, columns wrong) are applied or refused,
// never read past their end; one that is applied gives the texts DecodeTexts gives.
TEST(TagCacheTexts, RandomlyDamagedRowsAreAppliedOrRefusedSafely) {
    const QByteArray good = TTagCache::EncodeTexts(
        {"Artist 12", "MUSIC", "", "2004/01/31", QString(130, 'y'), "Caf\u00e9", "x"});
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = good;
        const int changes = static_cast<int>(random() % 4);
        for (int c = 0; c < changes && !bytes.isEmpty(); ++c)
            bytes[static_cast<qsizetype>(random() % static_cast<unsigned>(bytes.size()))] =
                static_cast<char>(random());
        if (random() % 3 == 0)
            bytes.truncate(static_cast<qsizetype>(random() % static_cast<unsigned>(good.size())));
        TTagCache::TRow row;
        row.Columns = 0xFE; // columns 1..7
        if (random() % 4 == 0)
            row.Columns = (random() & 0x3FFFFFFFFEull) | (uint64_t{1} << (random() % 63));
        // A copy of exactly its size, so a read past the end is caught under ASan.
        const std::unique_ptr<char[]> exact(new char[static_cast<size_t>(bytes.size())]);
        std::memcpy(exact.get(), bytes.constData(), static_cast<size_t>(bytes.size()));
        row.Texts = QByteArray::fromRawData(exact.get(), bytes.size());
        TShellItem entry;
        const bool applied = TTagCache::Apply(row, entry);
        std::vector<QString> decoded;
        const int count = std::popcount(row.Columns);
        const bool decodes = TTagCache::DecodeTexts(bytes, count, decoded);
        if (!applied)
            continue;
        ASSERT_TRUE(decodes) << round;
        int i = 0;
        for (int column = 1; column <= TShellItem::ValueCount; ++column) {
            if ((row.Columns >> column & 1) != 0) {
                EXPECT_EQ(entry.Value(column), decoded[static_cast<size_t>(i)]) << round;
                ++i;
            }
        }
    }
}

TEST(TagCacheTexts, EncodingRoundTripsAndRejectsDamage) {
    const std::vector<QString> texts = {"", "Ünïcode ☃", QString(300, 'x'), "last"};
    std::vector<QString> back;
    ASSERT_TRUE(TTagCache::DecodeTexts(TTagCache::EncodeTexts(texts), 4, back));
    EXPECT_EQ(back, texts);
    const QByteArray bytes = TTagCache::EncodeTexts(texts);
    EXPECT_FALSE(TTagCache::DecodeTexts(bytes, 3, back)); // bytes left over
    EXPECT_FALSE(TTagCache::DecodeTexts(bytes, 5, back)); // too few
    EXPECT_FALSE(TTagCache::DecodeTexts(bytes.left(bytes.size() - 1), 4, back));
    EXPECT_FALSE(TTagCache::DecodeTexts(QByteArray("\xff\xff\xff\xff", 4), 1, back));
    // Non-ASCII units within and after the first groups of four, and a lone surrogate.
    const std::vector<QString> mixed = {"abcd\u20acx", "abcdefg\u2603", "ab\u00e9", "abc",
                                        QString(1, QChar(0xD800)) + "tail"};
    ASSERT_TRUE(TTagCache::DecodeTexts(TTagCache::EncodeTexts(mixed), 5, back));
    for (size_t i = 0; i < mixed.size(); ++i)
        EXPECT_EQ(back[i], QString::fromUtf8(mixed[i].toUtf8())) << i;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
