// The broadcast chunks through the C interface: the cart kept in step with the values and
// read back by libsndfile and by this test's own byte reader, foreign cart and bext bytes
// kept, read-back of cart and bext values into empty keys, the timer profiles and modes.
#include "AudioFixtures.h"
#include "RiffBuilder.h"
#include "TempDir.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using B = TRiffBuilder;

constexpr int32_t Keep = 0, Always = 1, Never = 2;
constexpr int32_t Common = 0, Genesys = 1;

using TCartInfo = SF_CART_INFO_VAR(4096);
using TBextInfo = SF_BROADCAST_INFO_VAR(1024);

// This test's own reader: the payload of the first live chunk with the id.
std::optional<std::string> ChunkPayload(const std::string& bytes, const char* id) {
    std::size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + pos + 4);
        const std::size_t size = p[0] | p[1] << 8 | p[2] << 16 | std::size_t(p[3]) << 24;
        if (bytes.compare(pos, 4, id) == 0)
            return bytes.substr(pos + 8, size);
        pos += 8 + size + (size & 1);
    }
    return std::nullopt;
}

std::string Field(const std::string& body, std::size_t offset, std::size_t size) {
    std::string f = body.substr(offset, size);
    return f.substr(0, f.find('\0'));
}

uint32_t Le32(const std::string& s, std::size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// Post timers by usage, from the raw body.
std::map<std::string, uint32_t> Timers(const std::string& body) {
    std::map<std::string, uint32_t> out;
    for (int i = 0; i < 8; ++i)
        if (body[684 + 8 * i] != '\0')
            out[body.substr(684 + 8 * i, 4)] = Le32(body, 688 + 8 * i);
    return out;
}

std::string Fixed(const char* s, std::size_t n) {
    return std::string(s, ::strnlen(s, n));
}

std::optional<TCartInfo> SndfileCart(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return std::nullopt;
    TCartInfo cart{};
    const bool ok = sf_command(f, SFC_GET_CART_INFO, &cart, sizeof cart) == SF_TRUE;
    sf_close(f);
    return ok ? std::optional(cart) : std::nullopt;
}

std::optional<TBextInfo> SndfileBext(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return std::nullopt;
    TBextInfo bext{};
    const bool ok = sf_command(f, SFC_GET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE;
    sf_close(f);
    return ok ? std::optional(bext) : std::nullopt;
}

void Copy(char* dst, std::size_t n, const std::string& s) {
    std::memcpy(dst, s.data(), std::min(n, s.size()));
}

// A one-second 16-bit stereo file written by libsndfile with a cart (foreign timers, URL,
// tag text) and a bext chunk, as another system would leave it.
bool WriteForeign(const std::string& path, int frames = 44100) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    TCartInfo cart{};
    Copy(cart.version, 4, "0101");
    Copy(cart.title, 64, "Foreign title");
    Copy(cart.artist, 64, "Foreign artist");
    Copy(cart.cut_id, 64, "CUT-0042");
    Copy(cart.client_id, 64, "Client 7");
    Copy(cart.category, 64, "SPOT");
    Copy(cart.classification, 64, "Class B");
    Copy(cart.out_cue, 64, "and that's all");
    Copy(cart.start_date, 10, "2026-03-01");
    Copy(cart.start_time, 8, "06:30:00");
    Copy(cart.end_date, 10, "9999-12-31");
    Copy(cart.end_time, 8, "23:59:59");
    Copy(cart.producer_app_id, 64, "Other System");
    Copy(cart.producer_app_version, 64, "9.1");
    Copy(cart.user_def, 64, "user data");
    cart.level_reference = -2000;
    Copy(cart.post_timers[0].usage, 4, "INTe");
    cart.post_timers[0].value = 22050;
    Copy(cart.post_timers[1].usage, 4, "SEGs");
    cart.post_timers[1].value = 33075;
    Copy(cart.post_timers[2].usage, 4, "MRK ");
    cart.post_timers[2].value = 1234;
    Copy(cart.post_timers[3].usage, 4, "EOD ");
    cart.post_timers[3].value = 40000;
    Copy(cart.url, 1024, "http://example.org/spot");
    const std::string text = "Copy line one\r\nline two\r\n";
    Copy(cart.tag_text, sizeof cart.tag_text, text);
    cart.tag_text_size = static_cast<uint32_t>(text.size());
    TBextInfo bext{};
    Copy(bext.description, 256, "Bext description");
    Copy(bext.originator, 32, "Origin");
    Copy(bext.originator_reference, 32, "REF123");
    Copy(bext.origination_date, 10, "2026-02-03");
    Copy(bext.origination_time, 8, "04:05:06");
    bext.time_reference_low = 1000;
    bext.version = 2;
    bext.loudness_value = -2300;
    bext.loudness_range = 0x7FFF;
    bext.max_true_peak_level = -100;
    bext.max_momentary_loudness = 0x7FFF;
    bext.max_shortterm_loudness = 0x7FFF;
    const std::string history = "A=PCM,F=44100,W=16,M=stereo\r\n";
    Copy(bext.coding_history, sizeof bext.coding_history, history);
    bext.coding_history_size = static_cast<uint32_t>(history.size());
    const bool ok = sf_command(f, SFC_SET_CART_INFO, &cart, sizeof cart) == SF_TRUE &&
                    sf_command(f, SFC_SET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE;
    std::vector<short> samples(static_cast<std::size_t>(frames) * 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<short>((i * 37) % 2000);
    sf_writef_short(f, samples.data(), frames);
    sf_close(f);
    return ok;
}

std::string Output(const std::string& command) {
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p)
        return {};
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    ::pclose(p);
    return out;
}

std::string Slurp(const std::string& path) {
    auto v = Fixtures::ReadBytes(path);
    return std::string(v.begin(), v.end());
}

bool Spit(const std::string& path, const std::string& bytes) {
    return Fixtures::WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void Set(const char* key, const std::string& v) {
    SetTagInfo(key, v.data(), static_cast<uint16_t>(v.size()));
}

std::string Tag(const char* key) {
    char buf[1024];
    GetTagInfo(key, buf, sizeof buf);
    return buf;
}

std::string Title() {
    char buf[1024];
    GetChunkInfo("DISP", buf, sizeof buf);
    return buf;
}

std::string Broadcast(const char* field) {
    char buf[4096];
    GetBroadcastInfo(field, buf, sizeof buf);
    return buf;
}

std::string Shortened() {
    char buf[256];
    GetShortenedFields(buf, sizeof buf);
    return buf;
}

class BroadcastChunks : public ::testing::Test {
protected:
    void TearDown() override {
        CloseWavFile();
        SetBroadcastOptions(Keep, Common);
    }
    TTempDir Dir;
};

// The editor's full set of values, in their stored forms.
void SetEditorValues() {
    SetChunkInfo("DISP", "Morning spot", 12);
    Set("IART", "Caf\xC3\xA9 Bar");
    Set("ISRC", "SPOT");
    Set("INAM", "see you there");
    Set("IGNR", "2026/12/24");
    Set("BSTM", "06:30");
    Set("IKEY", "12/31/2026"); // the shown order is read too
    Set("BETM", "23:59");
    Set("IURL", "https://example.org/a");
    Set("ISBJ", "Line one\nLine two");
    Set("ISRF", "1500"); // intro, ms from the start
    Set("IMED", "250");  // segue, ms before the end
    Set("HKST", "100");
    Set("HKEN", "600");
}

} // namespace

TEST_F(BroadcastChunks, AlwaysWritesACartThatLibsndfileAndTheBytesAgreeOn) {
    const std::string path = Dir.File("new.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, {44100, 2, 1.0}, SF_FORMAT_PCM_16));
    const std::string before = Slurp(path);
    ASSERT_EQ(SetBroadcastOptions(Always, Common), 0);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    SetEditorValues();
    ASSERT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(Shortened(), "");

    const auto cart = SndfileCart(path);
    ASSERT_TRUE(cart);
    EXPECT_EQ(Fixed(cart->version, 4), "0101");
    EXPECT_EQ(Fixed(cart->title, 64), "Morning spot");
    EXPECT_EQ(Fixed(cart->artist, 64), "Caf\xC3\xA9 Bar");
    EXPECT_EQ(Fixed(cart->category, 64), "SPOT");
    EXPECT_EQ(Fixed(cart->out_cue, 64), "see you there");
    EXPECT_EQ(Fixed(cart->start_date, 10), "2026-12-24");
    EXPECT_EQ(Fixed(cart->start_time, 8), "06:30:00");
    EXPECT_EQ(Fixed(cart->end_date, 10), "2026-12-31");
    EXPECT_EQ(Fixed(cart->end_time, 8), "23:59:00");
    EXPECT_EQ(Fixed(cart->producer_app_id, 64), "Cuemark");
    EXPECT_FALSE(Fixed(cart->producer_app_version, 64).empty());
    EXPECT_EQ(Fixed(cart->url, 1024), "https://example.org/a");
    EXPECT_EQ(std::string(cart->tag_text, ::strnlen(cart->tag_text, cart->tag_text_size)),
              "Line one\r\nLine two");

    // The timers, from the raw body: the data chunk's size over the block align (4).
    const std::string after = Slurp(path);
    const auto body = ChunkPayload(after, "cart");
    ASSERT_TRUE(body);
    const uint32_t total = static_cast<uint32_t>(ChunkPayload(after, "data")->size() / 4);
    ASSERT_EQ(total, 44100u);
    const std::map<std::string, uint32_t> common = {{"AUDs", 0},
                                                    {"AUDe", total},
                                                    {"INTs", 0},
                                                    {"INTe", 66150}, // 1.5 s
                                                    {"SEGs", total - 11025},
                                                    {"SEGe", total}};
    EXPECT_EQ(Timers(*body), common);
    EXPECT_EQ(Field(*body, 748, 276), ""); // Reserved stays zero
    // The INFO values stay whole and the audio untouched.
    EXPECT_EQ(ChunkPayload(after, "data"), ChunkPayload(before, "data"));
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(Tag("ISBJ"), "Line one\nLine two");
    EXPECT_EQ(Broadcast("cart.Title"), "Morning spot");
    EXPECT_EQ(Broadcast("cart.PostTimer4"), "INTe 66150 (1500 ms)");
}

TEST_F(BroadcastChunks, GenesysProfileWritesItsTimersAndKeepsOthers) {
    const std::string path = Dir.File("foreign.wav");
    ASSERT_TRUE(WriteForeign(path));
    ASSERT_EQ(SetBroadcastOptions(Keep, Genesys), 0);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    SetEditorValues();
    ASSERT_EQ(CloseWavFile(), 0);
    const auto body = ChunkPayload(Slurp(path), "cart");
    ASSERT_TRUE(body);
    const uint32_t total = 44100;
    // Another profile's timers and names of no profile stay as they were.
    const std::map<std::string, uint32_t> expected = {
        {"INTe", 22050}, {"SEGs", 33075},         {"MRK ", 1234}, {"EOD ", 40000},
        {"INT ", 66150}, {"SEC1", total - 11025}, {"MRK1", 4410}, {"MRK2", 26460}};
    EXPECT_EQ(Timers(*body), expected);
    EXPECT_EQ(Field(*body, 488, 64), "Other System"); // the producer is not ours to claim
}

TEST_F(BroadcastChunks, EditingAForeignFileKeepsEveryByteItDoesNotOwn) {
    const std::string path = Dir.File("foreign.wav");
    ASSERT_TRUE(WriteForeign(path));
    // Bytes a later revision may define in Reserved (libsndfile writes zeros there).
    std::string bytes = Slurp(path);
    const std::size_t cartAt = bytes.find("cart") + 8;
    bytes.replace(cartAt + 748, 6, "RESRVD");
    ASSERT_TRUE(Spit(path, bytes));
    const std::string beforeCart = *ChunkPayload(bytes, "cart");
    const std::string beforeBext = *ChunkPayload(bytes, "bext");

    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    SetChunkInfo("DISP", "New title", 9);
    Set("IART", "New artist");
    ASSERT_EQ(CloseWavFile(), 0);

    const std::string after = Slurp(path);
    EXPECT_EQ(ChunkPayload(after, "data"), ChunkPayload(bytes, "data"));
    EXPECT_EQ(ChunkPayload(after, "bext"), beforeBext);
    const std::string cart = *ChunkPayload(after, "cart");
    ASSERT_EQ(cart.size(), beforeCart.size());
    // Only Title, Artist and the Common timers' slots may differ.
    for (std::size_t i = 0; i < cart.size(); ++i) {
        const bool owned = (i >= 4 && i < 132) || (i >= 684 && i < 748);
        if (!owned) {
            ASSERT_EQ(cart[i], beforeCart[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(Field(cart, 4, 64), "New title");
    EXPECT_EQ(Field(cart, 68, 64), "New artist");
    // Foreign timers keep their values; the intro and segue read back unchanged.
    const auto timers = Timers(cart);
    EXPECT_EQ(timers.at("INTe"), 22050u);
    EXPECT_EQ(timers.at("SEGs"), 33075u);
    EXPECT_EQ(timers.at("MRK "), 1234u);
    EXPECT_EQ(timers.at("EOD "), 40000u);

    const auto sfCart = SndfileCart(path);
    const auto sfBext = SndfileBext(path);
    ASSERT_TRUE(sfCart && sfBext);
    EXPECT_EQ(Fixed(sfCart->title, 64), "New title");
    EXPECT_EQ(Fixed(sfCart->cut_id, 64), "CUT-0042");
    EXPECT_EQ(Fixed(sfCart->url, 1024), "http://example.org/spot");
    EXPECT_EQ(sfCart->level_reference, -2000);
    EXPECT_EQ(Fixed(sfBext->description, 256), "Bext description");
    EXPECT_EQ(sfBext->loudness_value, -2300);
}

TEST_F(BroadcastChunks, BextAfterAnEditReadsTheSameInFfprobeAndMediainfo) {
    const std::string path = Dir.File("foreign.wav");
    ASSERT_TRUE(WriteForeign(path));
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    Set("IART", "edited");
    ASSERT_EQ(CloseWavFile(), 0);
    const std::string probe =
        Output("ffprobe -v error -show_entries format_tags -of default=nw=1 '" + path + "'");
    const std::string info = Output("mediainfo '" + path + "'");
    if (probe.empty() || info.empty())
        GTEST_SKIP() << "ffprobe or mediainfo not available";
    // ffprobe shows the description as the comment.
    for (const char* line : {"TAG:comment=Bext description", "TAG:encoded_by=Origin",
                             "TAG:originator_reference=REF123", "TAG:time_reference=1000",
                             "TAG:coding_history=A=PCM,F=44100,W=16,M=stereo"})
        EXPECT_NE(probe.find(line), std::string::npos) << line << "\n" << probe;
    for (const char* words : {"Bext description", "Origin", "-23.00"})
        EXPECT_NE(info.find(words), std::string::npos) << words << "\n" << info;
}

TEST_F(BroadcastChunks, EmptyKeysReadBackWhatTheCartHolds) {
    const std::string path = Dir.File("foreign.wav");
    ASSERT_TRUE(WriteForeign(path));
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(Title(), "Foreign title");
    EXPECT_EQ(Tag("IART"), "Foreign artist");
    EXPECT_EQ(Tag("ISRC"), "SPOT");
    EXPECT_EQ(Tag("INAM"), "and that's all");
    EXPECT_EQ(Tag("IGNR"), "2026/03/01");
    EXPECT_EQ(Tag("BSTM"), "06:30");
    EXPECT_EQ(Tag("IKEY"), ""); // 9999-12-31 is "no end date"
    EXPECT_EQ(Tag("BETM"), "");
    EXPECT_EQ(Tag("IURL"), "http://example.org/spot");
    EXPECT_EQ(Tag("ISBJ"), "Copy line one\r\nline two\r\n");
    EXPECT_EQ(Tag("ISRF"), "500"); // INTe 22050 at 44.1 kHz
    EXPECT_EQ(Tag("IMED"), "250"); // SEGs 33075 of 44100 frames
    EXPECT_EQ(Tag("HKST"), "");
    EXPECT_EQ(Broadcast("bext.Description"), "Bext description");
    EXPECT_EQ(Broadcast("bext.LoudnessValue"), "-23.00");
    EXPECT_EQ(Broadcast("bext.LoudnessRange"), ""); // 0x7FFF: not set
    EXPECT_EQ(Broadcast("cart.LevelReference"), "-2000");
    // A key the caller removes stays empty, and the save writes the read-back values into
    // INFO and clears the removed one in the cart.
    RemoveTag("INAM");
    EXPECT_EQ(Tag("INAM"), "");
    Set("IART", Tag("IART"));
    ASSERT_EQ(CloseWavFile(), 0);
    const std::string after = Slurp(path);
    const auto info = ChunkPayload(after, "LIST");
    ASSERT_TRUE(info);
    EXPECT_NE(info->find("IART"), std::string::npos);
    EXPECT_EQ(Field(*ChunkPayload(after, "cart"), 388, 64), "");
    EXPECT_EQ(Field(*ChunkPayload(after, "cart"), 68, 64), "Foreign artist");
}

TEST_F(BroadcastChunks, UnsetDatesAndBextOnlyFiles) {
    // A bext description stands for the title where there is no cart.
    const std::string path = Dir.File("bext.wav");
    B().Chunk("fmt ", B::Fmt())
        .Chunk("bext", "Only a description" + std::string(602 - 18, '\0'))
        .Chunk("data", B::Audio(4000))
        .WriteTo(path);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(Title(), "Only a description");
    EXPECT_EQ(Broadcast("bext.Version"), "0");
    CloseWavFile();

    // Dates a playout system writes for "unset" are no dates.
    std::string body(2048, '\0');
    body.replace(0, 4, "0101");
    body.replace(452, 18, "1900-01-0100:00:00");
    body.replace(470, 18, "2026-02-3012:00:00"); // no such day
    const std::string cartPath = Dir.File("unset.wav");
    B().Chunk("fmt ", B::Fmt()).Chunk("cart", body).Chunk("data", B::Audio(4000)).WriteTo(cartPath);
    ASSERT_EQ(OpenWavFile(cartPath.c_str(), 0, 0), 0);
    EXPECT_EQ(Tag("IGNR"), "");
    EXPECT_EQ(Tag("BSTM"), "");
    EXPECT_EQ(Tag("IKEY"), "");
}

TEST_F(BroadcastChunks, LongAndNonAsciiValuesAreCutOnACharacterAndReported) {
    const std::string path = Dir.File("long.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, {44100, 1, 0.2}, SF_FORMAT_PCM_16));
    SetBroadcastOptions(Always, Common);
    // 63 ASCII bytes and then a two-byte character that would end at byte 65.
    const std::string title = std::string(63, 'T') + "\xC3\xA9" + "tail";
    const std::string outCue = std::string(62, 'o') + "\xE2\x82\xAC"; // euro sign straddles 64
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    SetChunkInfo("DISP", title.data(), static_cast<uint16_t>(title.size()));
    Set("INAM", outCue);
    Set("IART", std::string(64, 'A')); // fits exactly, no NUL needed
    ASSERT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(Shortened(), "Title\nOutCue");

    const auto cart = SndfileCart(path);
    ASSERT_TRUE(cart);
    EXPECT_EQ(std::string(cart->title, 64), std::string(63, 'T') + '\0');
    EXPECT_EQ(Fixed(cart->out_cue, 64), std::string(62, 'o'));
    EXPECT_EQ(std::string(cart->artist, 64), std::string(64, 'A'));
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(Title(), title); // the INFO value stays whole
    EXPECT_EQ(Tag("INAM"), outCue);
    EXPECT_EQ(Tag("IART"), std::string(64, 'A'));
    EXPECT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(Shortened(), ""); // nothing saved this time
}

TEST_F(BroadcastChunks, SegueTimerCountsFramesOfPcmAndMpegInWav) {
    struct TCase {
        const char* Name;
        std::string Bytes;
        uint32_t Total; // frames the fixture holds, from how it was built
    };
    // 8-bit mono at 8 kHz: one byte a frame; 24-bit stereo: six.
    const std::string mpegFmt = [] {
        std::string f = B::Fmt(2, 44100, 0);
        f[0] = 0x55;
        f[1] = 0;
        f.replace(12, 2, std::string("\x01\x00", 2)); // block align 1
        return f;
    }();
    const std::vector<TCase> cases = {
        {"PCM 8-bit mono",
         B().Chunk("fmt ", B::Fmt(1, 8000, 8)).Chunk("data", B::Audio(16000)).Build(), 16000},
        {"PCM 24-bit stereo",
         B().Chunk("fmt ", B::Fmt(2, 8000, 24)).Chunk("data", B::Audio(6 * 4000)).Build(), 4000},
        {"MPEG in WAV, fact chunk",
         B().Chunk("fmt ", mpegFmt)
             .Chunk("fact", B::Le32(88200))
             .Chunk("data", B::Audio(5000))
             .Build(),
         88200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = Dir.File("segue.wav");
        ASSERT_TRUE(Spit(path, c.Bytes));
        SetBroadcastOptions(Always, Common);
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        Set("IMED", "500");
        ASSERT_EQ(CloseWavFile(), 0);
        const auto body = ChunkPayload(Slurp(path), "cart");
        ASSERT_TRUE(body);
        const uint32_t rate = Le32(*ChunkPayload(c.Bytes, "fmt "), 4);
        const auto timers = Timers(*body);
        EXPECT_EQ(timers.at("SEGs"), c.Total - rate / 2);
        EXPECT_EQ(timers.at("SEGe"), c.Total);
        EXPECT_EQ(timers.at("AUDe"), c.Total);
        SetBroadcastOptions(Always, Genesys);
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        Set("IMED", "500");
        ASSERT_EQ(CloseWavFile(), 0);
        EXPECT_EQ(Timers(*ChunkPayload(Slurp(path), "cart")).at("SEC1"), c.Total - rate / 2);
    }
}

TEST_F(BroadcastChunks, ModesDecideWhetherTheCartIsWritten) {
    const std::string plain = Dir.File("plain.wav");
    const std::string foreign = Dir.File("foreign.wav");
    for (int32_t mode : {Keep, Always, Never}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(Fixtures::WritePcmWav(plain, {44100, 1, 0.1}, SF_FORMAT_PCM_16));
        ASSERT_TRUE(WriteForeign(foreign));
        const std::string foreignCart = *ChunkPayload(Slurp(foreign), "cart");
        ASSERT_EQ(SetBroadcastOptions(mode, Common), 0);
        for (const auto& path : {plain, foreign}) {
            ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
            SetChunkInfo("DISP", "Edited", 6);
            ASSERT_EQ(CloseWavFile(), 0);
        }
        EXPECT_EQ(ChunkPayload(Slurp(plain), "cart").has_value(), mode == Always);
        const std::string cart = *ChunkPayload(Slurp(foreign), "cart");
        if (mode == Never)
            EXPECT_EQ(cart, foreignCart);
        else
            EXPECT_EQ(Field(cart, 4, 64), "Edited");
    }
    EXPECT_EQ(SetBroadcastOptions(3, Common), -1);
    EXPECT_EQ(SetBroadcastOptions(Keep, 2), -1);
}

TEST_F(BroadcastChunks, OpeningAndClosingWithoutChangesWritesNothing) {
    const std::string path = Dir.File("foreign.wav");
    ASSERT_TRUE(WriteForeign(path));
    const std::string before = Slurp(path);
    SetBroadcastOptions(Always, Genesys);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    Title();
    Tag("ISRF");
    ASSERT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(Slurp(path), before);
}
