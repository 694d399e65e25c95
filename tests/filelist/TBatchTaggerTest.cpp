#include "TBatchTagger.h"

#include "RiffBuilder.h"
#include "TAudioLibs.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using TKeys = std::map<std::string, std::string>;
using TOutcome = TBatchTagger::TFileResult::TOutcome;

uint32_t Le32At(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

std::string UpToNul(const std::string& s) {
    return s.substr(0, s.find('\0'));
}

// The INFO keys and the DISP title of a WAV file, read by walking its chunks here (not
// through the tagging library). The title is listed as "DISP".
TKeys ReadWavKeys(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), {});
    TKeys keys;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id = b.substr(at, 4);
        const uint32_t size = Le32At(b, at + 4);
        const std::string body = b.substr(at + 8, size);
        if (id == "LIST" && body.substr(0, 4) == "INFO") {
            for (size_t i = 4; i + 8 <= body.size();) {
                const uint32_t n = Le32At(body, i + 4);
                keys[body.substr(i, 4)] = UpToNul(body.substr(i + 8, n));
                i += 8 + n + (n & 1);
            }
        } else if (id == "DISP" && body.size() >= 4) {
            keys["DISP"] = UpToNul(body.substr(4));
        }
        at += 8 + size + (size & 1);
    }
    return keys;
}

void WriteWav(const std::string& path, const TKeys& info) {
    TRiffBuilder riff;
    riff.Chunk("fmt ", TRiffBuilder::Fmt()).Chunk("data", TRiffBuilder::Audio(4000));
    std::vector<std::pair<std::string, std::string>> items(info.begin(), info.end());
    if (!items.empty())
        riff.Chunk("LIST", TRiffBuilder::Info(items));
    ASSERT_TRUE(riff.WriteTo(path));
}

class BatchTaggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto result = Binder.Load();
        ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;
        for (const char* name : {"a.wav", "b.WAV", "c.wav"}) {
            WriteWav(Dir.File(name), {{"IART", "Old artist"}, {"BSTM", "07:00"}});
            Paths.append(QByteArray::fromStdString(Dir.File(name)));
        }
    }
    void TearDown() override { Binder.Release(); }

    QList<TBatchTagger::TFileResult> SetOnAll(int column, int result, const QString& text,
                                              const QString& date = {}, const QString& time = {}) {
        const auto request = TBatchTagger::Prepare(column, result, text, date, time);
        if (!request)
            return {};
        return TBatchTagger::Run(*request, Paths);
    }

    TTempDir Dir;
    TAudioLibsBinder Binder;
    QList<QByteArray> Paths;
};

TEST_F(BatchTaggerTest, PickerPerColumn) {
    using P = TBatchTagger::TPicker;
    const std::map<int, P> expected = {{0, P::None},      {1, P::None},        {2, P::None},
                                       {3, P::Text},      {9, P::Text},        {10, P::DateTime},
                                       {11, P::DateTime}, {12, P::TimeWindow}, {13, P::TimeWindow},
                                       {14, P::Text},     {34, P::Text},       {35, P::None}};
    for (const auto& [column, picker] : expected)
        EXPECT_EQ(TBatchTagger::PickerFor(column), picker) << column;
}

TEST_F(BatchTaggerTest, TextAndTitleSetAndClearOnEveryFile) {
    auto results = SetOnAll(5, 1, "SPOT");
    ASSERT_EQ(results.size(), 3);
    for (const auto& r : results)
        EXPECT_EQ(r.Outcome, TOutcome::Written);
    for (const QByteArray& path : Paths)
        EXPECT_EQ(ReadWavKeys(path.toStdString())["ISRC"], "SPOT");

    // "Set" with an empty text removes the key, as "Clear" does.
    SetOnAll(3, 1, "");
    EXPECT_FALSE(ReadWavKeys(Paths[0].toStdString()).count("IART"));

    SetOnAll(4, 1, "Morning spot");
    EXPECT_EQ(ReadWavKeys(Paths[1].toStdString())["DISP"], "Morning spot");
    const auto clear = TBatchTagger::Prepare(4, 3, "ignored", {}, {});
    ASSERT_TRUE(clear);
    EXPECT_EQ(clear->Value, QString(""));
    TBatchTagger::Run(*clear, Paths);
    const TKeys keys = ReadWavKeys(Paths[1].toStdString());
    ASSERT_TRUE(keys.count("DISP")); // an empty title, not a removed one
    EXPECT_EQ(keys.at("DISP"), "");

    // Closing the picker by its close box (result 2) writes nothing.
    EXPECT_FALSE(TBatchTagger::Prepare(5, 2, "X", {}, {}));
    // Columns without a picker write nothing.
    EXPECT_FALSE(TBatchTagger::Prepare(1, 1, "X", {}, {}));
}

TEST_F(BatchTaggerTest, DateAndTimeRules) {
    struct TCase {
        const char* Name;
        int Result;
        QString Date, Time;
        bool Refused;
        std::optional<QString> Value;
        std::optional<std::string> Ignr, Bstm; // nothing: the key is absent
    };
    const QList<TCase> cases = {
        {"date and time", 1, "01/31/2004", "08:30", false, "2004/01/31 08:30", "2004/01/31",
         "08:30"},
        {"date only", 1, "01/31/2004", "", false, "2004/01/31", "2004/01/31", std::nullopt},
        {"time only is refused", 1, "", "08:30", true, std::nullopt, std::nullopt, "07:00"},
        {"blank fields write nothing", 1, "  /  /    ", "  :  ", true, std::nullopt, std::nullopt,
         "07:00"},
        {"clear", 3, "01/31/2004", "08:30", false, "", std::nullopt, std::nullopt},
    };
    for (const TCase& c : cases) {
        for (const QByteArray& path : Paths)
            WriteWav(path.toStdString(), {{"IART", "Old artist"}, {"BSTM", "07:00"}});
        const auto request = TBatchTagger::Prepare(10, c.Result, {}, c.Date, c.Time);
        ASSERT_EQ(!request, c.Refused) << c.Name;
        if (request) {
            EXPECT_EQ(request->Value, c.Value) << c.Name;
            TBatchTagger::Run(*request, Paths);
        }
        for (const QByteArray& path : Paths) {
            const TKeys keys = ReadWavKeys(path.toStdString());
            auto get = [&](const char* key) -> std::optional<std::string> {
                return keys.count(key) ? std::optional(keys.at(key)) : std::nullopt;
            };
            EXPECT_EQ(get("IGNR"), c.Ignr) << c.Name;
            EXPECT_EQ(get("BSTM"), c.Bstm) << c.Name;
            EXPECT_EQ(get("IART"), "Old artist") << c.Name;
        }
    }
}

TEST_F(BatchTaggerTest, TimeWindowWritesHoursAndMinutesOrRemoves) {
    auto request = TBatchTagger::Prepare(12, 1, {}, {}, "14:05");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->Value, QString("14:05"));
    TBatchTagger::Run(*request, Paths);
    EXPECT_EQ(ReadWavKeys(Paths[2].toStdString())["BSTW"], "14:05");
    request = TBatchTagger::Prepare(12, 3, {}, {}, "14:05");
    TBatchTagger::Run(*request, Paths);
    EXPECT_FALSE(ReadWavKeys(Paths[2].toStdString()).count("BSTW"));
}

TEST_F(BatchTaggerTest, MixedSelectionPassesOverOthersAndReportsFilesNotWritten) {
    fs::create_directory(Dir.Path() / "folder.wav");
    std::ofstream(Dir.File("notes.txt")) << "text";
    std::ofstream(Dir.File("broken.mp3")) << "not audio at all";
    QList<QByteArray> selection = {QByteArray::fromStdString(Dir.File("folder.wav")),
                                   QByteArray::fromStdString(Dir.File("notes.txt"))};
    selection += Paths;
    selection.append(QByteArray::fromStdString(Dir.File("broken.mp3")));
    selection.append(QByteArray::fromStdString(Dir.File("vanished.wav")));

    // Another writer holds b.WAV's lock; a read-only file fails the same way for a user
    // without root's override.
    const int fd = ::open(Paths[1].constData(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const bool canTestReadOnly = ::geteuid() != 0;
    if (canTestReadOnly)
        ::chmod(Paths[2].constData(), 0444);

    const auto request = TBatchTagger::Prepare(5, 1, "SPOT", {}, {});
    std::vector<int> progress;
    const auto results =
        TBatchTagger::Run(*request, selection, [&](int percent) { progress.push_back(percent); });
    ::close(fd);

    ASSERT_EQ(results.size(), 7);
    const std::vector<TOutcome> expected = {TOutcome::PassedOver,
                                            TOutcome::PassedOver,
                                            TOutcome::Written,
                                            TOutcome::Failed,
                                            canTestReadOnly ? TOutcome::Failed : TOutcome::Written,
                                            TOutcome::Failed,
                                            TOutcome::Failed};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(results[qsizetype(i)].Outcome, expected[i]) << i;
    EXPECT_EQ(progress, (std::vector<int>{14, 28, 42, 57, 71, 85, 100}));
    EXPECT_EQ(ReadWavKeys(Paths[0].toStdString())["ISRC"], "SPOT");
    EXPECT_FALSE(ReadWavKeys(Paths[1].toStdString()).count("ISRC"));

    const QString message = TBatchTagger::FailureMessage(results);
    const int failures = canTestReadOnly ? 4 : 3;
    EXPECT_TRUE(
        message.startsWith(QString("%1 files could not be written:\nb.WAV (").arg(failures)))
        << message.toStdString();
    EXPECT_TRUE(message.contains("\nbroken.mp3")) << message.toStdString();
    EXPECT_TRUE(message.contains("\nvanished.wav")) << message.toStdString();
    EXPECT_FALSE(message.contains("notes.txt"));
}

TEST(BatchTaggerMessageTest, AtMostTwentyNamesAreListed) {
    QList<TBatchTagger::TFileResult> results;
    for (int i = 0; i < 25; ++i)
        results.append({"/x/f" + QByteArray::number(i) + ".wav", TOutcome::Failed, {}, {}, {}});
    results.append({"/x/ok.wav", TOutcome::Written, {}, {}, {}});
    const QString message = TBatchTagger::FailureMessage(results);
    EXPECT_EQ(message.count('\n'), 21);
    EXPECT_TRUE(message.startsWith("25 files could not be written:\nf0.wav\n"));
    EXPECT_TRUE(message.endsWith("\nf19.wav\n... and 5 more"));
    EXPECT_EQ(TBatchTagger::FailureMessage({{"/x/ok.wav", TOutcome::Written, {}, {}, {}}}), "");
}

} // namespace
