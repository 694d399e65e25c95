// One decode of a file gives its loudness, peaks and suggested cue points: the figures are
// checked against ffmpeg's ebur128 filter (EBU R128 with true peak) and the peak overview
// against ffmpeg's own decode, on signals made with sox and encoded with ffmpeg.
#include "TAudioAnalysis.h"
#include "TCueSuggestions.h"
#include "TLinkedDecodeOps.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sonara.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// ffmpeg's summary: integrated loudness, range, sample peak and true peak; and the largest
// momentary and short-term loudness of its log every 100 ms (one decimal each).
struct TReference {
    double Integrated = NAN, Range = NAN, SamplePeak = NAN, TruePeak = NAN;
    double MaxMomentary = -HUGE_VAL, MaxShortTerm = -HUGE_VAL;
};

double ValueAfter(const std::string& text, const std::string& label, size_t from) {
    const size_t at = text.find(label, from);
    if (at == std::string::npos)
        return NAN;
    const std::string rest = text.substr(at + label.size());
    if (rest.find_first_not_of(' ') != std::string::npos &&
        rest.compare(rest.find_first_not_of(' '), 4, "-inf") == 0)
        return -HUGE_VAL;
    return std::strtod(rest.c_str(), nullptr);
}

TReference Reference(const std::string& path) {
    const std::string text = Output("ffmpeg -nostats -hide_banner -i '" + path +
                                    "' -af ebur128=peak=sample+true -f null - 2>&1");
    const size_t summary = text.find("Summary:");
    TReference r;
    if (summary == std::string::npos)
        return r;
    r.Integrated = ValueAfter(text, "I:", summary);
    r.Range = ValueAfter(text, "LRA:", summary);
    r.SamplePeak = ValueAfter(text, "Peak:", text.find("Sample peak:", summary));
    r.TruePeak = ValueAfter(text, "Peak:", text.find("True peak:", summary));
    // A window counts once it is full: ffmpeg logs -120.7 before.
    for (size_t at = text.find(" M:"); at < summary; at = text.find(" M:", at + 1)) {
        const double m = ValueAfter(text, "M:", at);
        const double st = ValueAfter(text, "S:", at);
        if (m > -120)
            r.MaxMomentary = std::max(r.MaxMomentary, m);
        if (st > -120)
            r.MaxShortTerm = std::max(r.MaxShortTerm, st);
    }
    return r;
}

class AudioAnalysis : public ::testing::Test {
protected:
    TTempDir Dir;
    std::string File(const std::string& name) const { return Dir.File(name); }
};

// The reference prints one decimal, so a difference of up to 0.05 is its rounding.
constexpr double Rounding = 0.05;

TEST_F(AudioAnalysis, LoudnessAndTruePeakAgreeWithFfmpeg) {
    const std::string sox = "sox -R -n -r 48000 -c 2 -b 16 ";
    struct TCase {
        const char* Name;
        std::string Make; // command making File(Name); {in} is pink.wav
    };
    ASSERT_TRUE(Shell("sox -R -n -r 44100 -c 2 -b 16 '" + File("pink.wav") +
                      "' synth 12 pinknoise vol -18dB"));
    const std::vector<TCase> cases = {
        {"sine-23.wav", sox + "'" + File("sine-23.wav") + "' synth 12 sine 1000 vol -23dB"},
        {"sine-33.wav", sox + "'" + File("sine-33.wav") + "' synth 12 sine 1000 vol -33dB"},
        {"pink.wav", "true"},
        {"mono.wav",
         "sox -R -n -r 44100 -c 1 -b 16 '" + File("mono.wav") + "' synth 12 pinknoise vol -20dB"},
        {"float.wav",
         "sox -R '" + File("pink.wav") + "' -e floating-point -b 32 '" + File("float.wav") + "'"},
        {"24bit.wav",
         "sox -R -n -r 48000 -c 2 -b 24 '" + File("24bit.wav") + "' synth 12 sine 997 vol -9dB"},
        {"pink.mp3", "ffmpeg -y -i '" + File("pink.wav") + "' -c:a libmp3lame -b:a 192k '" +
                         File("pink.mp3") + "'"},
        {"pink.mp2",
         "ffmpeg -y -i '" + File("pink.wav") + "' -c:a mp2 -b:a 256k '" + File("pink.mp2") + "'"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(Shell(c.Make));
        const TReference expected = Reference(File(c.Name));
        ASSERT_TRUE(std::isfinite(expected.Integrated));
        std::string error;
        const auto analysis = TAudioAnalysis::Run(File(c.Name), LinkedDecodeOps(), nullptr, error);
        ASSERT_TRUE(analysis.has_value()) << error;
        const TLoudness& l = analysis->Loudness;
        EXPECT_NEAR(l.Integrated, expected.Integrated, 0.1 + Rounding);
        EXPECT_NEAR(l.Range, expected.Range, 0.1 + Rounding);
        EXPECT_NEAR(l.SamplePeak, expected.SamplePeak, 0.1 + Rounding);
        EXPECT_NEAR(l.TruePeak, expected.TruePeak, 0.2 + Rounding);
        EXPECT_NEAR(l.MaxMomentary, expected.MaxMomentary, 0.1 + Rounding);
        EXPECT_NEAR(l.MaxShortTerm, expected.MaxShortTerm, 0.1 + Rounding);
    }
}

TEST_F(AudioAnalysis, SilenceHasNoLoudnessAndNoSuggestedPoints) {
    // -D: no dither, so the file is digital silence.
    ASSERT_TRUE(Shell("sox -R -D -n -r 44100 -c 2 -b 16 '" + File("silence.wav") + "' trim 0 5"));
    std::string error;
    const auto analysis =
        TAudioAnalysis::Run(File("silence.wav"), LinkedDecodeOps(), nullptr, error);
    ASSERT_TRUE(analysis.has_value()) << error;
    EXPECT_FALSE(analysis->Loudness.HasLoudness());
    EXPECT_EQ(analysis->Loudness.TruePeak, -HUGE_VAL);
    EXPECT_LE(Reference(File("silence.wav")).Integrated, -70.0); // ffmpeg: nothing passes the gate
    const TCueSuggestions points = TCueSuggestions::From(*analysis, {});
    EXPECT_EQ(points.SoundStartMs, -1);
    EXPECT_EQ(points.SoundEndMs, -1);
    EXPECT_EQ(points.SegueMs, -1);
}

// The overview's values are the minimum and maximum of each channel's samples in every 256
// frames, as ffmpeg decodes them; and its data-file form is audiowaveform's version 2.
TEST_F(AudioAnalysis, PeaksAreEachBlocksExtremesInTheDataFileLayout) {
    const std::string path = File("two.wav");
    // Left a sine, right pink noise: the channels differ, and 3 s + 100 frames leave a part
    // block at the end.
    ASSERT_TRUE(Shell("sox -R -n -r 44100 -c 2 -b 16 '" + path +
                      "' synth 3.00226757 sine 440 pinknoise vol -6dB"));
    const std::string raw = Output("ffmpeg -v quiet -i '" + path + "' -f s16le -");
    const size_t frames = raw.size() / 4;
    ASSERT_GT(frames, 132000u);
    std::string error;
    const auto analysis = TAudioAnalysis::Run(path, LinkedDecodeOps(), nullptr, error);
    ASSERT_TRUE(analysis.has_value()) << error;
    ASSERT_EQ(analysis->Frames, frames);
    const TPeakOverview& peaks = analysis->Peaks;
    ASSERT_EQ(peaks.Pixels(), (frames + 255) / 256);
    for (size_t pixel = 0; pixel < peaks.Pixels(); ++pixel)
        for (int c = 0; c < 2; ++c) {
            int16_t lo = INT16_MAX, hi = INT16_MIN;
            for (size_t f = pixel * 256; f < std::min(frames, (pixel + 1) * 256); ++f) {
                int16_t v = 0;
                std::memcpy(&v, raw.data() + f * 4 + c * 2, 2);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            ASSERT_EQ(peaks.MinMax[(pixel * 2 + c) * 2], lo) << pixel;
            ASSERT_EQ(peaks.MinMax[(pixel * 2 + c) * 2 + 1], hi) << pixel;
        }

    const std::string dat = peaks.ToDat();
    int32_t header[6];
    ASSERT_GE(dat.size(), sizeof header);
    std::memcpy(header, dat.data(), sizeof header);
    EXPECT_EQ(header[0], 2);     // version
    EXPECT_EQ(header[1], 0);     // 16-bit values
    EXPECT_EQ(header[2], 44100); // sample rate
    EXPECT_EQ(header[3], 256);   // frames per pixel
    EXPECT_EQ(static_cast<size_t>(header[4]), peaks.Pixels());
    EXPECT_EQ(header[5], 2); // channels
    EXPECT_EQ(dat.size(), sizeof header + peaks.MinMax.size() * 2);
    const auto back = TPeakOverview::FromDat(dat);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->MinMax, peaks.MinMax);
    EXPECT_FALSE(TPeakOverview::FromDat(dat.substr(0, dat.size() - 1)).has_value());

    const auto decoded = TAudioAnalysis::Decode(analysis->Encode());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->Peaks.MinMax, peaks.MinMax);
    EXPECT_EQ(decoded->Momentary, analysis->Momentary);
    EXPECT_EQ(decoded->Loudness.TruePeak, analysis->Loudness.TruePeak);
    EXPECT_FALSE(TAudioAnalysis::Decode(analysis->Encode().substr(0, 40)).has_value());
}

TEST_F(AudioAnalysis, SuggestedPointsFollowTheSound) {
    // 1 s of silence, 3 s of noise, 2 s of silence.
    ASSERT_TRUE(Shell("sox -R -n -r 44100 -c 2 -b 16 '" + File("a.wav") + "' trim 0 1"));
    ASSERT_TRUE(
        Shell("sox -R -n -r 44100 -c 2 -b 16 '" + File("b.wav") + "' synth 3 pinknoise vol -12dB"));
    ASSERT_TRUE(Shell("sox -R -n -r 44100 -c 2 -b 16 '" + File("c.wav") + "' trim 0 2"));
    ASSERT_TRUE(Shell("sox -R '" + File("a.wav") + "' '" + File("b.wav") + "' '" + File("c.wav") +
                      "' '" + File("spot.wav") + "'"));
    std::string error;
    std::vector<int> steps;
    const auto analysis = TAudioAnalysis::Run(
        File("spot.wav"), LinkedDecodeOps(),
        [&](int percent) {
            steps.push_back(percent);
            return true;
        },
        error);
    ASSERT_TRUE(analysis.has_value()) << error;
    EXPECT_EQ(analysis->LengthMs(), 6000u);
    ASSERT_FALSE(steps.empty());
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    EXPECT_EQ(steps.back(), 100);

    const TCueSuggestions points = TCueSuggestions::From(*analysis, {});
    const double pixelMs = 256 * 1000.0 / 44100;
    EXPECT_NEAR(points.SoundStartMs, 1000, pixelMs);
    EXPECT_NEAR(points.SoundEndMs, 4000, pixelMs);
    EXPECT_NEAR(points.SegueMs, 4000, 100);
    // A higher level to pass: pink noise at -12 dB has peaks near -1 dBFS, none above 0.
    TCueSuggestions::TSettings strict;
    strict.SoundLevelDbfs = 0;
    EXPECT_EQ(TCueSuggestions::From(*analysis, strict).SoundStartMs, -1);
}

TEST_F(AudioAnalysis, CancelAndUndecodableFilesSayWhy) {
    ASSERT_TRUE(
        Shell("sox -R -n -r 44100 -c 2 -b 16 '" + File("long.wav") + "' synth 20 sine 440"));
    std::string error;
    int calls = 0;
    EXPECT_FALSE(TAudioAnalysis::Run(
                     File("long.wav"), LinkedDecodeOps(), [&](int) { return ++calls < 3; }, error)
                     .has_value());
    EXPECT_EQ(error, "Cancelled");
    std::ofstream(File("junk.wav")) << "not audio at all";
    EXPECT_FALSE(
        TAudioAnalysis::Run(File("junk.wav"), LinkedDecodeOps(), nullptr, error).has_value());
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(
        TAudioAnalysis::Run(File("missing.wav"), LinkedDecodeOps(), nullptr, error).has_value());
    EXPECT_FALSE(error.empty());
}

} // namespace
