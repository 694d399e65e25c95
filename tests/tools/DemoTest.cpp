// The demo folder checked against readers of its own: every length the program shows
// against ffmpeg's decoding, every marker and date against this test's reader of the
// files' bytes (RIFF INFO, DISP, cart, bext, ID3v2, ID3v1), and the story's air dates
// against the day the demo was made for.
#include "AudioFixtures.h"
#include "TempDir.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const QString Day = QStringLiteral("2027-02-26"); // the demo's day in most tests

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

std::string Slice(const std::vector<uint8_t>& b, size_t at, size_t n) {
    if (at >= b.size())
        return {};
    return std::string(b.begin() + long(at), b.begin() + long(std::min(b.size(), at + n)));
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

// A NUL-padded fixed field as text.
std::string Field(const std::string& raw) {
    return raw.substr(0, raw.find('\0'));
}

std::string Latin1ToUtf8(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size())).toStdString();
}

// --- RIFF: the chunks of a WAV file, our keys (LIST INFO in Windows-1252, DISP) and the
// broadcast chunks.
struct TRiff {
    std::map<std::string, std::vector<uint8_t>> Chunks; // first of each id
    std::map<std::string, std::string> Keys;            // UTF-8
};

TRiff ReadRiff(const std::vector<uint8_t>& b) {
    TRiff riff;
    EXPECT_EQ(Slice(b, 0, 4), "RIFF");
    EXPECT_EQ(Slice(b, 8, 4), "WAVE");
    EXPECT_EQ(Le32(b, 4) + 8u, b.size()) << "RIFF size";
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id = Slice(b, at, 4);
        const uint32_t size = Le32(b, at + 4);
        EXPECT_LE(at + 8 + size, b.size()) << id;
        const std::vector<uint8_t> payload(b.begin() + long(at + 8),
                                           b.begin() + long(std::min(b.size(), at + 8 + size)));
        riff.Chunks.emplace(id, payload);
        if (id == "DISP" && size >= 4) {
            EXPECT_EQ(Le32(payload, 0), 1u); // text
            riff.Keys["DISP"] = Latin1ToUtf8(Field(Slice(payload, 4, size - 4)));
        } else if (id == "LIST" && Slice(payload, 0, 4) == "INFO") {
            for (size_t i = 4; i + 8 <= payload.size();) {
                const uint32_t n = Le32(payload, i + 4);
                riff.Keys[Slice(payload, i, 4)] = Latin1ToUtf8(Field(Slice(payload, i + 8, n)));
                i += 8 + n + (n & 1);
            }
        }
        at += 8 + size + (size & 1);
    }
    return riff;
}

struct TCart {
    std::string Version, Title, Artist, CutId, Category, OutCue;
    std::string StartDate, StartTime, EndDate, EndTime, ProducerAppId, Url, TagText;
    std::map<std::string, uint32_t> Timers;
};

TCart ReadCart(const std::vector<uint8_t>& c) {
    TCart cart;
    EXPECT_GE(c.size(), 2048u);
    const auto text = [&](size_t at, size_t n) { return Field(Slice(c, at, n)); };
    cart.Version = text(0, 4);
    cart.Title = text(4, 64);
    cart.Artist = text(68, 64);
    cart.CutId = text(132, 64);
    cart.Category = text(260, 64);
    cart.OutCue = text(388, 64);
    cart.StartDate = text(452, 10);
    cart.StartTime = text(462, 8);
    cart.EndDate = text(470, 10);
    cart.EndTime = text(480, 8);
    cart.ProducerAppId = text(488, 64);
    for (size_t slot = 0; slot < 8; ++slot) {
        const size_t at = 684 + slot * 8;
        if (c[at] != 0)
            cart.Timers[Slice(c, at, 4)] = Le32(c, at + 4);
    }
    EXPECT_EQ(Slice(c, 748, 276), std::string(276, '\0')) << "Reserved";
    cart.Url = text(1024, 1024);
    cart.TagText = Slice(c, 2048, c.size() - 2048);
    return cart;
}

// --- ID3v2 (2.3 and 2.4) frames as our keys: the text frames that stand for them and the
// TXXX frames named after a key.
struct TId3v2 {
    int Major = 0;
    std::map<std::string, std::string> Keys;
};

std::string DecodeId3Text(const std::string& raw) {
    if (raw.empty())
        return {};
    const std::string body = raw.substr(1);
    switch (raw[0]) {
    case 0:
        return Latin1ToUtf8(body);
    case 1:
    case 2: {
        std::u16string units;
        bool big = raw[0] == 2;
        size_t i = 0;
        if (raw[0] == 1 && body.size() >= 2) {
            big = uint8_t(body[0]) == 0xFE;
            i = 2;
        }
        for (; i + 1 < body.size(); i += 2) {
            const auto hi = uint8_t(body[big ? i : i + 1]), lo = uint8_t(body[big ? i + 1 : i]);
            units += char16_t(hi << 8 | lo);
        }
        return QString::fromStdU16String(units).toStdString();
    }
    default:
        return body;
    }
}

TId3v2 ReadId3v2(const std::vector<uint8_t>& b) {
    TId3v2 tag;
    if (Slice(b, 0, 3) != "ID3")
        return tag;
    tag.Major = b[3];
    EXPECT_EQ(b[5], 0) << "no flags";
    const auto syncSafe = [&](size_t at) {
        return uint32_t(b[at]) << 21 | uint32_t(b[at + 1]) << 14 | uint32_t(b[at + 2]) << 7 |
               uint32_t(b[at + 3]);
    };
    const size_t end = 10 + syncSafe(6);
    static const std::map<std::string, std::string> Frames{
        {"TIT2", "DISP"}, {"TPE1", "IART"}, {"TALB", "IALB"}, {"TDRC", "IYER"},
        {"TYER", "IYER"}, {"TCON", "IGRE"}, {"TRCK", "ITRK"}, {"TCOM", "ICOM"},
        {"TPUB", "IPUB"}, {"TCOP", "BCPR"}, {"TBPM", "IBPM"}};
    for (size_t at = 10; at + 10 <= end && b[at] != 0;) {
        const std::string id = Slice(b, at, 4);
        const uint32_t size = tag.Major == 4
                                  ? syncSafe(at + 4)
                                  : uint32_t(b[at + 4]) << 24 | uint32_t(b[at + 5]) << 16 |
                                        uint32_t(b[at + 6]) << 8 | b[at + 7];
        const std::string raw = Slice(b, at + 10, size);
        if (const auto frame = Frames.find(id); frame != Frames.end()) {
            tag.Keys[frame->second] = DecodeId3Text(raw);
        } else if (id == "TXXX" || id == "COMM") {
            // TXXX: encoding, description, NUL, value; COMM adds a language before them.
            std::string text = id == "COMM" ? raw.substr(0, 1) + raw.substr(4) : raw;
            const bool wide = text[0] == 1 || text[0] == 2;
            size_t split = 1;
            while (split < text.size() && (text[split] != 0 || (wide && text[split + 1] != 0)))
                split += wide ? 2 : 1;
            const std::string description = DecodeId3Text(text.substr(0, split));
            const std::string value =
                DecodeId3Text(text.substr(0, 1) + text.substr(split + (wide ? 2 : 1)));
            tag.Keys[id == "COMM" ? std::string("ICMT") : description] = value;
        }
        at += 10 + size;
    }
    // Text frames end at their first NUL.
    for (auto& [key, value] : tag.Keys)
        value = value.substr(0, value.find('\0'));
    return tag;
}

std::map<std::string, std::string> ReadId3v1(const std::vector<uint8_t>& b) {
    const std::string tag = Slice(b, b.size() - 128, 128);
    if (tag.substr(0, 3) != "TAG")
        return {};
    const auto text = [&](size_t at, size_t n) {
        std::string t = Field(tag.substr(at, n));
        t.erase(t.find_last_not_of(' ') + 1);
        return Latin1ToUtf8(t);
    };
    return {{"DISP", text(3, 30)},
            {"IART", text(33, 30)},
            {"IALB", text(63, 30)},
            {"IYER", text(93, 4)}};
}

// --- The CSV export of cuemark-tag: what the program shows in its columns.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string cell;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                cell += text[++i];
            else if (c == '"')
                quoted = false;
            else
                cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::move(cell));
            cell.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back().push_back(std::move(cell));
            cell.clear();
            rows.emplace_back();
            ++i;
        } else {
            cell += c;
        }
    }
    rows.pop_back(); // after the last line break
    return rows;
}

// The decoded length in milliseconds, by ffmpeg (decoding honours MP3 encoder delay and
// padding, which container durations count): one WAV on its output, whose data is measured.
int64_t DecodedMs(const fs::path& file, int* sampleRate = nullptr) {
    std::string out;
    EXPECT_EQ(RunProgram("ffmpeg",
                         {"-v", "error", "-i", QString::fromStdString(file.string()), "-ac", "1",
                          "-c:a", "pcm_s16le", "-bitexact", "-f", "wav", "-"},
                         &out),
              0);
    const std::vector<uint8_t> wav(out.begin(), out.end());
    size_t at = 12;
    while (at + 8 <= wav.size() && Slice(wav, at, 4) != "data")
        at += 8 + Le32(wav, at + 4);
    EXPECT_LT(at + 8, wav.size()) << "no data from ffmpeg";
    if (at + 8 >= wav.size())
        return 0;
    const auto hz = int(Le32(wav, 24)); // the first chunk is fmt
    if (sampleRate != nullptr)
        *sampleRate = hz;
    return int64_t((wav.size() - at - 8) / 2) * 1000 / hz;
}

int64_t TenthsOf(const std::string& timeText) { // "mm:ss.t"
    return std::stoll(timeText.substr(0, 2)) * 600 + std::stoll(timeText.substr(3, 2)) * 10 +
           std::stoll(timeText.substr(6, 1));
}

std::optional<QDateTime> StoredDateTime(const std::string& date, const std::string& time) {
    if (date.empty() || date == " ")
        return std::nullopt;
    const QDate d = QDate::fromString(QString::fromStdString(date), QStringLiteral("yyyy/MM/dd"));
    const QTime t = time.empty()
                        ? QTime(0, 0)
                        : QTime::fromString(QString::fromStdString(time), QStringLiteral("hh:mm"));
    EXPECT_TRUE(d.isValid()) << date;
    EXPECT_TRUE(t.isValid()) << time;
    return QDateTime(d, t);
}

// How a dated file stands on the demo's day, at noon.
enum class TAir { Running, Expired, Soon, NextWeek };

TAir AirState(const QDateTime& start, const std::optional<QDateTime>& end, const QDate& day) {
    const QDateTime noon(day, QTime(12, 0));
    if (end && *end < noon)
        return TAir::Expired;
    if (start <= noon)
        return TAir::Running;
    return day.daysTo(start.date()) >= 7 ? TAir::NextWeek : TAir::Soon;
}

// One demo folder for the tests that only read it.
class DemoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = new TTempDir;
        Demo = (Dir->Path() / "demo").string();
        Made = RunProgram(CUEMARK_DEMO_BINARY, {"--date", Day, QString::fromStdString(Demo)}) == 0;
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(Made); }
    static std::vector<uint8_t> Bytes(const std::string& name) {
        return Fixtures::ReadBytes((fs::path(Demo) / name).string());
    }
    // The export rows by file name relative to the demo folder.
    static std::map<std::string, std::map<std::string, std::string>> Export() {
        std::string csv;
        EXPECT_EQ(RunProgram(CUEMARK_TAG_BINARY,
                             {"export", QString::fromStdString(Demo),
                              QString::fromStdString(Demo + "/Beds"),
                              QString::fromStdString(Demo + "/From Playout")},
                             &csv),
                  0);
        const auto rows = ParseCsv(csv);
        std::map<std::string, std::map<std::string, std::string>> files;
        for (size_t r = 1; r < rows.size(); ++r) {
            EXPECT_EQ(rows[r].size(), rows[0].size());
            auto& cells = files[fs::relative(rows[r][0], Demo).string()];
            for (size_t c = 1; c < rows[r].size() && c < rows[0].size(); ++c)
                cells[rows[0][c]] = rows[r][c];
        }
        return files;
    }

    static inline TTempDir* Dir = nullptr;
    static inline std::string Demo;
    static inline bool Made = false;
};

// Every length and marker the columns show, and the tags behind them read from the bytes.
TEST_F(DemoTest, LengthsMarkersAndTagsShownAreThoseInTheFiles) {
    const auto files = Export();
    EXPECT_GE(files.size(), 38u);
    EXPECT_LE(files.size(), 45u);
    // Caption of the column, key behind it.
    const std::vector<std::pair<std::string, std::string>> columns{
        {"Title", "DISP"},           {"Artist", "IART"}, {"Category", "ISRC"},
        {"Intro", "ISRF"},           {"Segue", "IMED"},  {"Hook Start", "HKST"},
        {"Hook End", "HKEN"},        {"OutCue", "INAM"}, {"Start Time Window", "BSTW"},
        {"End Time Window", "BETW"}, {"Album", "IALB"},  {"Year", "IYER"}};
    std::set<std::string> kinds;
    for (const auto& [name, shown] : files) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = Bytes(name);
        ASSERT_GT(bytes.size(), 1000u);

        EXPECT_NE(shown.at("Format"), "Unknown");
        // The length shown (cut to tenths) is the decoded length.
        const int64_t ms = DecodedMs(fs::path(Demo) / name);
        EXPECT_GT(ms, 1500);
        EXPECT_LT(ms, 10000);
        EXPECT_NEAR(double(TenthsOf(shown.at("Time"))), double(ms / 100), 1.0)
            << shown.at("Time") << " against " << ms << " ms";

        std::map<std::string, std::string> keys;
        // What a playout file's cart says, which the program may show where our key is empty.
        std::map<std::string, std::string> cartKeys;
        if (Slice(bytes, 0, 4) == "RIFF") {
            const TRiff riff = ReadRiff(bytes);
            keys = riff.Keys;
            kinds.insert(riff.Chunks.count("cart") ? "cart" : "wav");
            if (riff.Chunks.count("cart")) {
                const TCart cart = ReadCart(riff.Chunks.at("cart"));
                const uint64_t rate = Le32(riff.Chunks.at("fmt "), 4);
                const auto msOf = [&](uint32_t frames) {
                    return std::to_string(uint64_t(frames) * 1000 / rate);
                };
                cartKeys = {{"DISP", cart.Title},
                            {"IART", cart.Artist},
                            {"ISRC", cart.Category},
                            {"INAM", cart.OutCue},
                            {"IMED", msOf(cart.Timers.at("AUDe") - cart.Timers.at("SEGs"))}};
                if (cart.Timers.count("INTe"))
                    cartKeys["ISRF"] = msOf(cart.Timers.at("INTe"));
            }
            if (Le16(riff.Chunks.at("fmt "), 0) == 0x0050)
                kinds.insert("mpeg-in-wav");
        } else if (const TId3v2 v2 = ReadId3v2(bytes); v2.Major != 0) {
            keys = v2.Keys;
            kinds.insert("id3v2." + std::to_string(v2.Major) + fs::path(name).extension().string());
        } else {
            keys = ReadId3v1(bytes);
            ASSERT_FALSE(keys.empty()) << "no tag at all";
            kinds.insert("id3v1");
        }
        for (const auto& [caption, key] : columns) {
            const std::string stored = keys.count(key) ? keys.at(key) : "";
            if (stored.empty() && cartKeys.count(key) && !shown.at(caption).empty()) {
                if (key == "ISRF" || key == "IMED") // frames to milliseconds, either rounding
                    EXPECT_NEAR(std::stod(shown.at(caption)), std::stod(cartKeys.at(key)), 1.0);
                else
                    EXPECT_EQ(shown.at(caption), cartKeys.at(key)) << caption;
            } else
                EXPECT_EQ(shown.at(caption), stored) << caption;
        }

        // Markers fall inside the audio, the intro before the segue point, hooks in order.
        const auto marker = [&](const char* key) -> std::optional<int64_t> {
            if (!keys.count(key))
                return std::nullopt;
            return std::stoll(keys.at(key));
        };
        const int64_t intro = marker("ISRF").value_or(0), segue = marker("IMED").value_or(0);
        EXPECT_LE(intro + segue, ms);
        if (const auto start = marker("HKST")) {
            EXPECT_GE(*start, 0);
            EXPECT_LT(*start, ms);
            if (const auto end = marker("HKEN")) {
                EXPECT_LT(*start, *end);
                EXPECT_LE(*end, ms);
            }
        }
    }
    // Every kind the story promises is there.
    for (const char* kind :
         {"wav", "cart", "mpeg-in-wav", "id3v2.4.mp3", "id3v2.3.mp3", "id3v2.3.mp2", "id3v1"})
        EXPECT_TRUE(kinds.count(kind)) << kind;
}

// The air dates tell the story of the demo's day: spots running, expired, starting next week,
// some in a daily window; and the dates shown are those stored.
TEST_F(DemoTest, AirDatesAreRelativeToTheDemoDay) {
    const QDate day = QDate::fromString(Day, Qt::ISODate);
    const auto files = Export();
    const std::map<std::string, TAir> story{
        {"Corner Bakery - Fresh Bread.wav", TAir::Running},
        {"Müller's Garden Centre - Spring Sale.wav", TAir::Running},
        {"Café Rouge - Lunch Menu.wav", TAir::Running},
        {"Harbour Motors - Clearance.wav", TAir::Expired},
        {"Northside Dental - New Patients.wav", TAir::NextWeek},
        {"Sunshine Travel - Last Minute.wav", TAir::Running},
        {"Green Valley Dairy - Breakfast.wav", TAir::Expired},
        {"Lakeside Cinema - This Week.wav", TAir::Running},
        {"Quick Fix Plumbing - 24 Hours.wav", TAir::Running},
        {"Riverside Furniture - Weekend Sale.wav", TAir::NextWeek},
        {"Oakwood Savings Bank - Savings.wav", TAir::Expired},
        {"Zoë's Flowers - Mother's Day.wav", TAir::NextWeek},
        {"Town Council - Road Works.wav", TAir::Running},
        {"Promo - Breakfast with Anna.wav", TAir::Running},
        {"Promo - Saturday Night Oldies.wav", TAir::Soon}};
    int windows = 0;
    for (const auto& [name, shown] : files) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = Bytes(name);
        if (Slice(bytes, 0, 4) != "RIFF")
            continue;
        const TRiff riff = ReadRiff(bytes);
        const auto key = [&](const char* k) {
            return riff.Keys.count(k) ? riff.Keys.at(k) : std::string();
        };
        const auto joined = [&](const char* date, const char* time) {
            return key(time).empty() ? key(date) : key(date) + " " + key(time);
        };

        // A playout file's dates are in its cart (checked with the playout files).
        if (riff.Chunks.count("cart"))
            continue;
        EXPECT_EQ(shown.at("Start Date/Time"), joined("IGNR", "BSTM"));
        EXPECT_EQ(shown.at("End Date/Time"), joined("IKEY", "BETM"));
        const auto start = StoredDateTime(key("IGNR"), key("BSTM"));
        const auto told = story.find(name);
        if (told == story.end()) {
            EXPECT_FALSE(start) << "dated but not in the story";
            continue;
        }
        ASSERT_TRUE(start);
        const auto end = StoredDateTime(key("IKEY"), key("BETM"));
        if (end) {
            EXPECT_LT(*start, *end);
        }
        EXPECT_EQ(int(AirState(*start, end, day)), int(told->second));
        if (!key("BSTW").empty()) {
            ++windows;
            EXPECT_LT(key("BSTW"), key("BETW"));
        }
    }
    EXPECT_GE(windows, 3);
    // Every spot of the story was met.
    for (const auto& [name, state] : story)
        EXPECT_TRUE(files.count(name)) << name;
}

// The playout system's files: cart version 0101 with post timers in sample frames of the
// audio, air dates relative to the day (or its "no date" values), bext version 2; none of
// our keys.
TEST_F(DemoTest, PlayoutFilesCarryCartAndBextAsDelivered) {
    const QDate day = QDate::fromString(Day, Qt::ISODate);
    int checked = 0;
    bool mpeg = false, running = false, expired = false, undated = false, nonAscii = false;
    for (const auto& entry : fs::directory_iterator(fs::path(Demo) / "From Playout")) {
        SCOPED_TRACE(entry.path().filename().string());
        const TRiff riff = ReadRiff(Fixtures::ReadBytes(entry.path().string()));
        EXPECT_TRUE(riff.Keys.empty());
        ASSERT_TRUE(riff.Chunks.count("cart") && riff.Chunks.count("bext"));
        const std::vector<uint8_t>& fmt = riff.Chunks.at("fmt ");
        const uint32_t rate = Le32(fmt, 4);
        // Total sample frames: data size over block align, or the fact chunk for MPEG.
        uint32_t total = uint32_t(riff.Chunks.at("data").size()) / Le16(fmt, 12);
        if (Le16(fmt, 0) == 0x0050) {
            mpeg = true;
            total = Le32(riff.Chunks.at("fact"), 0);
        }
        int hz = 0;
        const int64_t ms = DecodedMs(entry.path(), &hz);
        EXPECT_EQ(uint32_t(hz), rate);
        EXPECT_NEAR(double(total) * 1000 / rate, double(ms), 1.0);

        const TCart cart = ReadCart(riff.Chunks.at("cart"));
        EXPECT_EQ(cart.Version, "0101");
        EXPECT_FALSE(cart.Title.empty());
        EXPECT_FALSE(cart.Artist.empty());
        EXPECT_FALSE(cart.Category.empty());
        EXPECT_FALSE(cart.ProducerAppId.empty());
        nonAscii =
            nonAscii || QString::fromStdString(cart.Title).toLatin1().toStdString() != cart.Title;
        EXPECT_EQ(cart.Timers.at("AUDs"), 0u);
        EXPECT_EQ(cart.Timers.at("AUDe"), total);
        if (cart.Timers.count("INTe")) {
            EXPECT_EQ(cart.Timers.at("INTs"), 0u);
            EXPECT_GT(cart.Timers.at("INTe"), 0u);
            EXPECT_LT(cart.Timers.at("INTe"), cart.Timers.at("SEGs"));
        }
        EXPECT_LT(cart.Timers.at("SEGs"), total);
        EXPECT_EQ(cart.Timers.at("SEGe"), total);

        const QDate start = QDate::fromString(QString::fromStdString(cart.StartDate), Qt::ISODate);
        const QDate end = QDate::fromString(QString::fromStdString(cart.EndDate), Qt::ISODate);
        ASSERT_TRUE(start.isValid() && end.isValid());
        EXPECT_TRUE(
            QTime::fromString(QString::fromStdString(cart.StartTime), "hh:mm:ss").isValid());
        EXPECT_TRUE(QTime::fromString(QString::fromStdString(cart.EndTime), "hh:mm:ss").isValid());
        if (start == QDate(1900, 1, 1)) {
            EXPECT_EQ(end, QDate(9999, 12, 31));
            undated = true;
        } else {
            EXPECT_LT(start, end);
            running = running || (start <= day && day <= end);
            expired = expired || end < day;
            EXPECT_LT(std::abs(day.daysTo(start)), 60);
        }
        // The copy is CR/LF text.
        if (!cart.TagText.empty()) {
            EXPECT_EQ(cart.TagText.substr(cart.TagText.size() - 2), "\r\n");
        }

        const std::vector<uint8_t>& bext = riff.Chunks.at("bext");
        ASSERT_GE(bext.size(), 602u);
        EXPECT_NE(Field(Slice(bext, 0, 256)).find(cart.Title), std::string::npos); // description
        EXPECT_FALSE(Field(Slice(bext, 256, 32)).empty());
        const QDate made =
            QDate::fromString(QString::fromStdString(Slice(bext, 320, 10)), Qt::ISODate);
        EXPECT_TRUE(made.isValid() && made <= day);
        EXPECT_EQ(Le16(bext, 346), 2);
        for (size_t at = 412; at <= 420; at += 2)
            EXPECT_EQ(Le16(bext, at), 0x7FFF) << "loudness not measured";
        ++checked;
    }
    EXPECT_GE(checked, 3);
    EXPECT_TRUE(mpeg && running && expired && undated && nonAscii);
}

// The ID3v1-only MP3 meant for "Add ID3v2": no ID3v2 tag, its fields in the last 128 bytes.
TEST_F(DemoTest, OldiesCarryOnlyAnId3v1Tag) {
    for (const char* name :
         {"The Quayside Four - Harbour Lights.mp3", "Sally Brooks - Blue Canal.mp3"}) {
        const auto bytes = Bytes(name);
        EXPECT_NE(Slice(bytes, 0, 3), "ID3") << name;
        EXPECT_FALSE(ReadId3v1(bytes).at("DISP").empty()) << name;
    }
    const auto tag = Bytes("The Quayside Four - Harbour Lights.mp3");
    EXPECT_EQ(ReadId3v1(tag).at("IYER"), "1968");
    EXPECT_EQ(tag[tag.size() - 1], 11); // "Oldies" in the ID3v1 genre list
}

// Made twice for the same day, the folder holds the same files; made for today, the spots
// said to run now do run today.
TEST_F(DemoTest, RewritesTheSameFilesAndDatesFromTodayByDefault) {
    const auto first = Export();
    ASSERT_EQ(RunProgram(CUEMARK_DEMO_BINARY, {"--date", Day, QString::fromStdString(Demo)}), 0);
    EXPECT_EQ(Export(), first);

    const std::string today = (Dir->Path() / "today").string();
    const QDate now = QDate::currentDate();
    ASSERT_EQ(RunProgram(CUEMARK_DEMO_BINARY, {QString::fromStdString(today)}), 0);
    const TRiff riff = ReadRiff(
        Fixtures::ReadBytes((fs::path(today) / "Corner Bakery - Fresh Bread.wav").string()));
    const auto start = StoredDateTime(riff.Keys.at("IGNR"), riff.Keys.at("BSTM"));
    const auto end = StoredDateTime(riff.Keys.at("IKEY"), riff.Keys.at("BETM"));
    ASSERT_TRUE(start && end);
    // Made just before midnight and checked after it, yesterday's demo still runs today.
    EXPECT_EQ(int(AirState(*start, end, now)), int(TAir::Running));
}

TEST(DemoUsageTest, HelpPrintsUsageAndWrongUsageExitsWithTwo) {
    TTempDir dir;
    const auto run = [&](const QStringList& args, int expected, bool toStdout) {
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
        process.start(QStringLiteral(CUEMARK_DEMO_BINARY), args);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), expected) << args.join(' ').toStdString();
        const QByteArray text =
            toStdout ? process.readAllStandardOutput() : process.readAllStandardError();
        EXPECT_TRUE(text.startsWith("usage: cuemark-demo [--date yyyy-mm-dd] DIR\n") ||
                    text.contains("is not a date"))
            << text.toStdString();
    };
    run({"--help"}, 0, true);
    run({"-h"}, 0, true);
    for (const QStringList& args :
         {QStringList{}, QStringList{"--frobnicate"}, QStringList{"a", "b"},
          QStringList{"--date", "2027-02-26"}, QStringList{"--date", "26/02/2027", "x"},
          QStringList{"--date", "2027-02-30", "x"}})
        run(args, 2, false);
    // No option was taken for a folder to create.
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

} // namespace
