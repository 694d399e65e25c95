#include "TCueSuggestions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

TCueSuggestions TCueSuggestions::From(const TAudioAnalysis& analysis, const TSettings& settings) {
    TCueSuggestions found;
    const TPeakOverview& peaks = analysis.Peaks;
    if (analysis.SampleRate <= 0 || peaks.Channels <= 0)
        return found;
    const double level = 32768.0 * std::pow(10.0, settings.SoundLevelDbfs / 20.0);
    auto loud = [&](size_t pixel) {
        for (int c = 0; c < peaks.Channels; ++c) {
            const size_t at = (pixel * peaks.Channels + c) * 2;
            if (std::abs(int{peaks.MinMax[at]}) > level ||
                std::abs(int{peaks.MinMax[at + 1]}) > level)
                return true;
        }
        return false;
    };
    const auto msOfFrame = [&](uint64_t frame) {
        return static_cast<int64_t>(std::min(frame, analysis.Frames) * 1000 /
                                    static_cast<uint64_t>(analysis.SampleRate));
    };
    const size_t pixels = peaks.Pixels();
    for (size_t pixel = 0; pixel < pixels; ++pixel)
        if (loud(pixel)) {
            found.SoundStartMs = msOfFrame(pixel * peaks.SamplesPerPixel);
            break;
        }
    for (size_t pixel = pixels; pixel-- > 0;)
        if (loud(pixel)) {
            found.SoundEndMs = msOfFrame((pixel + 1) * peaks.SamplesPerPixel);
            break;
        }

    // The segue: where the last stretch whose momentary loudness reaches the threshold ends,
    // when the file goes on quieter than that to its end. Value k of the curve measures the
    // 400 ms before (k + 1) * 100 ms; the last loud value's window still held the sound in
    // its first 100 ms, which the next window no longer has, so the level fell there.
    if (!analysis.Loudness.HasLoudness())
        return found;
    const double threshold = analysis.Loudness.Integrated - settings.SegueBelowLu;
    const std::vector<double>& curve = analysis.Momentary;
    for (size_t i = curve.size(); i-- > 1;) {
        if (curve[i] >= threshold)
            break; // loud to the end: no segue
        if (curve[i - 1] >= threshold) {
            found.SegueMs =
                std::max<int64_t>(0, static_cast<int64_t>(i) * TAudioAnalysis::CurveStepMs - 300);
            break;
        }
    }
    return found;
}
