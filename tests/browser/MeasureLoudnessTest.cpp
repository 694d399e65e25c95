// "Measure loudness" through the real browser panel and the real libraries, over generated
// sines whose EBU R128 loudness is known (a 1 kHz sine at -23 dBFS measures -23.0 LUFS): the
// columns, their sort, the cache, what is stored in the files (read back here byte by byte and
// with ffprobe) under the settings that allow it, failures and Escape.
#include "TAudioAnalysis.h"
#include "TAudioLibs.h"
#include "TBrowserPanel.h"
#include "TListItemMenu.h"
#include "TListStatus.h"
#include "TListTransfer.h"
#include "TLoudnessColumns.h"
#include "TProfileFile.h"
#include "TScriptedMessages.h"
#include "TTagCache.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
int16_t Le16(const std::string& b, size_t at) {
    return int16_t(uint16_t(uint8_t(b[at])) | uint16_t(uint8_t(b[at + 1])) << 8);
}

// A top-level chunk's body; nothing when the file has none.
std::optional<std::string> Chunk(const std::string& b, const char* id) {
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = Le32(b, at + 4);
        if (b.compare(at, 4, id) == 0)
            return b.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

class MeasureLoudnessTest : public ::testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TAudioLibsBinder Binder;
    TScriptedMessages Messages;
    std::unique_ptr<TProfileFile> Settings;
    std::shared_ptr<TTagCache> Cache;
    std::unique_ptr<TBrowserPanel> Panel;

    // A 1 kHz stereo sine at `dbfs` as EBU Tech 3341 makes its test signals.
    static void Sine(const std::string& path, double dbfs, double seconds = 4) {
        ASSERT_EQ(
            std::system(("sox -R -n -r 48000 -c 2 -b 16 '" + path + "' synth " +
                         std::to_string(seconds) + " sine 1000 vol " + std::to_string(dbfs) + "dB")
                            .c_str()),
            0);
    }

    void SetUp() override {
        Home.BecomeHome();
        const auto bound = Binder.Load();
        ASSERT_EQ(bound.Outcome, TAudioLibsBinder::TOutcome::Bound) << bound.Message;
        AudioLibs().SetBroadcastOptions(0, 0);
        Sine(Dir.File("loud.wav"), -23);
        Sine(Dir.File("quiet.wav"), -33);
        std::ofstream(Dir.File("broken.wav")) << "RIFF\x10\0\0\0WAVEjunkjunk";
        Settings = std::make_unique<TProfileFile>(QString::fromStdString(Home.File("Cuemark.ini")));
        Cache = TTagCache::Open(QString::fromStdString(Home.File("cache.sqlite")));
        ASSERT_NE(Cache, nullptr);
        OpenPanel();
    }
    void TearDown() override {
        Panel.reset();
        Binder.Release();
    }

    void OpenPanel() {
        Panel = std::make_unique<TBrowserPanel>();
        Panel->resize(900, 500);
        Panel->SetSettings(Settings.get());
        TXListView& list = *Panel->ListView;
        list.ListModel().SetTagCache(Cache);
        auto columns = TListColumns::Fixed();
        for (int n :
             {TLoudnessColumns::Loudness, TLoudnessColumns::Range, TLoudnessColumns::TruePeak})
            columns.push_back({n, TLoudnessColumns::Caption(n), 100});
        list.SetColumns(columns);
        Panel->show();
        list.BrowseToPath(QByteArray::fromStdString(Dir.Path().string()));
        QApplication::processEvents();
    }

    int Row(const char* name) const {
        const TFolderListModel& model = Panel->ListView->ListModel();
        for (int row = 0; row < model.Count(); ++row)
            if (model.Entry(row).DisplayName == QLatin1String(name))
                return row;
        return -1;
    }
    QString Cell(const char* name, int column) const {
        const TFolderListModel& model = Panel->ListView->ListModel();
        return model.index(Row(name), column).data().toString();
    }
    void Select(std::initializer_list<const char*> names) {
        TXListView& list = *Panel->ListView;
        list.clearSelection();
        for (const char* name : names)
            list.selectionModel()->select(list.ListModel().index(Row(name), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The toolbar's button, clicked as a user does.
    void ClickMeasure() {
        QWidget* button = Panel->ToolBarFilter->widgetForAction(Panel->ActionMeasureLoudness);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
    }
};

TEST_F(MeasureLoudnessTest, FillsTheColumnsSortsByValueAndKeepsThemInTheCache) {
    Select({"loud.wav", "quiet.wav", "broken.wav"});
    const std::string loudBefore = Slurp(Dir.File("loud.wav"));
    ClickMeasure();
    EXPECT_EQ(Cell("loud.wav", 3), "-23.0 LUFS");
    EXPECT_EQ(Cell("quiet.wav", 3), "-33.0 LUFS");
    EXPECT_EQ(Cell("loud.wav", 4), "0.0 LU");
    EXPECT_EQ(Cell("loud.wav", 5), "-23.0 dBTP");
    EXPECT_EQ(Cell("broken.wav", 3), "");
    // The failure in one box; the default setting keeps a file without bext as it is.
    ASSERT_EQ(Messages.Texts().size(), 1);
    EXPECT_TRUE(Messages.Texts().front().startsWith("1 file could not be measured:\nbroken.wav"))
        << Messages.Texts().front().toStdString();
    EXPECT_EQ(Panel->StatusBar->currentMessage(), "2 of 3 files measured");
    EXPECT_EQ(Slurp(Dir.File("loud.wav")), loudBefore);

    // A click on the column's header sorts by value, not by text: -33 before -23, the
    // unmeasured row first.
    QHeaderView* header = Panel->ListView->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(3) + 10, header->height() / 2));
    const TFolderListModel& model = Panel->ListView->ListModel();
    EXPECT_EQ(model.Entry(0).DisplayName, "broken.wav");
    EXPECT_EQ(model.Entry(1).DisplayName, "quiet.wav");
    EXPECT_EQ(model.Entry(2).DisplayName, "loud.wav");

    // A new window takes them from the cache; a file changed since shows none.
    Cache->WaitWritten();
    EXPECT_TRUE(Cache->AnalysisOfPath(QByteArray::fromStdString(Dir.File("loud.wav")),
                                      TAudioAnalysis::CacheKind));
    Sine(Dir.File("quiet.wav"), -20);
    OpenPanel();
    EXPECT_EQ(Cell("loud.wav", 3), "-23.0 LUFS");
    EXPECT_EQ(Cell("quiet.wav", 3), "");
}

TEST_F(MeasureLoudnessTest, StoresBextVersion2WhereTheBroadcastSettingAllowsAndLeavesTheAudio) {
    AudioLibs().SetBroadcastOptions(1, 0); // "always": a file without bext gets one
    const std::optional<std::string> audioBefore = Chunk(Slurp(Dir.File("loud.wav")), "data");
    ASSERT_TRUE(audioBefore);
    // Through the item menu, as a right click offers it.
    Select({"loud.wav"});
    Panel->Transfer->ItemMenu().SetMenuRunner([](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* action : menu.actions())
            if (action->text() == QLatin1String("Measure loudness")) {
                action->trigger(); // as QMenu does for the action chosen
                return action;
            }
        return nullptr;
    });
    TXListView& list = *Panel->ListView;
    const QPoint pos = list.visualRect(list.ListModel().index(Row("loud.wav"), 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, list.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(Panel->ListView->viewport(), &event);
    QApplication::processEvents();

    const std::string after = Slurp(Dir.File("loud.wav"));
    EXPECT_EQ(Chunk(after, "data"), audioBefore);
    const std::optional<std::string> bext = Chunk(after, "bext");
    ASSERT_TRUE(bext);
    ASSERT_GE(bext->size(), 602u);
    EXPECT_EQ(Le16(*bext, 346), 2);          // Version
    EXPECT_NEAR(Le16(*bext, 412), -2300, 2); // LoudnessValue
    EXPECT_NEAR(Le16(*bext, 414), 0, 2);     // LoudnessRange
    EXPECT_NEAR(Le16(*bext, 416), -2300, 2); // MaxTruePeakLevel
    EXPECT_EQ(Panel->StatusBar->currentMessage(), "1 of 1 files measured, stored in 1 of them");
    // The write moved the file's stamp; the measurement stays valid for the same audio.
    OpenPanel();
    EXPECT_EQ(Cell("loud.wav", 3), "-23.0 LUFS");
}

TEST_F(MeasureLoudnessTest, MpegFilesGetReplayGainOnlyWhenTheSettingIsOn) {
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -i '" + Dir.File("loud.wav") +
                           "' -c:a libmp3lame -b:a 192k '" + Dir.File("spot.mp3") + "'")
                              .c_str()),
              0);
    OpenPanel();
    const std::string before = Slurp(Dir.File("spot.mp3"));
    Select({"spot.mp3"});
    ClickMeasure();
    EXPECT_EQ(Slurp(Dir.File("spot.mp3")), before);
    // ffmpeg's own meter on the same file.
    const std::string meter = Output("ffmpeg -nostdin -hide_banner -i '" + Dir.File("spot.mp3") +
                                     "' -af ebur128 -f null - 2>&1");
    const size_t summary = meter.rfind("I:");
    ASSERT_NE(summary, std::string::npos) << meter;
    const double reference = std::strtod(meter.c_str() + summary + 2, nullptr);
    EXPECT_NEAR(TLoudnessColumns::ValueOf(Cell("spot.mp3", 3)).value_or(0), reference, 0.15);

    // Chosen in the button's menu, and kept in the settings.
    Panel->ActionWriteReplayGain->trigger();
    EXPECT_EQ(
        Settings->ReadInteger(QStringLiteral("Loudness"), QStringLiteral("WriteReplayGain"), 0), 1);
    ClickMeasure();
    const std::string tags =
        Output("ffprobe -v error -show_entries format_tags -of default=nw=1 '" +
               Dir.File("spot.mp3") + "'");
    const size_t gain = tags.find("REPLAYGAIN_TRACK_GAIN=");
    ASSERT_NE(gain, std::string::npos) << tags;
    const std::string gainText = tags.substr(gain + 22, tags.find('\n', gain) - gain - 22);
    EXPECT_NEAR(std::strtod(gainText.c_str(), nullptr), -18.0 - reference, 0.1) << gainText;
    EXPECT_EQ(gainText.substr(gainText.size() - 3), " dB");
    // The true peak of a -23 dBFS sine, as a factor.
    const size_t peak = tags.find("REPLAYGAIN_TRACK_PEAK=");
    ASSERT_NE(peak, std::string::npos) << tags;
    EXPECT_NEAR(std::strtod(tags.c_str() + peak + 22, nullptr), 0.0708, 0.004);
}

TEST_F(MeasureLoudnessTest, EscapeStopsTheMeasuring) {
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"})
        Sine(Dir.File(name), -23, 120);
    OpenPanel();
    Select({"a.wav", "b.wav", "c.wav", "d.wav"});
    // Escape at the focused list once the bar shows.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (Panel->ListStatus->Progress() != nullptr) {
            QTest::keyClick(Panel->ListView, Qt::Key_Escape);
            poll.stop();
        }
    });
    poll.start(10);
    Panel->ListView->setFocus();
    ClickMeasure();
    EXPECT_TRUE(Panel->StatusBar->currentMessage().startsWith("Cancelled: "))
        << Panel->StatusBar->currentMessage().toStdString();
    EXPECT_EQ(Cell("d.wav", 3), "");
    EXPECT_EQ(Panel->ListStatus->Progress(), nullptr);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
