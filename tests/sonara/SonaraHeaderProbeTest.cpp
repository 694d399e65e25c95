// Format texts and lengths read from the headers alone, over a corpus of codings and of the
// damage recorders and editors leave (odd, short, zero and unknown data sizes, a missing fact
// chunk, INFO lists before the audio): each answer is the one libsndfile gives when it opens
// the file (for MPEG: the length of ffmpeg's decode), and Format + Time together open each
// file at most twice (counted by inotify, so every open is seen whatever opens it).
#include "AudioFixtures.h"
#include "SonaraTestUtil.h"
#include "TempDir.h"
#include "sonara.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

uint32_t Le32(const TBytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

void PutLe32(TBytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The offset of a chunk's header in a RIFF file, or 0.
size_t FindChunk(const TBytes& b, const char* id) {
    for (size_t pos = 12; pos + 8 <= b.size();) {
        if (std::memcmp(&b[pos], id, 4) == 0)
            return pos;
        const uint32_t size = Le32(b, pos + 4);
        pos += 8 + size + (size & 1);
    }
    return 0;
}

// The libsndfile subtypes' texts the library shows.
const std::map<int, std::string> kCodingTexts = {{SF_FORMAT_PCM_U8, "PCM 8 bit"},
                                                 {SF_FORMAT_PCM_16, "PCM 16 bit"},
                                                 {SF_FORMAT_PCM_24, "PCM 24 bit"},
                                                 {SF_FORMAT_PCM_32, "PCM 32 bit"},
                                                 {SF_FORMAT_FLOAT, "IEEE float 32 bit"},
                                                 {SF_FORMAT_DOUBLE, "IEEE float 64 bit"},
                                                 {SF_FORMAT_ULAW, "u-Law 8 bit"},
                                                 {SF_FORMAT_ALAW, "A-Law 8 bit"},
                                                 {SF_FORMAT_IMA_ADPCM, "IMA ADPCM 4 bit"},
                                                 {SF_FORMAT_MS_ADPCM, "Microsoft ADPCM 4 bit"},
                                                 {SF_FORMAT_GSM610, "GSM 6.10"}};

struct TAnswer {
    bool Recognised = false;
    std::string TextA, TextB;
    uint32_t LengthMs = 0;
};

std::ostream& operator<<(std::ostream& os, const TAnswer& a) {
    return os << (a.Recognised ? "" : "(refused) ") << a.TextA << " | " << a.TextB << " | "
              << a.LengthMs << " ms";
}

bool operator==(const TAnswer& a, const TAnswer& b) {
    return a.Recognised == b.Recognised && a.TextA == b.TextA && a.TextB == b.TextB &&
           a.LengthMs == b.LengthMs;
}

// libsndfile's answer for a WAV file: its subtype, rate and channels, and its frame count,
// cut to the fact chunk's count for block codings (they decode whole blocks).
TAnswer SndfileAnswer(const std::string& path) {
    TAnswer answer;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return answer;
    sf_close(file);
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    uint64_t frames = static_cast<uint64_t>(info.frames);
    const TBytes bytes = Fixtures::ReadBytes(path);
    const size_t fact = FindChunk(bytes, "fact");
    const bool blockCoded = subtype == SF_FORMAT_IMA_ADPCM || subtype == SF_FORMAT_MS_ADPCM ||
                            subtype == SF_FORMAT_GSM610;
    if (blockCoded && fact && fact + 12 <= bytes.size() && Le32(bytes, fact + 8) > 0)
        frames = std::min<uint64_t>(frames, Le32(bytes, fact + 8));
    answer.Recognised = true;
    answer.TextA = kCodingTexts.count(subtype) ? kCodingTexts.at(subtype) : "?";
    answer.TextB = std::to_string(info.samplerate) + " Hz " +
                   (info.channels == 1   ? "Mono"
                    : info.channels == 2 ? "Stereo"
                                         : "?");
    answer.LengthMs = static_cast<uint32_t>(frames * 1000 / info.samplerate);
    return answer;
}

// The read system calls this process has made (the kernel's count in /proc/self/io), less
// the one that reads the count.
long ReadCalls() {
    char text[1024] = "";
    const int fd = open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    const char* at = got > 0 ? std::strstr(text, "syscr: ") : nullptr;
    return at ? std::atol(at + 7) : -1;
}

// The library's answer; how often Format + Time opened the file (closes are watched too, as
// inotify merges events that follow each other alike), and how many reads they made. Asked
// with the two calls, or with the one that answers both.
TAnswer LibraryAnswer(const std::string& path, int& opens, long& reads, bool combined = false) {
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const int watch = inotify_add_watch(watcher, path.c_str(), IN_OPEN | IN_CLOSE);
    TAnswer answer;
    char a[128] = "", b[128] = "";
    const long readsBefore = ReadCalls();
    if (combined) {
        answer.Recognised =
            SN_GetWaveFileFormatAndLength(path.c_str(), a, 128, b, 128, &answer.LengthMs) != 0;
    } else {
        answer.Recognised = SN_GetWaveFileFormat(path.c_str(), a, 128, b, 128) != 0;
        answer.LengthMs = SN_PlayGetLengthMsFile(path.c_str());
    }
    reads = ReadCalls() - readsBefore - 1;
    answer.TextA = a;
    answer.TextB = b;
    opens = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = read(watcher, events, sizeof events)) > 0;)
        for (char* p = events; p < events + got;
             p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
            opens += (reinterpret_cast<inotify_event*>(p)->mask & IN_OPEN) ? 1 : 0;
    inotify_rm_watch(watcher, watch);
    close(watcher);
    EXPECT_GE(watch, 0);
    return answer;
}

// The library's answer for the file opened by the caller, with the first bytes it read (80 KB
// as the folder list reads them); the reads are the library's own beyond those.
TAnswer OpenFileAnswer(const std::string& path, long& reads, size_t headSize = 80 * 1024) {
    TAnswer answer;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    EXPECT_GE(fd, 0);
    EXPECT_EQ(fstat(fd, &st), 0);
    std::vector<char> head(headSize);
    const ssize_t got = pread(fd, head.data(), head.size(), 0);
    EXPECT_GE(got, 0);
    char a[128] = "", b[128] = "";
    const long readsBefore = ReadCalls();
    answer.Recognised =
        SN_GetOpenFileFormatAndLength(fd, uint64_t(st.st_size), head.data(), int32_t(got), a, 128,
                                      b, 128, &answer.LengthMs) != 0;
    reads = ReadCalls() - readsBefore - 1;
    answer.TextA = a;
    answer.TextB = b;
    // The descriptor is still the caller's.
    EXPECT_EQ(fcntl(fd, F_GETFD), FD_CLOEXEC);
    close(fd);
    return answer;
}

// Damaged and edited copies of a WAV file, each with the file libsndfile is asked about (the
// same file, or where the library reads a never-written data size as running to the end of
// the file, a copy with that size written in).
struct TVariant {
    std::string Name;
    TBytes Bytes;
    TBytes Reference; // empty: the variant itself
};

std::vector<TVariant> Variants(const TBytes& wav) {
    std::vector<TVariant> out;
    out.push_back({"as_written", wav, {}});
    const size_t data = FindChunk(wav, "data");
    if (!data)
        return out;
    for (const size_t cut : {1, 3, 7, 500}) // the file ends inside the data chunk
        if (wav.size() > data + 8 + cut)
            out.push_back(
                {"cut" + std::to_string(cut), TBytes(wav.begin(), wav.end() - long(cut)), {}});
    TBytes odd = wav; // a data size one short of its bytes: an odd size, the byte left over
    PutLe32(odd, data + 4, Le32(wav, data + 4) - 1);
    out.push_back({"odd_size", odd, {}});
    TBytes shorter = wav; // a data size well short of the bytes, as after a failed edit
    PutLe32(shorter, data + 4, Le32(wav, data + 4) / 3);
    out.push_back({"short_size", shorter, {}});
    for (const uint32_t unset : {0u, 0xFFFFFFFFu}) {
        TBytes bytes = wav;
        PutLe32(bytes, data + 4, unset);
        PutLe32(bytes, 4, unset);
        const size_t fmt = FindChunk(wav, "fmt ");
        const uint32_t block = std::max<uint32_t>(1, wav[fmt + 20] | (wav[fmt + 21] << 8));
        TBytes reference = wav;
        const uint32_t real = uint32_t(wav.size() - data - 8) / block * block;
        PutLe32(reference, data + 4, real);
        PutLe32(reference, 4, uint32_t(data + 8 + real - 8));
        out.push_back({"size_" + std::to_string(unset), bytes, reference});
    }
    if (const size_t fact = FindChunk(wav, "fact")) {
        TBytes noFact = wav; // an unknown chunk in its place
        std::memcpy(&noFact[fact], "junk", 4);
        out.push_back({"no_fact", noFact, {}});
    }
    // An INFO list before the audio, as broadcast tools write it.
    const std::string name = "Station ID\0\0", list = "INFOINAM";
    TBytes info = {'L', 'I', 'S', 'T', 0, 0, 0, 0};
    info.insert(info.end(), list.begin(), list.end());
    info.insert(info.end(), {12, 0, 0, 0});
    info.insert(info.end(), name.begin(), name.end());
    info.resize(info.size() + 12 - (name.size() > 12 ? 12 : name.size()));
    PutLe32(info, 4, uint32_t(info.size() - 8));
    TBytes listed = wav;
    listed.insert(listed.begin() + long(data), info.begin(), info.end());
    PutLe32(listed, 4, uint32_t(listed.size() - 8));
    out.push_back({"info_list", listed, {}});
    return out;
}

TEST(SonaraHeaderProbe, WavAnswersAreLibsndfiles) {
    TTempDir dir;
    struct TCoding {
        int Subtype;
        int Rate;
    };
    const TCoding codings[] = {
        {SF_FORMAT_PCM_U8, 22050},   {SF_FORMAT_PCM_16, 44100}, {SF_FORMAT_PCM_24, 48000},
        {SF_FORMAT_PCM_32, 44100},   {SF_FORMAT_FLOAT, 48000},  {SF_FORMAT_DOUBLE, 22050},
        {SF_FORMAT_ULAW, 8000},      {SF_FORMAT_ALAW, 11025},   {SF_FORMAT_IMA_ADPCM, 22050},
        {SF_FORMAT_MS_ADPCM, 44100}, {SF_FORMAT_GSM610, 8000}};
    int files = 0;
    for (const int container : {SF_FORMAT_WAV, SF_FORMAT_WAVEX}) {
        for (const TCoding& coding : codings) {
            for (const int channels : {1, 2}) {
                Fixtures::TToneSpec tone;
                tone.SampleRate = coding.Rate;
                tone.Channels = channels;
                tone.Seconds = 1.37;
                const std::string source = dir.File("source.wav");
                std::remove(source.c_str());
                // Extensible takes only the plain codings; GSM only mono: libsndfile refuses
                // to write the rest.
                if (!Fixtures::WritePcmWav(source, tone,
                                           coding.Subtype | (container - SF_FORMAT_WAV)))
                    continue;
                for (const TVariant& variant : Variants(Fixtures::ReadBytes(source))) {
                    const std::string name = std::to_string(container == SF_FORMAT_WAVEX) + "_" +
                                             std::to_string(coding.Subtype) + "_" +
                                             std::to_string(channels) + "_" + variant.Name;
                    SCOPED_TRACE(name);
                    const std::string path = dir.File(name + ".wav");
                    ASSERT_TRUE(Fixtures::WriteBytes(path, variant.Bytes));
                    std::string referencePath = path;
                    if (!variant.Reference.empty()) {
                        referencePath = dir.File(name + ".reference.wav");
                        ASSERT_TRUE(Fixtures::WriteBytes(referencePath, variant.Reference));
                    }
                    int opens = 0;
                    long reads = 0;
                    const TAnswer reference = SndfileAnswer(referencePath);
                    EXPECT_EQ(LibraryAnswer(path, opens, reads), reference);
                    // One read of the head block per call: libsndfile is not asked.
                    EXPECT_EQ(opens, 2);
                    EXPECT_LE(reads, 2);
                    EXPECT_EQ(LibraryAnswer(path, opens, reads, true), reference);
                    EXPECT_EQ(opens, 1);
                    EXPECT_LE(reads, 1);
                    // On the caller's open file, from the head it read.
                    EXPECT_EQ(OpenFileAnswer(path, reads), reference);
                    EXPECT_EQ(reads, 0);
                    ++files;
                }
            }
        }
    }
    EXPECT_GT(files, 250); // every coding was written
}

// A chunk: id, size, body and (unless left out) the pad byte after an odd size.
TBytes Chunk(const char* id, const std::string& body, bool pad = true, int64_t sizeDelta = 0) {
    TBytes out(id, id + 4);
    out.resize(8);
    PutLe32(out, 4, uint32_t(int64_t(body.size()) + sizeDelta));
    out.insert(out.end(), body.begin(), body.end());
    if (pad && (body.size() & 1))
        out.push_back(0);
    return out;
}

// An INFO sub-chunk: its id, the text's size with its terminating zero, then the pad byte.
std::string Text(const char* id, const std::string& text, bool pad = true) {
    TBytes sub = Chunk(id, text + std::string(1, '\0'), pad);
    return std::string(sub.begin(), sub.end());
}

// Chunks of odd size are common before the audio (a DISP or INFO text of odd length); each
// file here is answered as libsndfile answers it, and from the one read of the head block
// where libsndfile steps over the chunks as the header walk does.
TEST(SonaraHeaderProbe, OddSizedChunksAnswerAsLibsndfile) {
    TTempDir dir;
    Fixtures::TToneSpec tone;
    tone.SampleRate = 44100;
    tone.Channels = 2;
    tone.Seconds = 1.37;
    const std::string source = dir.File("source.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(source, tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const TBytes wav = Fixtures::ReadBytes(source);
    const size_t fmtAt = FindChunk(wav, "fmt "), dataAt = FindChunk(wav, "data");
    ASSERT_TRUE(fmtAt && dataAt);
    const std::string fmtBody(wav.begin() + long(fmtAt) + 8,
                              wav.begin() + long(fmtAt) + 8 + Le32(wav, fmtAt + 4));
    const std::string audio(wav.begin() + long(dataAt) + 8,
                            wav.begin() + long(dataAt) + 8 + Le32(wav, dataAt + 4));
    const TBytes fmt = Chunk("fmt ", fmtBody), data = Chunk("data", audio);
    const TBytes junk = Chunk("JUNK", std::string(66, 'x'));
    const std::string oddInfo = "INFO" + Text("INAM", "Station ID") + Text("IART", "Jingles");

    struct TCase {
        const char* Name;
        std::vector<TBytes> Chunks;
        bool FromHeaders; // libsndfile's walk lands where the header walk does
    };
    const std::vector<TCase> cases = {
        {"disp_before_fmt", {Chunk("DISP", "abc"), fmt, data}, true},
        {"unknown_before_fmt", {Chunk("zzzz", std::string(301, 'x')), fmt, data}, true},
        {"junk_between", {fmt, Chunk("JUNK", std::string(27, '\0')), data}, true},
        {"pad_between", {fmt, Chunk("PAD ", "12345"), data}, true},
        {"odd_fmt", {Chunk("fmt ", fmtBody + "x"), data}, true},
        {"bext_odd", {fmt, Chunk("bext", std::string(603, ' ')), data}, true},
        {"cart_odd", {fmt, Chunk("cart", std::string(2049, ' ')), data}, true},
        {"cue_odd", {fmt, Chunk("cue ", std::string(4, '\0') + "x"), data}, true},
        {"smpl_bare", {fmt, Chunk("smpl", std::string(36, '\0')), data}, true},
        {"acid", {fmt, Chunk("acid", std::string(24, '\0')), data}, true},
        // Its smpl and acid readers take the pad byte, then the main walk skips it again.
        {"smpl_odd", {fmt, Chunk("smpl", std::string(41, '\0')), data}, false},
        {"acid_odd", {fmt, Chunk("acid", std::string(25, '\0')), data}, false},
        {"info_odd_texts", {fmt, Chunk("LIST", oddInfo), data}, true},
        {"info_before_fmt", {Chunk("LIST", oddInfo), fmt, data}, true},
        {"info_unknown_sub",
         {fmt, Chunk("LIST", "INFO" + Text("IXYZ", "odd") + Text("INAM", "A")), data},
         true},
        // The list's size leaves out its last text's pad byte; a sub-chunk runs past the
        // list's end: libsndfile goes on from the list's end.
        {"info_pad_uncounted",
         {fmt, Chunk("LIST", "INFO" + Text("INAM", "Hi"), true, -1), junk, data},
         true},
        {"info_sub_overruns",
         {fmt, Chunk("LIST", "INFO" + Text("IXYZ", "abcdef").substr(0, 10)), junk, data},
         true},
        // Two bytes after the last text are read with the next chunk's as a sub-chunk's
        // header: libsndfile's walk is lost and it finds no audio.
        {"info_trailing_bytes", {fmt, Chunk("LIST", oddInfo + "ab"), junk, data}, false},
        {"second_fmt", {fmt, Chunk("fmt ", fmtBody), data}, false},
        {"odd_after_data", {fmt, data, Chunk("DISP", "abcde"), Chunk("LIST", oddInfo)}, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBytes bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
        for (const TBytes& chunk : c.Chunks)
            bytes.insert(bytes.end(), chunk.begin(), chunk.end());
        PutLe32(bytes, 4, uint32_t(bytes.size() - 8));
        const std::string path = dir.File(std::string(c.Name) + ".wav");
        ASSERT_TRUE(Fixtures::WriteBytes(path, bytes));
        int opens = 0;
        long reads = 0;
        const TAnswer reference = SndfileAnswer(path);
        EXPECT_EQ(LibraryAnswer(path, opens, reads), reference);
        EXPECT_EQ(opens, 2);
        if (c.FromHeaders) {
            EXPECT_TRUE(reference.Recognised);
            EXPECT_EQ(reads, 2); // one read of the head block per call
        }
        EXPECT_EQ(LibraryAnswer(path, opens, reads, true), reference);
        EXPECT_EQ(opens, 1);
        if (c.FromHeaders) {
            EXPECT_EQ(reads, 1);
        }
        EXPECT_EQ(OpenFileAnswer(path, reads), reference);
        if (c.FromHeaders) {
            EXPECT_EQ(reads, 0);
        }
    }
}

} // namespace

namespace {

// Layer I: 400 silent frames of 384 samples, MPEG-1 128 kbps at 44.1 kHz stereo.
bool WriteMp1(const std::string& path) {
    TBytes bytes;
    // 34 slots of 4 bytes, and a padding slot where the remainder adds up, as encoders do.
    uint32_t rest = 0;
    for (int i = 0; i < 400; ++i) {
        rest += 12 * 128000 % 44100;
        const bool pad = rest >= 44100;
        rest -= pad ? 44100 : 0;
        TBytes frame(pad ? 140 : 136, 0);
        frame[0] = 0xFF, frame[1] = 0xFF, frame[2] = pad ? 0x42 : 0x40, frame[3] = 0x00;
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return Fixtures::WriteBytes(path, bytes);
}

struct TMpegCase {
    const char* Name;
    int Kind; // 0 MP3 CBR, 1 MP3 VBR, 2 MP2, 3 MP1, 4 MP2 in WAV, 5 MP3 in WAV
    int Rate;
    int Channels;
    int Kbps;
    const char* TextA;
    const char* TextB;
};

const TMpegCase kMpegCases[] = {
    {"mp3_cbr", 0, 44100, 2, 128, "MPEG-1 Layer III 128 kbps", "44100 Hz Stereo"},
    {"mp3_mpeg2", 0, 22050, 1, 64, "MPEG-2 Layer III 64 kbps", "22050 Hz Mono"},
    {"mp3_mpeg25", 0, 8000, 1, 8, "MPEG-2.5 Layer III 8 kbps", "8000 Hz Mono"},
    {"mp3_vbr", 1, 48000, 2, 0, "MPEG-1 Layer III VBR", "48000 Hz Stereo"},
    {"mp2", 2, 48000, 2, 256, "MPEG-1 Layer II 256 kbps", "48000 Hz Stereo"},
    {"mp2_32k", 2, 32000, 1, 96, "MPEG-1 Layer II 96 kbps", "32000 Hz Mono"},
    {"mp1", 3, 44100, 2, 128, "MPEG-1 Layer I 128 kbps", "44100 Hz Stereo"},
    {"mp2_in_wav", 4, 44100, 2, 192, "MPEG-1 Layer II 192 kbps", "44100 Hz Stereo"},
    {"mp3_in_wav", 5, 44100, 2, 128, "MPEG-1 Layer III 128 kbps", "44100 Hz Stereo"},
};

class SonaraHeaderProbeMpeg : public ::testing::TestWithParam<TMpegCase> {};

// Texts as the fixture was written; the length as long as ffmpeg's decode, within a frame.
TEST_P(SonaraHeaderProbeMpeg, AnswersMatchTheStream) {
    const TMpegCase& c = GetParam();
    TTempDir dir;
    Fixtures::TToneSpec tone;
    tone.SampleRate = c.Rate;
    tone.Channels = c.Channels;
    tone.Seconds = 9.3; // longer than the first frames the meter reads in one go
    const std::string mpeg = dir.File("stream.mpeg");
    const bool wav = c.Kind >= 4;
    const std::string path = dir.File(std::string(c.Name) + (wav ? ".wav" : ".mpg"));
    bool written = false;
    switch (c.Kind) {
    case 0:
    case 1:
        written = Fixtures::WriteMp3(path, tone, c.Kind == 1, c.Kbps);
        break;
    case 2:
        written = Fixtures::WriteMp2(path, tone, c.Kbps);
        break;
    case 3:
        written = WriteMp1(path);
        break;
    case 4:
        written = Fixtures::WriteMp2(mpeg, tone, c.Kbps) && Fixtures::WrapMpegInWav(mpeg, path);
        break;
    default:
        written =
            Fixtures::WriteMp3(mpeg, tone, false, c.Kbps) && Fixtures::WrapMpegInWav(mpeg, path);
    }
    ASSERT_TRUE(written);
    std::vector<int16_t> decoded;
    // In WAV, ffmpeg ignores the LAME header's gapless values: decode the stream itself.
    ASSERT_TRUE(SonaraTest::FfmpegDecode(wav ? mpeg : path, decoded));
    int opens = 0;
    long reads = 0;
    const TAnswer answer = LibraryAnswer(path, opens, reads);
    int combinedOpens = 0;
    long combinedReads = 0;
    EXPECT_EQ(LibraryAnswer(path, combinedOpens, combinedReads, true), answer);
    EXPECT_EQ(combinedOpens, 1);
    EXPECT_LE(combinedReads, 3);
    long openReads = 0;
    EXPECT_EQ(OpenFileAnswer(path, openReads), answer);
    EXPECT_LE(openReads, combinedReads - 1); // the head is not read again
    // A shorter head: the head block in one read, as without one.
    EXPECT_EQ(OpenFileAnswer(path, openReads, 16 * 1024), answer);
    EXPECT_LE(openReads, combinedReads);
    EXPECT_TRUE(answer.Recognised);
    EXPECT_EQ(answer.TextA, c.TextA);
    EXPECT_EQ(answer.TextB, c.TextB);
    const double ffmpegMs = double(decoded.size() / c.Channels) * 1000.0 / c.Rate;
    EXPECT_NEAR(answer.LengthMs, ffmpegMs, 1152 * 1000.0 / c.Rate + 1);
    // Head, tail and the middle of the stream, once per call; a VBR stream's Xing header
    // saves the middle.
    EXPECT_EQ(opens, 2);
    EXPECT_LE(reads, 6);
}

INSTANTIATE_TEST_SUITE_P(Streams, SonaraHeaderProbeMpeg, ::testing::ValuesIn(kMpegCases),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
