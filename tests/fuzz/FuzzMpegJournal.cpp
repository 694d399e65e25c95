// Replays journals that are damaged anywhere: the input is laid over the journal of a save
// cut short in the middle of moving the audio (byte 0 picks the cut). A replay must never
// crash, and must leave the file with the old tags or the new ones over the same audio,
// or leave it alone.
#include "MemoryFileIo.h"
#include "MemoryJournal.h"
#include "MpegCommitter.h"
#include "MpegFile.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Fails every write after the N-th, as if the process had died there.
class TCutIo : public riffkit::TFileIo {
public:
    TCutIo(riffkit::TFileIo& inner, int writes) : Inner(inner), Left(writes) {}
    bool Read(std::uint64_t o, void* b, std::size_t n) override { return Inner.Read(o, b, n); }
    bool Write(std::uint64_t o, const void* b, std::size_t n) override {
        return Left-- > 0 && Inner.Write(o, b, n);
    }
    bool Sync() override { return Left > 0 && Inner.Sync(); }
    std::uint64_t Size() override { return Inner.Size(); }
    bool Truncate(std::uint64_t s) override { return Left > 0 && Inner.Truncate(s); }

private:
    riffkit::TFileIo& Inner;
    int Left;
};

std::vector<uint8_t> Original() {
    std::vector<uint8_t> out = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
    const std::string frame = std::string("TIT2\0\0\0\x0A\0\0\0Old title", 20);
    out.insert(out.end(), frame.begin(), frame.end());
    for (int i = 0; i < 12; ++i) {
        std::vector<uint8_t> f(417, static_cast<uint8_t>(i + 1));
        f[0] = 0xFF, f[1] = 0xFB, f[2] = 0x90, f[3] = 0x44;
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> original = Original();
    riffkit::TMemoryFileIo file(original);
    std::string reason;
    const auto parsed = riffkit::TMpegFile::Read(file, reason);
    const auto edit =
        parsed ? parsed->PlanSave({{"DISP", std::string(1500, 'n')}}, reason) : std::nullopt;
    if (!edit)
        std::abort();
    riffkit::TMemoryJournal journal;
    TCutIo cut(file, size > 0 ? 2 + data[0] % 4 : 3);
    riffkit::TMpegCommitter::Commit(cut, journal, *edit, {}, 1024);
    if (!journal.Data)
        return 0;
    // The input, from its second byte, is XORed over the journal.
    std::vector<uint8_t> bytes = journal.Data->Data();
    for (size_t i = 1; i < size && i - 1 < bytes.size(); ++i)
        bytes[i - 1] ^= data[i];
    journal.Data.emplace(bytes);
    const auto before = file.Data();
    const auto result = riffkit::TMpegCommitter::Recover(file, journal);
    if (result == riffkit::TMpegCommitter::TRecovery::Refused && file.Data() != before)
        std::abort(); // a refused journal leaves the file alone
    if (result == riffkit::TMpegCommitter::TRecovery::Replayed) {
        const auto after = riffkit::TMpegFile::Read(file, reason);
        if (!after || after->Values().at("DISP") != std::string(1500, 'n'))
            std::abort();
        const auto& got = file.Data();
        if (got.size() < 12 * 417 ||
            !std::equal(original.end() - 12 * 417, original.end(), got.end() - 12 * 417))
            std::abort();
    }
    return 0;
}
