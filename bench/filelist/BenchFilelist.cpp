// Prints the folder list's figures for a folder of WAV files (20,000 unless
// CUEMARK_BENCH_FILES says otherwise) with 20 information columns shown (Format, Time and
// 18 tag columns), the real service libraries bound, each beside a bare baseline in one run:
//  (a) BrowseTo until the visible rows' details are read and painted, against readdir + stat
//      of the same folder (goal: below 2);
//  (b) memory per entry before any details are read;
//  (c) a pass over all rows (as a sort by a tag column does), against a bare open +
//      pread(64 KB) + close of the same files (goal: within 2 times), with the opens and
//      system calls per file of each (goal: at most 2 opens per file);
//  (d) the re-read after a change notice for one new file (then for its removal), the work
//      the window does on the notice (goal: under 50 ms), with the entries it built;
//  (e) memory per entry after a full pass (goal: below 1 KB);
//  (f) the same work on a share that adds 1 ms to every operation: measured on a smaller
//      folder through delayfs (a FUSE passthrough; when libfuse3 and /dev/fuse are
//      there), and projected from the counted calls (every call paying the 1 ms).
// Calls are counted in-process (FileCalls.c): opens and the stat family at libc's entry
// points, read-family calls by the kernel's count.
#include "FileCalls.h"
#include "PidlHelp.h"
#include "RiffBuilder.h"
#include "TAudioLibs.h"
#include "TRatioReporter.h"
#include "TXListView.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

int FileCount = 20000;
// The share: a smaller folder of the same files behind delayfs (1 ms per operation).
constexpr int ShareFileCount = 300;
constexpr int ShareDelayUs = 1000;

// A folder of generated WAV files and their paths.
struct TBenchFolder {
    fs::path Root;
    std::vector<std::string> Files;
    QByteArray RootBytes() const { return QByteArray::fromStdString(Root.string()); }
    int Count() const { return static_cast<int>(Files.size()); }
};
TBenchFolder Local;
TBenchFolder Share; // empty unless the share could be mounted
fs::path Work;
pid_t ShareServer = -1;

// File calls per file (or per pass, as the benchmark says) of one benchmark's iterations.
struct TCallsPer {
    double Opens = 0;
    double Reads = 0;
    double Others = 0;
    double Syscalls() const { return Opens + Reads + Others; }
};
std::map<std::string, TCallsPer> Calls;

// Counts the file calls from construction to Finish, and shows them as the benchmark's
// counters per unit (a file, or a pass).
class TCallCounter {
public:
    explicit TCallCounter(benchmark::State& state) : State(state), Start(FileCallsNow()) {}
    void Finish(const std::string& name, double unitsPerIteration) {
        const TFileCalls end = FileCallsNow();
        const double units = unitsPerIteration * static_cast<double>(State.iterations());
        TCallsPer per;
        per.Opens = static_cast<double>(end.Opens - Start.Opens) / units;
        per.Reads = static_cast<double>(end.Reads - Start.Reads) / units;
        per.Others = static_cast<double>(end.Others - Start.Others) / units;
        Calls[name] = per;
        State.counters["opens"] = per.Opens;
        State.counters["reads"] = per.Reads;
        State.counters["other_calls"] = per.Others;
        State.counters["syscalls"] = per.Syscalls();
    }

private:
    benchmark::State& State;
    TFileCalls Start;
};

std::vector<TListColumn> TwentyColumns() {
    std::vector<TListColumn> columns = TListColumns::Fixed();
    for (int n = 1; n <= 20; ++n)
        columns.push_back({n, QString::number(n), 100});
    return columns;
}

void WriteFolder(TBenchFolder& folder, const fs::path& root, int count) {
    folder.Root = root;
    fs::create_directories(root);
    const std::string audio = TRiffBuilder::Audio(8820, 7); // 50 ms of 16-bit stereo
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "track%05d.wav", i);
        const std::string path = (root / name).string();
        TRiffBuilder()
            .Chunk("fmt ", TRiffBuilder::Fmt())
            .Chunk("LIST", TRiffBuilder::Info({{"IART", "Artist " + std::to_string(i)},
                                               {"ISRC", "MUSIC"},
                                               {"ISRF", "5000"},
                                               {"IMED", "1000"},
                                               {"IGNR", "2004/01/31"},
                                               {"BSTM", "08:30"},
                                               {"IALB", "Album"}}))
            .Chunk("DISP", TRiffBuilder::Disp("Title " + std::to_string(i)))
            .Chunk("data", audio)
            .WriteTo(path);
        folder.Files.push_back(path);
    }
}

// Mounts delayfs (built beside this program when libfuse3 is there) over a copy of
// the files; false, with a reason on stderr, when it cannot run here.
bool MountShare() {
    const fs::path server = fs::read_symlink("/proc/self/exe").parent_path() / "delayfs";
    if (!fs::exists(server) || ::access("/dev/fuse", R_OK | W_OK) != 0) {
        std::fprintf(stderr, "share: no delayfs or no /dev/fuse\n");
        return false;
    }
    TBenchFolder source;
    WriteFolder(source, Work / "share-source", ShareFileCount);
    const fs::path mount = Work / "share";
    fs::create_directories(mount);
    const std::string delay = std::to_string(ShareDelayUs);
    ShareServer = ::fork();
    if (ShareServer == 0) {
        ::execl(server.c_str(), server.c_str(), source.Root.c_str(), mount.c_str(), delay.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    struct stat sourceStat {};
    ::stat(source.Root.c_str(), &sourceStat);
    for (int wait = 0; wait < 100; ++wait) {
        struct stat mountStat {};
        if (::stat(mount.c_str(), &mountStat) == 0 && mountStat.st_dev != sourceStat.st_dev) {
            Share.Root = mount;
            for (const std::string& path : source.Files)
                Share.Files.push_back((mount / fs::path(path).filename()).string());
            return true;
        }
        ::usleep(50000);
    }
    std::fprintf(stderr, "share: delayfs did not mount\n");
    return false;
}

void UnmountShare() {
    if (ShareServer <= 0)
        return;
    ::kill(ShareServer, SIGTERM); // the server unmounts on its way out
    int status = 0;
    ::waitpid(ShareServer, &status, 0);
}

long RssBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * ::sysconf(_SC_PAGESIZE);
}

size_t HeapInUse() {
    return mallinfo2().uordblks;
}

void Enumerate(benchmark::State& state, const TBenchFolder* where, const char* name) {
    TCallCounter counter(state);
    for (auto _ : state) {
        DIR* dir = ::opendir(where->Root.c_str());
        int n = 0;
        while (dirent* e = ::readdir(dir)) {
            struct stat st {};
            const std::string path = where->Root.string() + "/" + e->d_name;
            n += ::stat(path.c_str(), &st) == 0 ? 1 : 0;
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(n);
    }
    counter.Finish(name, 1);
}

// Whether every row in the list's viewport has its details read.
bool VisibleRowsRead(TXListView& list, int& rows) {
    const QModelIndex top = list.indexAt(QPoint(1, 1));
    if (!top.isValid())
        return false;
    const QModelIndex bottom = list.indexAt(QPoint(1, list.viewport()->height() - 1));
    const int last = bottom.isValid() ? bottom.row() : list.ListModel().Count() - 1;
    rows = last - top.row() + 1;
    for (int row = top.row(); row <= last; ++row)
        if (list.ListModel().Entry(row).Stale)
            return false;
    return true;
}

// The user's wait: the folder opened, then the event loop turns (as the window's does) until
// the rows on screen show their details.
int VisibleRows = 0;
void BrowseToFirstPaint(benchmark::State& state, const TBenchFolder* where, const char* name) {
    TXListView list;
    list.resize(1000, 700);
    list.SetColumns(TwentyColumns());
    list.show();
    QCoreApplication::processEvents();
    bool read = true;
    TCallCounter counter(state);
    for (auto _ : state) {
        list.BrowseToPath(where->RootBytes());
        int rows = 0;
        int turns = 0;
        while (!VisibleRowsRead(list, rows) && ++turns < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        read = read && turns < 1000;
        VisibleRows = rows;
    }
    counter.Finish(name, 1);
    state.counters["rows_read"] = VisibleRows;
    const int count = where->Count();
    if (!read || list.ListModel().Count() != count || VisibleRows < 10 ||
        !list.ListModel().Entry(count - 1).Stale)
        state.SkipWithError("visible rows not read, or more than them");
}

void FullPassList(benchmark::State& state, const TBenchFolder* where, const char* name) {
    TFolderListModel model;
    model.SetColumns(TwentyColumns());
    TPidl folder;
    GetPIDLFromPath(&model.DesktopFolder(), where->Root.string(), folder);
    model.OpenFolder(folder.Get());
    TCallCounter counter(state);
    for (auto _ : state) {
        model.MarkAllStale();
        model.ReadEntryDetails(0, model.Count() - 1);
    }
    counter.Finish(name, where->Count());
    if (model.Entry(7).Value(4) != "Title 7")
        state.SkipWithError("values not read");
}

// One notice's re-read: a new file appears (and, in the second half, goes again).
void NoticeOneNewFile(benchmark::State& state) {
    TFolderListModel model;
    model.SetColumns(TwentyColumns());
    TPidl folder;
    GetPIDLFromPath(&model.DesktopFolder(), Local.Root.string(), folder);
    model.OpenFolder(folder.Get());
    const std::string extra = (Local.Root / "zz-new.wav").string();
    const long long before = model.EntriesBuilt();
    bool present = false;
    for (auto _ : state) {
        state.PauseTiming();
        if (present)
            ::unlink(extra.c_str());
        else
            TRiffBuilder().Chunk("fmt ", TRiffBuilder::Fmt()).Chunk("data", "").WriteTo(extra);
        present = !present;
        state.ResumeTiming();
        model.RefreshFolder(false);
    }
    ::unlink(extra.c_str());
    state.counters["entries_built_per_notice"] =
        static_cast<double>(model.EntriesBuilt() - before) /
        static_cast<double>(state.iterations());
}

// The floor of a pass: each file opened once and its first 64 KB read.
void FullPassBare(benchmark::State& state, const TBenchFolder* where, const char* name) {
    std::vector<char> buffer(64 * 1024);
    TCallCounter counter(state);
    for (auto _ : state) {
        for (const std::string& path : where->Files) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            benchmark::DoNotOptimize(::pread(fd, buffer.data(), buffer.size(), 0));
            ::close(fd);
        }
    }
    counter.Finish(name, where->Count());
}

} // namespace

int main(int argc, char** argv) {
    if (const char* count = std::getenv("CUEMARK_BENCH_FILES"); count != nullptr)
        FileCount = std::max(100, std::atoi(count));
    QApplication app(argc, argv);
    TAudioLibsBinder binder;
    const auto bound = binder.Load();
    if (bound.Outcome != TAudioLibsBinder::TOutcome::Bound) {
        std::fprintf(stderr, "%s\n", bound.Message.c_str());
        return 1;
    }
    Work = fs::temp_directory_path() / ("bench_filelist_" + std::to_string(::getpid()));
    WriteFolder(Local, Work / "local", FileCount);

    // Memory per entry before and after a full pass: the first model to hold the entries (no
    // freed entries of an earlier one to reuse). The heap in use is the measure; RSS growth is
    // shown beside it.
    double bytesPerEntry = 0;
    double heapPerEntryAfterPass = 0;
    double rssPerEntryAfterPass = 0;
    {
        auto model = std::make_unique<TFolderListModel>();
        model->SetColumns(TwentyColumns());
        TPidl folder;
        GetPIDLFromPath(&model->DesktopFolder(), Local.Root.string(), folder);
        const size_t heapBefore = HeapInUse();
        const long before = RssBytes();
        model->OpenFolder(folder.Get());
        const long after = RssBytes();
        bytesPerEntry = static_cast<double>(after - before) / model->Count();
        model->ReadEntryDetails(0, model->Count() - 1);
        heapPerEntryAfterPass = static_cast<double>(HeapInUse() - heapBefore) / model->Count();
        rssPerEntryAfterPass = static_cast<double>(RssBytes() - before) / model->Count();
    }

    const auto registerFolder = [](const TBenchFolder& where, const std::string& prefix,
                                   int passes) {
        // The names outlive the registration: they are the keys of the counted calls.
        static std::vector<std::unique_ptr<std::string>> names;
        const auto name = [&](const char* text) {
            names.push_back(std::make_unique<std::string>(prefix + text));
            return names.back()->c_str();
        };
        const char* enumerate = name("open/readdir+stat");
        benchmark::RegisterBenchmark(enumerate, Enumerate, &where, enumerate)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(passes == 1 ? 1 : 20);
        const char* paint = name("open/BrowseTo+visible-rows-read");
        benchmark::RegisterBenchmark(paint, BrowseToFirstPaint, &where, paint)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(passes == 1 ? 1 : 10);
        const char* list = name("fullpass/list");
        benchmark::RegisterBenchmark(list, FullPassList, &where, list)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(passes);
        const char* bare = name("fullpass/open+pread64K+close");
        benchmark::RegisterBenchmark(bare, FullPassBare, &where, bare)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(passes);
    };
    registerFolder(Local, "", 3);
    if (MountShare())
        registerFolder(Share, "share/", 1);
    benchmark::RegisterBenchmark("notice/one-new-file", NoticeOneNewFile)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto time = [&](const std::string& name) { return reporter.Time(name); };
    // The counted calls of the first benchmark whose name starts with prefix.
    const auto calls = [](const std::string& prefix) {
        for (const auto& [name, per] : Calls)
            if (name.rfind(prefix, 0) == 0)
                return per;
        return TCallsPer();
    };
    std::printf("%d files, 20 information columns\n", FileCount);
    if (time("open/readdir+stat") > 0 && time("open/BrowseTo") > 0) {
        const TCallsPer paint = calls("open/BrowseTo");
        std::printf("ratio (a) BrowseTo until the %d visible rows are read / readdir+stat: %.2f "
                    "(goal < 2); %.0f opens and %.0f syscalls in all (readdir+stat: %.0f)\n",
                    VisibleRows, time("open/BrowseTo") / time("open/readdir+stat"), paint.Opens,
                    paint.Syscalls(), calls("open/readdir+stat").Syscalls());
    }
    std::printf("(b) memory per entry before details: %.0f bytes\n", bytesPerEntry);
    if (time("fullpass/list") > 0 && time("fullpass/open+pread") > 0) {
        const TCallsPer list = calls("fullpass/list");
        const TCallsPer bare = calls("fullpass/open+pread");
        std::printf("ratio (c) full pass, list / open+pread64K+close: %.2f (goal <= 2)\n",
                    time("fullpass/list") / time("fullpass/open+pread"));
        std::printf("(c) per file: list %.2f opens (goal <= 2), %.1f syscalls (%.1f reads, "
                    "%.1f other); bare loop %.2f opens, %.1f syscalls\n",
                    list.Opens, list.Syscalls(), list.Reads, list.Others, bare.Opens,
                    bare.Syscalls());
    }
    if (time("notice/one-new-file") > 0)
        std::printf("(d) re-read after one notice, %d files: %.2f ms (goal < 50)\n", FileCount,
                    time("notice/one-new-file") * 1000);
    std::printf("(e) memory per entry after a full pass: %.0f bytes of heap, %.0f bytes RSS "
                "(goal < 1024)\n",
                heapPerEntryAfterPass, rssPerEntryAfterPass);
    // Projection: every counted call pays the share's round trip once; local time added.
    const auto share = [&](const std::string& name, double units) {
        return time(name) + calls(name).Syscalls() * units * 0.001;
    };
    if (time("fullpass/list") > 0 && time("fullpass/open+pread") > 0)
        std::printf("(f) projected, every counted call paying 1 ms, %d files: first paint "
                    "%.1f s (readdir+stat %.1f s), full pass %.0f s (open+pread+close %.0f s)\n",
                    FileCount, share("open/BrowseTo", 1), share("open/readdir+stat", 1),
                    share("fullpass/list", FileCount), share("fullpass/open+pread", FileCount));
    if (time("share/fullpass/list") > 0 && time("share/fullpass/open+pread") > 0) {
        const double perFile = time("share/fullpass/list") / Share.Count();
        const double barePerFile = time("share/fullpass/open+pread") / Share.Count();
        std::printf("(f) measured through delayfs (1 ms per operation, %d files): "
                    "BrowseTo until the visible rows are read %.2f s (readdir+stat %.2f s, "
                    "ratio %.2f); full pass %.1f ms per file (open+pread+close %.1f ms, ratio "
                    "%.2f): %.0f s for %d files (%.0f s)\n",
                    Share.Count(), time("share/open/BrowseTo"), time("share/open/readdir+stat"),
                    time("share/open/BrowseTo") / time("share/open/readdir+stat"), perFile * 1000,
                    barePerFile * 1000, perFile / barePerFile, perFile * FileCount, FileCount,
                    barePerFile * FileCount);
    }
    std::error_code ec;
    UnmountShare();
    fs::remove_all(Work, ec);
    return 0;
}
