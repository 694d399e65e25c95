// The waveform in the audition panel, through both real libraries: a generated spot (1 s of
// silence, 3 s of noise, 2 s of silence) loaded into the main window is analysed in the
// background; clicks on the waveform move the play position and use the suggested segue,
// the wheel zooms around the cursor and a fine zoom is decoded anew. The analysis loader
// takes a result from the cache instead of decoding again.
#include "Main.h"
#include "TAnalysisLoader.h"
#include "TAudioLibs.h"
#include "TAuditionPanel.h"
#include "TScriptedMessages.h"
#include "TWaveformView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cstdlib>
#include <map>

namespace {

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

class WaveformDisk : public ::testing::Test {
protected:
    TTempDir Dir;
    TAudioLibsBinder Binder;
    std::string Spot;

    void SetUp() override {
        Dir.BecomeHome();
        qputenv("CUEMARK_SETTINGS_DIR", QByteArray::fromStdString(Dir.File("settings")));
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(Binder.Load().Outcome, TAudioLibsBinder::TOutcome::Bound);
        const std::string sox = "sox -R -D -n -r 44100 -c 2 -b 16 '";
        ASSERT_TRUE(Shell(sox + Dir.File("a.wav") + "' trim 0 1"));
        ASSERT_TRUE(Shell(sox + Dir.File("b.wav") + "' synth 3 pinknoise vol -12dB"));
        ASSERT_TRUE(Shell(sox + Dir.File("c.wav") + "' trim 0 2"));
        Spot = Dir.File("spot.wav");
        ASSERT_TRUE(Shell("sox -R '" + Dir.File("a.wav") + "' '" + Dir.File("b.wav") + "' '" +
                          Dir.File("c.wav") + "' '" + Spot + "'"));
    }
    void TearDown() override { Binder.Release(); }
};

TEST_F(WaveformDisk, ClicksWheelAndSuggestedSegueAct) {
    TScriptedMessages boxes;
    TFrmMain window({QByteArray::fromStdString(Spot)});
    window.show();
    TAuditionPanel* panel = window.AuditionPanel;
    TWaveformView* view = panel->Waveform;
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->HasAnalysis(); }, 10000));
    EXPECT_NEAR(view->Proposals().SoundStartMs, 1000, 6);
    EXPECT_NEAR(view->Proposals().SoundEndMs, 4000, 6);
    EXPECT_NEAR(view->Proposals().SegueMs, 4000, 100);
    EXPECT_DOUBLE_EQ(view->ViewEndMs(), 6000);

    // A click where there is no suggestion moves the play position (100 ms steps).
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->XOf(2500), view->height() / 2));
    EXPECT_EQ(panel->Audition().Track().Position, 25);

    // A click on the suggested segue sets the segue marker as Set End does: counted back
    // from the end, to the 100 ms step.
    const int64_t segue = view->Proposals().SegueMs;
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->XOf(segue), view->height() / 2));
    const int32_t step = int32_t((segue + 50) / 100 * 100);
    EXPECT_EQ(window.Markers.SegueMs, int32_t(window.Markers.LengthMs) - step);
    EXPECT_TRUE(window.Document.Modified);

    // The wheel zooms in around the cursor: half the span, the point under it stays.
    const QPoint at(view->XOf(2000), view->height() / 2);
    QWheelEvent in(at, view->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &in);
    EXPECT_NEAR(view->ViewEndMs() - view->ViewStartMs(), 3000, 1);
    EXPECT_NEAR(view->MsAt(at.x()), 2000, 6000.0 / view->width() + 1);
    EXPECT_FALSE(view->ShowsDetail());
    // Finer than the overview's 256 frames a pixel: decoded anew.
    view->ShowRange(1500, 1520);
    EXPECT_TRUE(view->ShowsDetail());
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(' ').toStdString();
}

TEST_F(WaveformDisk, TheLoaderTakesACachedAnalysisInsteadOfDecoding) {
    static int opens = 0;
    TDecodeOps ops = TAnalysisLoader::BoundOps();
    static decltype(ops.Open) realOpen = ops.Open;
    ops.Open = [](const char* path, uint32_t* rate, uint16_t* channels, uint64_t* frames) {
        ++opens;
        return realOpen(path, rate, channels, frames);
    };
    std::map<QByteArray, std::string> cache;
    TAnalysisLoader loader;
    loader.SetDecodeOps(ops);
    loader.SetCache(
        [&](const QByteArray& path) -> std::optional<std::string> {
            const auto found = cache.find(path);
            return found == cache.end() ? std::nullopt : std::optional(found->second);
        },
        [&](const QByteArray& path, const TAudioAnalysis& analysis) {
            cache[path] = analysis.Encode();
        });
    QSignalSpy loaded(&loader, &TAnalysisLoader::Loaded);
    const QByteArray path = QByteArray::fromStdString(Spot);
    for (int round = 0; round < 2; ++round) {
        loader.Load(path);
        ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.size() == round + 1; }, 10000));
        const auto analysis = loaded.last()[1].value<std::shared_ptr<const TAudioAnalysis>>();
        ASSERT_NE(analysis, nullptr);
        EXPECT_EQ(analysis->LengthMs(), 6000u);
    }
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(cache.size(), 1u);
}

} // namespace
