// Fuzz target of the MPEG open path: detection, reading every key, and (chosen by the
// first byte) a commit, the adding of an ID3v2 tag, or an in-memory save through the
// journal whose result must read back.
#include "MemoryFileIo.h"
#include "MemoryJournal.h"
#include "MpegCommitter.h"
#include "MpegFile.h"
#include "MpegTagStore.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const char* const Keys[] = {"DISP", "IART", "ISRC", "BFAD", "ISRF", "IMED", "HKST", "HKEN", "IGNR",
                            "BSTM", "IKEY", "BETM", "BSTW", "BETW", "IALB", "IYER", "IGRE", "ITRK",
                            "IENG", "ITCH", "ICOM", "IPUB", "BCPR", "ICMT", "INAM", "ICOP", "ISFT",
                            "ISBJ", "IURL", "BKEY", "BEND", "BERG", "BTXR", "BTPO", "IBPM"};

// One input file for the whole run, removed at exit; never destroyed before that.
const std::string& InputPath() {
    static const std::string* path = [] {
        auto* made = new std::string("/tmp/fuzz-mpeg-XXXXXX");
        const int fd = ::mkstemp(made->data());
        if (fd < 0)
            std::abort();
        ::close(fd);
        std::atexit([] { ::unlink(InputPath().c_str()); });
        return made;
    }();
    return *path;
}

bool WriteInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteInput(data, size))
        return 0;
    const std::string& path = InputPath();
    if (!riffkit::LooksLikeMpeg(path))
        return 0;
    const uint8_t mode = size > 0 ? data[0] : 0;
    if (mode % 4 == 2) {
        riffkit::TMemoryFileIo io(std::vector<uint8_t>(data, data + size));
        std::string reason;
        auto file = riffkit::TMpegFile::Read(io, reason);
        if (!file)
            return 0;
        const auto edit = file->PlanSave({{"DISP", std::string("Title \xE2\x80\x99")},
                                          {"ICMT", std::nullopt},
                                          {"INAM", std::string(300, 'x')}},
                                         reason);
        riffkit::TMemoryJournal journal;
        if (edit && riffkit::TMpegCommitter::Commit(io, journal, *edit, {}, 512) &&
            !riffkit::TMpegFile::Read(io, reason))
            std::abort(); // a save must leave a file that reads back
        return 0;
    }
    if (mode % 4 == 3) {
        riffkit::AddId3v2Tag(path);
        return 0;
    }
    auto store = riffkit::OpenMpegTagStore(path);
    if (!store)
        return 0;
    size_t total = store->GetChunk("DISP").size() + (store->HasId3v2() ? 1 : 0);
    for (const char* key : Keys)
        total += store->GetTag(key).size();
    // The ReplayGain frames as read back (their texts are parsed).
    if (const auto loudness = store->Loudness())
        total += loudness->Integrated.value_or(0) + loudness->TruePeak.value_or(0);
    if (mode % 4 == 1) {
        store->SetLoudness({-1288, 500, -105, std::nullopt, std::nullopt});
        store->SetChunk("DISP", "Title \xC3\xA4");
        store->SetTag("IYER", "Summer");
        store->SetTag("IGRE", "Rock");
        store->SetTag("INAM", "out-cue");
        store->RemoveTag("ICMT");
        store->Commit();
    }
    return total == SIZE_MAX ? 1 : 0;
}
